// A bare port I/O driver: no adapter on the port, a status byte the test sets, and a count of the
// calls. For what the simulated port never shows (a stuck status line) and for timing the library's
// own work per port access.
#include <cstdint>

#include "platform/dlportio.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
uint8_t ucStatus = 0xFF;
uint64_t ullCalls = 0;
} // namespace

FAKE_EXPORT void fake_dlportio_set_status(uint8_t ucValue)
{
    ucStatus = ucValue;
}
FAKE_EXPORT uint64_t fake_dlportio_calls()
{
    return ullCalls;
}

FAKE_EXPORT void DlPortWritePortUchar(uint32_t, uint8_t)
{
    ++ullCalls;
}
FAKE_EXPORT uint8_t DlPortReadPortUchar(uint32_t ulPort)
{
    ++ullCalls;
    return (ulPort & 3) == 1 ? ucStatus : 0xFF;
}
