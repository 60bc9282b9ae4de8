// Sensor cycles and what they cost: one ReadSens sample, a run of 100 cycles on the USB adapter (per
// cycle: device calls, master register accesses, bytes), and the library's own time to unpack one cycle
// of eight slaves from a data-memory image.
#include "bench_support.h"

#include <array>
#include <vector>

#include "tarnbus/BissClass.h"

namespace {

// The master accesses of the timed loop per item, from the simulator's access log.
void vReportAccesses(benchmark::State &state, size_t uiStart, double dPerIteration)
{
    state.counters["master_accesses"] = benchmark::Counter(
        double(tbsim_master_log_count() - uiStart) / dPerIteration, benchmark::Counter::kAvgIterations);
}

void vConfigureSlave0(uint32_t h)
{
    SetMasterConfig(h, 0, MC_DATA1_LENGTH, 10);
    SetMasterConfig(h, 0, MC_DATA1_CRCPOLY, 0x43);
    SetMasterConfig(h, 0, MC_DATA2_LENGTH, 24);
    SetMasterConfig(h, 0, MC_DATA2_CRCPOLY, 0x43);
    SetMasterConfig(h, 0, MC_E5_LOW_BITS, 1);
    SetMasterConfig(h, 0, MC_E6_LOW5, 4);
}

void BM_ReadSens(benchmark::State &state)
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_SIM, false);
    vConfigureSlave0(h);
    WriteMasterConfig(h, 1);
    InitBissComm(h);
    tbsim_clear_logs();
    DeviceCost cost;
    uint32_t ulScd = 0, ulMcd = 0;
    bool bValid = false;
    for (auto _ : state) {
        if (ReadSens(h, &ulScd, &ulMcd, &bValid) != BISS_OK)
            state.SkipWithError("ReadSens failed");
    }
    cost.vReport(state);
    cost.vReportPerItem(state, 1);
    vReportAccesses(state, 0, 1);
    state.SetItemsProcessed(state.iterations());
    CloseInterface(h);
}
BENCHMARK(BM_ReadSens)->Unit(benchmark::kMicrosecond);

// ReadSensBlock of 1000 cycles: dev_reads is the whole block's; the per-item counters are per cycle.
void BM_ReadSensBlock1000(benchmark::State &state)
{
    constexpr uint32_t CYCLES = 1000;
    tbsim_reset_default();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_SIM, false);
    vConfigureSlave0(h);
    WriteMasterConfig(h, 1);
    InitBissComm(h);
    tbsim_clear_logs();
    std::vector<uint32_t> vecScd(CYCLES), vecMcd(CYCLES);
    std::vector<uint8_t> vecValid(CYCLES);
    DeviceCost cost;
    for (auto _ : state) {
        uint32_t ulDone = 0;
        if (ReadSensBlock(h, CYCLES, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone) != BISS_OK)
            state.SkipWithError("ReadSensBlock failed");
    }
    cost.vReport(state);
    cost.vReportPerItem(state, CYCLES);
    state.SetItemsProcessed(state.iterations() * CYCLES);
    CloseInterface(h);
}
BENCHMARK(BM_ReadSensBlock1000)->Unit(benchmark::kMillisecond);

// eStartBissTransfer (100, 0): counters per cycle; items are cycles, so items_per_second is the cycle
// rate through the simulator.
void BM_StartBissTransfer100(benchmark::State &state)
{
    tbsim_reset_default();
    setenv("TARNBUS_FTD2XX", TARNBUS_BENCH_SIM, 1);
    BissClass b;
    b.eSetInterface(INTERFACE_USB, "");
    b.eSetMasterConfig(0, MC_DATA1_LENGTH, 10);
    b.eSetMasterConfig(0, MC_DATA2_LENGTH, 24);
    b.eSetMasterConfig(0, MC_E5_LOW_BITS, 1);
    b.eSetMasterConfig(0, MC_E6_LOW5, 4);
    b.eWriteMasterConfig(1);
    tbsim_clear_logs();
    tbsim_counters start;
    tbsim_get_counters(&start);
    for (auto _ : state) {
        if (b.eStartBissTransfer(100, 0) != BISS_OK)
            state.SkipWithError("cycle run failed");
    }
    tbsim_counters end;
    tbsim_get_counters(&end);
    auto perCycle = [&](uint64_t ull) {
        return benchmark::Counter(double(ull) / 100.0, benchmark::Counter::kAvgIterations);
    };
    state.counters["dev_writes_per_cycle"] = perCycle(end.writes - start.writes);
    state.counters["dev_reads_per_cycle"] = perCycle(end.reads - start.reads);
    state.counters["bytes_out_per_cycle"] = perCycle(end.bytes_written - start.bytes_written);
    state.counters["bytes_in_per_cycle"] = perCycle(end.bytes_read - start.bytes_read);
    vReportAccesses(state, 0, 100);
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_StartBissTransfer100)->Unit(benchmark::kMillisecond);

// Eight slaves of 32 + 32 bits, unpacked from an image: the library alone, no device.
void BM_ExtractEightSlaves(benchmark::State &state)
{
    BissClass b;
    for (uint32_t s = 0; s < 8; ++s) {
        b.eSetMasterConfig(s, MC_DATA1_LENGTH, 32);
        b.eSetMasterConfig(s, MC_DATA2_LENGTH, 32);
    }
    b.eSetMasterConfig(0, MC_E5_LOW_BITS, 7);
    std::array<uint8_t, 128> aucImage;
    for (unsigned i = 0; i < aucImage.size(); ++i)
        aucImage[i] = static_cast<uint8_t>(i * 37);
    BissReadSensClass record;
    for (auto _ : state) {
        record.ucValidMask = 0xFF;
        if (b.eExtractSensData(&record, aucImage.data()) != BISS_OK)
            state.SkipWithError("extraction failed");
        benchmark::DoNotOptimize(record);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExtractEightSlaves);

} // namespace
