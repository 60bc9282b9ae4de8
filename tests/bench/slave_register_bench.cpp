// The slave register jobs of the configuration program, with their cost on the wire: reading the
// rating plate, and writing the 6-byte configuration block one register at a time.
#include "bench_support.h"

namespace {

void BM_ReadRatingPlate(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_SIM, true);
    DeviceCost cost;
    for (auto _ : state)
        vBenchReadPlate(state, h);
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_ReadRatingPlate)->Unit(benchmark::kMicrosecond);

void BM_WriteConfigurationBlock(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_SIM, true);
    DeviceCost cost;
    uint8_t aucBlock[6];
    for (unsigned i = 0; i < 6; ++i)
        aucBlock[i] = tbsim_slave_get(0, 16 + i);
    for (auto _ : state) {
        for (uint32_t i = 0; i < 6; ++i) {
            uint32_t ulOne = 1;
            if (WriteSlaveRegister(h, 0, 0, 16 + i, &ulOne, &aucBlock[i], 0xFF) != BISS_OK)
                state.SkipWithError("block write failed");
        }
    }
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_WriteConfigurationBlock)->Unit(benchmark::kMicrosecond);

} // namespace
