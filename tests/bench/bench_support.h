// Shared by the benchmarks: a handle on the simulated adapter (or on the bare stand-in driver, to time
// the library alone) and per-job device counters.
#ifndef TARNBUS_BENCH_SUPPORT_H
#define TARNBUS_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <utility>

#include "tarnbus/tarnbus.h"
#include "tarnbus_sim.h"

// Opens kind 4 on the given driver and starts the master as the configuration program does.
inline uint32_t ulBenchOpen(const char *strDriver, bool bStart)
{
    setenv("TARNBUS_FTD2XX", strDriver, 1);
    uint32_t ulHandle = 0;
    OpenInterface(INTERFACE_USB, "", nullptr, nullptr, &ulHandle);
    if (bStart) {
        WriteMasterConfig(ulHandle, 1);
        InitBissComm(ulHandle);
    }
    return ulHandle;
}

// Reads the encoder's rating plate (registers 32..103) as the configuration program does.
inline void vBenchReadPlate(benchmark::State &state, uint32_t ulHandle)
{
    uint8_t aucPlate[104];
    for (auto [ulAddress, ulCount] : {std::pair<uint32_t, uint32_t>{32, 24}, {56, 32}, {88, 16}}) {
        uint32_t ulDone = ulCount;
        if (ReadSlaveRegister(ulHandle, 0, 0, ulAddress, &ulDone, aucPlate + ulAddress) != BISS_OK)
            state.SkipWithError("plate read failed");
    }
}

// What the simulated device was asked to do during the timed loop, per iteration.
class DeviceCost {
public:
    DeviceCost() { tbsim_get_counters(&m_start); }
    void vReport(benchmark::State &state) const
    {
        tbsim_counters end;
        tbsim_get_counters(&end);
        auto avg = [](uint64_t ull) {
            return benchmark::Counter(double(ull), benchmark::Counter::kAvgIterations);
        };
        state.counters["dev_writes"] = avg(end.writes - m_start.writes);
        state.counters["dev_reads"] = avg(end.reads - m_start.reads);
        state.counters["bytes_out"] = avg(end.bytes_written - m_start.bytes_written);
        state.counters["bytes_in"] = avg(end.bytes_read - m_start.bytes_read);
    }

private:
    tbsim_counters m_start;
};

#endif
