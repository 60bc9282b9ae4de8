#include "clock.h"

#include <windows.h>

namespace tarnbus {

// The system tick: milliseconds since start-up, steady across changes of the wall clock. The 64-bit
// count does not wrap after 49 days as the 32-bit one does.
uint64_t ullTickMs()
{
    return GetTickCount64();
}

} // namespace tarnbus
