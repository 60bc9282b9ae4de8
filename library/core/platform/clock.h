/* Monotonic millisecond clock for every time limit of the library. A processor-time clock would stop
 * while a driver call sleeps, so only a steady wall clock is used. */
#ifndef TARNBUS_CLOCK_H
#define TARNBUS_CLOCK_H

#include <cstdint>

namespace tarnbus {

/* Milliseconds since an arbitrary fixed point; never goes backwards. */
uint64_t ullTickMs();

/* True once more than ulLimitMs milliseconds have passed since ullStart. */
inline bool bTimedOut(uint64_t ullStart, uint32_t ulLimitMs)
{
    return ullTickMs() - ullStart > ulLimitMs;
}

/* Every wait of the library gives up after this long. */
constexpr uint32_t TIME_LIMIT_MS = 1000;

} // namespace tarnbus

#endif
