/* The library-wide table of open handles. Handle h names slot h - 1; slots are handed out in rising
 * order and only the last one handed out is taken again after it is closed. */
#ifndef TARNBUS_HANDLE_TABLE_H
#define TARNBUS_HANDLE_TABLE_H

#include <cstdint>

class BissClass;

namespace tarnbus {

constexpr unsigned SLOT_COUNT = 255;

/* The object of an open handle, or null when the handle is not open. */
BissClass *pInterfaceOf(uint32_t ulHandle);

} // namespace tarnbus

#endif
