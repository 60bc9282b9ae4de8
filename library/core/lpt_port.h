/* The parallel-port adapter of interface kinds 1 to 3: the master chip on the port's data and control
 * lines, reached byte by byte through the port I/O driver. Kinds 1 and 2 are two wirings of an 8-bit
 * bus (address, then data, on the data lines, strobed by control lines); kind 3 is a bit-serial link
 * clocked on the control lines, carrying the frames of the USB adapter's SPI link. End of
 * transmission is a status line on every kind. */
#ifndef TARNBUS_LPT_PORT_H
#define TARNBUS_LPT_PORT_H

#include <cstdint>
#include <memory>

#include "adapter.h"

namespace tarnbus {
struct DlPortIoDriver;
}

class LptPortClass : public AdapterClass {
public:
    /* Nothing touches the port yet; the driver is bound at the first access. */
    explicit LptPortClass(uint32_t ulBase);
    ~LptPortClass() override;
    LptPortClass(const LptPortClass &) = delete;
    LptPortClass &operator=(const LptPortClass &) = delete;

    uint32_t ulGetPortBase() const { return ulPortBase; }

    /* The bus cycles of each wiring. They cannot fail: the port answers whatever is on its lines. */
    void vWriteRegLpt1(uint8_t ucAddress, uint8_t ucData);
    void vWriteRegLpt2(uint8_t ucAddress, uint8_t ucData);
    void vWriteRegLpt3(uint8_t ucAddress, uint8_t ucData);
    uint8_t ucReadRegLpt1(uint8_t ucAddress);
    uint8_t ucReadRegLpt2(uint8_t ucAddress);
    uint8_t ucReadRegLpt3(uint8_t ucAddress);
    /* Status bit 5: the master's end-of-transmission line. */
    bool bReadEotPin();

    /* Which wiring the adapter on the port has: interface kind 1, 2 or 3. */
    void vSetWiring(InterfaceEnum eKind) { eWiring = eKind; }

    /* The transport seen from BissClass. A port driver that cannot be bound fails every access with
     * BISS_MASTERCOMM_FAILED and touches no port. */
    BissEnum eWriteRegister(uint8_t ucAddress, uint8_t ucData) override;
    BissEnum eReadRegister(uint8_t ucAddress, uint8_t *pucData) override;
    BissEnum eReadEot(bool *pbEot) override;
    bool bRefusesWideValues() const override { return true; }
    /* The bit-serial link needs 59 port accesses per read: the instruction is gone before it shows. */
    bool bSeesPendingInstruction() const override { return eWiring != INTERFACE_LPT3; }

private:
    bool bDriverReady();
    void vWriteData(uint8_t ucValue);
    void vWriteControl(uint8_t ucValue);
    uint8_t ucReadData();
    uint8_t ucReadStatus();
    /* Kind 3: one bit out on the inverted data line, clocked; ucHigh is 0x20 while the data lines are
     * input. */
    void vSendBits(uint8_t ucValue, uint8_t ucHigh);
    uint8_t ucTakeBits();

    uint32_t ulPortBase;
    InterfaceEnum eWiring = INTERFACE_LPT1;
    std::unique_ptr<tarnbus::DlPortIoDriver> pDriver;
    bool bDriverTried = false;
};

#endif
