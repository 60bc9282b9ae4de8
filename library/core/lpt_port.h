/* The parallel-port adapter object of interface kinds 1 to 3. It holds the port base chosen when the
 * interface was set up; the bus cycles themselves are not part of this build yet, so master accesses on
 * these kinds answer BISS_INVALID_INTERFACE (see BissClass::eWriteMaster). */
#ifndef TARNBUS_LPT_PORT_H
#define TARNBUS_LPT_PORT_H

#include <cstdint>

class LptPortClass {
public:
    explicit LptPortClass(uint32_t ulPortBase) : ulPortBase(ulPortBase) {}
    uint32_t ulGetPortBase() const { return ulPortBase; }

private:
    uint32_t ulPortBase;
};

#endif
