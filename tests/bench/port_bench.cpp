// The parallel-port kinds: port accesses per master register access and per rating-plate read on each
// wiring (on real hardware every one is a driver call, and the driver call is the cost), and the
// library's own time per port access, measured on a bare port driver that costs next to nothing.
#include "bench_support.h"

#include <dlfcn.h>

namespace {

// Opens a parallel-port kind at 0x378 on the given driver; the simulated port gets the same wiring.
uint32_t ulBenchOpenPort(const char *strDriver, uint32_t ulKind, bool bStart)
{
    setenv("TARNBUS_DLPORTIO", strDriver, 1);
    tbsim_set_port(0x378, static_cast<int>(ulKind));
    uint32_t ulHandle = 0;
    OpenInterface(ulKind, "0x378", nullptr, nullptr, &ulHandle);
    if (bStart) {
        WriteMasterConfig(ulHandle, 1);
        InitBissComm(ulHandle);
    }
    return ulHandle;
}

// Port driver calls during the timed loop, per iteration.
class PortCost {
public:
    PortCost() { tbsim_get_counters(&start); }
    void vReport(benchmark::State &state) const
    {
        tbsim_counters end;
        tbsim_get_counters(&end);
        const uint64_t ullWrites = end.port_writes - start.port_writes;
        const uint64_t ullReads = end.port_reads - start.port_reads;
        state.counters["port_writes"] =
            benchmark::Counter(double(ullWrites), benchmark::Counter::kAvgIterations);
        state.counters["port_reads"] =
            benchmark::Counter(double(ullReads), benchmark::Counter::kAvgIterations);
        state.counters["port_accesses"] =
            benchmark::Counter(double(ullWrites + ullReads), benchmark::Counter::kAvgIterations);
    }

private:
    tbsim_counters start;
};

void BM_PortWriteMaster(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpenPort(TARNBUS_BENCH_SIM, uint32_t(state.range(0)), false);
    PortCost cost;
    uint32_t ulData = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteMaster(h, 0xE2, ++ulData & 0xFF, 0xFFFFFFFF));
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_PortWriteMaster)->ArgName("kind")->DenseRange(1, 3);

void BM_PortReadMaster(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpenPort(TARNBUS_BENCH_SIM, uint32_t(state.range(0)), false);
    PortCost cost;
    uint32_t ulValue = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadMaster(h, 0xE2, &ulValue));
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_PortReadMaster)->ArgName("kind")->DenseRange(1, 3);

void BM_PortReadRatingPlate(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpenPort(TARNBUS_BENCH_SIM, uint32_t(state.range(0)), true);
    PortCost cost;
    for (auto _ : state)
        vBenchReadPlate(state, h);
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_PortReadRatingPlate)->ArgName("kind")->DenseRange(1, 3)->Unit(benchmark::kMicrosecond);

// The bare driver counts its calls; the library's time per port access is the loop's time over them.
uint64_t ullFakePortCalls()
{
    void *pLibrary = dlopen(TARNBUS_BENCH_FAKE_PORT, RTLD_NOW | RTLD_LOCAL);
    if (!pLibrary)
        return 0;
    uint64_t ullCalls = 0;
    if (auto pCalls = reinterpret_cast<uint64_t (*)()>(dlsym(pLibrary, "fake_dlportio_calls")))
        ullCalls = pCalls();
    dlclose(pLibrary);
    return ullCalls;
}

void BM_PortReadMasterLibraryOnly(benchmark::State &state)
{
    const uint32_t h = ulBenchOpenPort(TARNBUS_BENCH_FAKE_PORT, uint32_t(state.range(0)), false);
    const uint64_t ullStart = ullFakePortCalls();
    uint32_t ulValue = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadMaster(h, 0xE2, &ulValue));
    const double dCalls = double(ullFakePortCalls() - ullStart);
    state.counters["port_accesses"] = benchmark::Counter(dCalls, benchmark::Counter::kAvgIterations);
    // Seconds per port access: the library's own share of every driver call.
    state.counters["time_per_port_access"] =
        benchmark::Counter(dCalls, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    CloseInterface(h);
}
BENCHMARK(BM_PortReadMasterLibraryOnly)->ArgName("kind")->DenseRange(1, 3);

} // namespace
