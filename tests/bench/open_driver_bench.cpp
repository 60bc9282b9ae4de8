// The library's exchanges on the open driver, Debian's libftdi1 and the USB model of the adapter: per
// exchange the libusb transfers (bulk OUT, bulk IN, control) and the time on the model's clock, for the
// high-speed chip (512-byte packets) and its full-speed variant (64-byte packets). Argument 0 is high
// speed, 1 full speed.
#include "bench_support.h"

#include "usbmodel.h"

#include <vector>

namespace {

// Opens the adapter through the open driver on the model's chip and starts the master.
uint32_t ulOpenOnModel(benchmark::State &state)
{
    tbsim_reset_default();
    usbmodel_reset();
    usbmodel_set_chip("FT2232H", int(state.range(0)));
    const uint32_t h = ulBenchOpen(TARNBUS_BENCH_FTDI, false);
    SetMasterConfig(h, 0, MC_DATA1_LENGTH, 10);
    SetMasterConfig(h, 0, MC_DATA1_CRCPOLY, 0x43);
    SetMasterConfig(h, 0, MC_DATA2_LENGTH, 24);
    SetMasterConfig(h, 0, MC_DATA2_CRCPOLY, 0x43);
    SetMasterConfig(h, 0, MC_E5_LOW_BITS, 1);
    SetMasterConfig(h, 0, MC_E6_LOW5, 4);
    if (WriteMasterConfig(h, 1) != BISS_OK || InitBissComm(h) != BISS_OK)
        state.SkipWithError("the adapter did not start");
    state.SetLabel(state.range(0) ? "full speed" : "high speed");
    return h;
}

// What crossed the USB during the timed loop, per exchange.
class UsbCost {
public:
    explicit UsbCost(double dExchangesPerIteration) : dPer(dExchangesPerIteration)
    {
        usbmodel_get_counters(&start);
        ullStartUs = usbmodel_clock_us();
    }
    void vReport(benchmark::State &state) const
    {
        usbmodel_counters end;
        usbmodel_get_counters(&end);
        auto per = [&](double d) { return benchmark::Counter(d / dPer, benchmark::Counter::kAvgIterations); };
        state.counters["usb_bulk_out"] = per(double(end.bulk_out - start.bulk_out));
        state.counters["usb_bulk_in"] = per(double(end.bulk_in - start.bulk_in));
        state.counters["usb_control"] = per(double(end.control - start.control));
        state.counters["usb_packets_in"] = per(double(end.packets_in - start.packets_in));
        state.counters["model_us"] = per(double(usbmodel_clock_us() - ullStartUs));
    }

private:
    double dPer;
    usbmodel_counters start;
    uint64_t ullStartUs;
};

void BM_OpenDriverRegisterRead(benchmark::State &state)
{
    const uint32_t h = ulOpenOnModel(state);
    UsbCost cost(1);
    uint32_t ulValue = 0;
    for (auto _ : state) {
        if (ReadMaster(h, 0xEB, &ulValue) != BISS_OK)
            state.SkipWithError("register read failed");
    }
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_OpenDriverRegisterRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_OpenDriverReadSens(benchmark::State &state)
{
    const uint32_t h = ulOpenOnModel(state);
    UsbCost cost(1);
    uint32_t ulScd = 0, ulMcd = 0;
    bool bValid = false;
    for (auto _ : state) {
        if (ReadSens(h, &ulScd, &ulMcd, &bValid) != BISS_OK)
            state.SkipWithError("ReadSens failed");
    }
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_OpenDriverReadSens)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// 1000 cycles as 1000 single ReadSens calls, the counters per 1000 cycles.
void BM_OpenDriverReadSensTimes1000(benchmark::State &state)
{
    const uint32_t h = ulOpenOnModel(state);
    UsbCost cost(1);
    uint32_t ulScd = 0, ulMcd = 0;
    bool bValid = false;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            if (ReadSens(h, &ulScd, &ulMcd, &bValid) != BISS_OK) {
                state.SkipWithError("ReadSens failed");
                break;
            }
    }
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_OpenDriverReadSensTimes1000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same 1000 cycles as one block read.
void BM_OpenDriverReadSensBlock1000(benchmark::State &state)
{
    const uint32_t h = ulOpenOnModel(state);
    UsbCost cost(1);
    std::vector<uint32_t> vecScd(1000), vecMcd(1000);
    std::vector<uint8_t> vecValid(1000);
    uint32_t ulDone = 0;
    for (auto _ : state) {
        if (ReadSensBlock(h, 1000, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone) != BISS_OK)
            state.SkipWithError("ReadSensBlock failed");
    }
    cost.vReport(state);
    CloseInterface(h);
}
BENCHMARK(BM_OpenDriverReadSensBlock1000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
