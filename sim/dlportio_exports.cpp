// The port I/O driver's two functions, so that TARNBUS_DLPORTIO can name this library: port accesses
// reach the simulated parallel port of the same world the D2XX functions serve.
#include "dlportio.h"
#include "world.h"

#include <type_traits>

#if defined(_WIN32)
// The DLL's .def file exports these by name.
#define DLPORT_EXPORT extern "C"
#else
#define DLPORT_EXPORT extern "C" __attribute__((visibility("default")))
#endif

DLPORT_EXPORT void DLPORT_WINAPI DlPortWritePortUchar(uint32_t ulPort, uint8_t ucValue)
{
    if (tbsim::World *w = tbsim::world())
        w->port.write(ulPort, ucValue);
}

DLPORT_EXPORT uint8_t DLPORT_WINAPI DlPortReadPortUchar(uint32_t ulPort)
{
    tbsim::World *w = tbsim::world();
    return w ? w->port.read(ulPort) : 0xFF;
}

static_assert(std::is_same_v<decltype(&DlPortWritePortUchar), DlPortWritePortUchar_t>);
static_assert(std::is_same_v<decltype(&DlPortReadPortUchar), DlPortReadPortUchar_t>);
