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

namespace {

// A one-shot fault of the port: counts down its allowance of good accesses, then loses one and goes off.
bool bLost(tbsim::World &w)
{
    if (!w.faults.on(TBSIM_PORT_ACCESS_LOST))
        return false;
    const uint32_t allowance = w.faults.arg(TBSIM_PORT_ACCESS_LOST);
    if (allowance > 0) {
        w.faults.setArg(TBSIM_PORT_ACCESS_LOST, allowance - 1);
        return false;
    }
    w.faults.set(TBSIM_PORT_ACCESS_LOST, false, 0);
    return true;
}

} // namespace

DLPORT_EXPORT void DLPORT_WINAPI DlPortWritePortUchar(uint32_t ulPort, uint8_t ucValue)
{
    if (tbsim::World *w = tbsim::world(); w && !bLost(*w))
        w->port.write(ulPort, ucValue);
}

DLPORT_EXPORT uint8_t DLPORT_WINAPI DlPortReadPortUchar(uint32_t ulPort)
{
    tbsim::World *w = tbsim::world();
    if (!w || bLost(*w))
        return 0xFF;
    return w->port.read(ulPort);
}

static_assert(std::is_same_v<decltype(&DlPortWritePortUchar), DlPortWritePortUchar_t>);
static_assert(std::is_same_v<decltype(&DlPortReadPortUchar), DlPortReadPortUchar_t>);
