// libdlportio-ppdev.so: the port I/O driver's two functions over the Linux parallel-port device, for
// running the library on a real port (TARNBUS_DLPORTIO names this file). The device is claimed at the
// first call and released when the library is unloaded.
#include "dlportio.h"
#include "ppdev_port.h"

#include <type_traits>

#define DLPORT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

ppdev::Port &port()
{
    static ppdev::Port instance(ppdev::realSystem(), ppdev::devicePath());
    return instance;
}

} // namespace

DLPORT_EXPORT void DlPortWritePortUchar(uint32_t ulPort, uint8_t ucValue)
{
    port().write(ulPort, ucValue);
}

DLPORT_EXPORT uint8_t DlPortReadPortUchar(uint32_t ulPort)
{
    return port().read(ulPort);
}

static_assert(std::is_same_v<decltype(&DlPortWritePortUchar), DlPortWritePortUchar_t>);
static_assert(std::is_same_v<decltype(&DlPortReadPortUchar), DlPortReadPortUchar_t>);
