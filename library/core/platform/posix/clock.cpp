#include "clock.h"

#include <chrono>

namespace tarnbus {

uint64_t ullTickMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace tarnbus
