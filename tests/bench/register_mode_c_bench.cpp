// Register mode C: every frame bit is a sensor cycle. On the USB adapter every cycle is one device write
// and one device read; reported per register: cycles, device round trips and bytes, and the time the
// configuration program's write (EEPROM then RAM block, 12 registers) would take at one round trip per
// USB microframe (125 us). On the parallel port: cycles and port driver calls per register.
#include "bench_support.h"

namespace {

constexpr double MICROFRAME_US = 125.0;
constexpr int CONFIG_WRITE_REGISTERS = 12;

uint32_t ulOpenModeC()
{
    tbsim_reset_default();
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_SIM, false);
    SetMasterConfig(h, 0, MC_E5_LOW_BITS, 1);
    SetMasterConfig(h, 0, MC_E6_LOW5, 4);
    SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 1);
    WriteMasterConfig(h, 1);
    InitBissComm(h);
    return h;
}

// Cycles are counted by the cycle commands the master took.
uint64_t ullCycles()
{
    uint64_t ull = 0;
    tbsim_master_access a;
    for (size_t i = 0; tbsim_master_log_get(i, &a) == 0; ++i)
        if (a.op == 'W' && a.address == 0xF4 && (a.value == 2 || a.value == 4 || a.value == 6))
            ++ull;
    return ull;
}

// The cycles of one register, counted on a run of its own before the timed loop (the master log would
// not keep a long loop's accesses). Round trips per register = dev_reads.
template <typename Job>
uint64_t ullCyclesOf(Job job)
{
    job(); // the first call also waits for the slave's control channel to come up
    tbsim_clear_logs();
    job();
    const uint64_t ull = ullCycles();
    tbsim_clear_logs();
    return ull;
}

void vReportModeC(benchmark::State &state, const DeviceCost &cost, uint64_t ullCycleCount, bool bWrite)
{
    cost.vReport(state);
    tbsim_counters c;
    tbsim_get_counters(&c); // the logs were cleared before the loop: these are the loop's
    state.counters["cycles"] = double(ullCycleCount);
    if (bWrite) {
        // One device write and one read per round trip.
        const double dRoundTrips = double(c.reads) / double(state.iterations());
        state.counters["config_write_ms"] = dRoundTrips * CONFIG_WRITE_REGISTERS * MICROFRAME_US / 1000.0;
    }
}

void BM_ModeCReadRegister(benchmark::State &state)
{
    const uint32_t h = ulOpenModeC();
    uint8_t uc = 0;
    const uint64_t ullCycleCount = ullCyclesOf([&] {
        uint32_t ulOne = 1;
        ReadSlaveRegister(h, 0, 0, 32, &ulOne, &uc);
    });
    DeviceCost cost;
    for (auto _ : state) {
        uint32_t ulOne = 1;
        if (ReadSlaveRegister(h, 0, 0, 32, &ulOne, &uc) != BISS_OK)
            state.SkipWithError("mode-C read failed");
    }
    vReportModeC(state, cost, ullCycleCount, false);
    CloseInterface(h);
}
BENCHMARK(BM_ModeCReadRegister)->Unit(benchmark::kMicrosecond);

void BM_ModeCWriteRegister(benchmark::State &state)
{
    const uint32_t h = ulOpenModeC();
    uint8_t uc = tbsim_slave_get(0, 16);
    const uint64_t ullCycleCount = ullCyclesOf([&] {
        uint32_t ulOne = 1;
        WriteSlaveRegister(h, 0, 0, 16, &ulOne, &uc, 0xFF);
    });
    DeviceCost cost;
    for (auto _ : state) {
        uint32_t ulOne = 1;
        if (WriteSlaveRegister(h, 0, 0, 16, &ulOne, &uc, 0xFF) != BISS_OK)
            state.SkipWithError("mode-C write failed");
    }
    vReportModeC(state, cost, ullCycleCount, true);
    CloseInterface(h);
}
BENCHMARK(BM_ModeCWriteRegister)->Unit(benchmark::kMicrosecond);

// The rating plate's 24 registers from 32 in one chained read, and six registers written in one chained
// write (the configuration program's blocks): device exchanges per call.
void BM_ModeCReadPlate24(benchmark::State &state)
{
    const uint32_t h = ulOpenModeC();
    uint8_t aucPlate[24];
    uint32_t ulCount = 24;
    ReadSlaveRegister(h, 0, 0, 32, &ulCount, aucPlate); // the control channel comes up
    tbsim_clear_logs();
    DeviceCost cost;
    for (auto _ : state) {
        ulCount = 24;
        if (ReadSlaveRegister(h, 0, 0, 32, &ulCount, aucPlate) != BISS_OK)
            state.SkipWithError("mode-C plate read failed");
    }
    cost.vReport(state);
    cost.vReportPerItem(state, 1);
    CloseInterface(h);
}
BENCHMARK(BM_ModeCReadPlate24)->Unit(benchmark::kMicrosecond);

void BM_ModeCWriteSix(benchmark::State &state)
{
    const uint32_t h = ulOpenModeC();
    uint8_t aucData[6];
    for (unsigned i = 0; i < 6; ++i)
        aucData[i] = tbsim_slave_get(0, 16 + i);
    uint32_t ulCount = 6;
    WriteSlaveRegister(h, 0, 0, 16, &ulCount, aucData, 0xFF);
    tbsim_clear_logs();
    DeviceCost cost;
    for (auto _ : state) {
        ulCount = 6;
        if (WriteSlaveRegister(h, 0, 0, 16, &ulCount, aucData, 0xFF) != BISS_OK)
            state.SkipWithError("mode-C write failed");
    }
    cost.vReport(state);
    cost.vReportPerItem(state, 1);
    CloseInterface(h);
}
BENCHMARK(BM_ModeCWriteSix)->Unit(benchmark::kMicrosecond);

// The same read on the parallel port (kind 1 at 0x378): the cost is in port driver calls.
void BM_ModeCReadRegisterPort(benchmark::State &state)
{
    tbsim_reset_default();
    tbsim_set_port(0x378, 1);
    setenv("TARNBUS_DLPORTIO", TARNBUS_BENCH_SIM, 1);
    uint32_t h = 0;
    OpenInterface(INTERFACE_LPT1, "0x378", nullptr, nullptr, &h);
    SetMasterConfig(h, 0, MC_E5_LOW_BITS, 1);
    SetMasterConfig(h, 0, MC_E6_LOW5, 4);
    SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 1);
    WriteMasterConfig(h, 1);
    InitBissComm(h);
    uint8_t uc = 0;
    const uint64_t ullCycleCount = ullCyclesOf([&] {
        uint32_t ulOne = 1;
        ReadSlaveRegister(h, 0, 0, 32, &ulOne, &uc);
    });
    for (auto _ : state) {
        uint32_t ulOne = 1;
        if (ReadSlaveRegister(h, 0, 0, 32, &ulOne, &uc) != BISS_OK)
            state.SkipWithError("mode-C read on the port failed");
    }
    tbsim_counters c;
    tbsim_get_counters(&c);
    state.counters["cycles"] = double(ullCycleCount);
    state.counters["port_accesses"] =
        benchmark::Counter(double(c.port_writes + c.port_reads), benchmark::Counter::kAvgIterations);
    CloseInterface(h);
}
BENCHMARK(BM_ModeCReadRegisterPort)->Unit(benchmark::kMicrosecond);

} // namespace
