// One master register access through the flat interface: its wire cost on the simulated adapter, and
// the library's own processor time measured on the bare stand-in driver (which costs next to nothing).
#include "bench_support.h"

#include <dlfcn.h>

namespace {

// The stand-in keeps its registers between runs; start each run from a clean one.
void fake_ftd2xx_reset()
{
    void *pLibrary = dlopen(TARNBUS_BENCH_FAKE, RTLD_NOW | RTLD_LOCAL);
    if (!pLibrary)
        return;
    if (auto pReset = reinterpret_cast<void (*)()>(dlsym(pLibrary, "fake_ftd2xx_reset")))
        pReset();
    dlclose(pLibrary);
}

void BM_WriteMaster(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_SIM, false);
    DeviceCost cost;
    uint32_t ulData = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteMaster(h, 0xE2, ++ulData & 0xFF, 0xFFFFFFFF));
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_WriteMaster);

void BM_ReadMaster(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_SIM, false);
    DeviceCost cost;
    uint32_t ulValue = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadMaster(h, 0xE2, &ulValue));
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_ReadMaster);

void BM_WriteMasterLibraryOnly(benchmark::State &state)
{
    fake_ftd2xx_reset();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_FAKE, false);
    uint32_t ulData = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteMaster(h, 0xE2, ++ulData & 0xFF, 0xFFFFFFFF));
    CloseInterface(h);
}
BENCHMARK(BM_WriteMasterLibraryOnly);

void BM_ReadMasterLibraryOnly(benchmark::State &state)
{
    fake_ftd2xx_reset();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_FAKE, false);
    uint32_t ulValue = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadMaster(h, 0xE2, &ulValue));
    CloseInterface(h);
}
BENCHMARK(BM_ReadMasterLibraryOnly);

} // namespace
