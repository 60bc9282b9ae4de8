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

// The time model of docs/performance.md: each device exchange (one write and one read) costs a USB
// round trip, 125 us on a high-speed adapter and 1 ms on a full-speed one; the SPI bytes run at the
// clock the adapter sets (divisor 0 at the 12 MHz base: 6 MHz), three bytes per master access. The
// accesses are the device bytes out less one send-immediate per exchange, twelve bytes per access.
constexpr double HIGH_SPEED_EXCHANGE_S = 125e-6;
constexpr double FULL_SPEED_EXCHANGE_S = 1e-3;
constexpr double SPI_BIT_S = 1.0 / 6e6;

inline double dModelSeconds(double dExchanges, double dBytesOut, double dExchangeSeconds)
{
    const double dAccesses = (dBytesOut - dExchanges) / 12.0;
    return dExchanges * dExchangeSeconds + dAccesses * 3 * 8 * SPI_BIT_S;
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
    // Per item of the loop (a sample, a register, a plate): the counters above divided by the items of
    // one iteration, and the modelled items per second on both adapter speeds.
    void vReportPerItem(benchmark::State &state, double dItemsPerIteration) const
    {
        tbsim_counters end;
        tbsim_get_counters(&end);
        const double dItems = dItemsPerIteration * double(state.iterations());
        const double dExchanges = double(end.reads - m_start.reads) / dItems;
        const double dBytesOut = double(end.bytes_written - m_start.bytes_written) / dItems;
        state.counters["dev_writes_per_item"] = double(end.writes - m_start.writes) / dItems;
        state.counters["dev_reads_per_item"] = dExchanges;
        state.counters["bytes_out_per_item"] = dBytesOut;
        state.counters["bytes_in_per_item"] = double(end.bytes_read - m_start.bytes_read) / dItems;
        state.counters["model_hs_per_s"] = 1.0 / dModelSeconds(dExchanges, dBytesOut, HIGH_SPEED_EXCHANGE_S);
        state.counters["model_fs_per_s"] = 1.0 / dModelSeconds(dExchanges, dBytesOut, FULL_SPEED_EXCHANGE_S);
    }

private:
    tbsim_counters m_start;
};

#endif
