// rotaconf-cli position: sensor cycles one after the other, each slave's data words as they come.
#include "cli_context.h"

#include "BissCom.h"

#include <tarnbus/tarnbus.h>

#include <chrono>
#include <vector>

namespace {

// A second word the library leaves alone keeps this, so only words that came are shown.
constexpr uint32_t kNotDelivered = 0xFFFFFFFF;

} // namespace

int CmdPosition(TCliContext &Context)
{
    TRC_Device &Device = Context.Device;
    if (!Connect(Device))
        return 1;
    const uint32_t Handle = Device.Com->Handle;
    uint32_t Slaves = 0;
    const int32_t Code = GetMasterConfig(Handle, 0, MC_E5_LOW_BITS, &Slaves);
    if (Code != BISS_OK) {
        FailCode(QStringLiteral("cannot read the slave count"), Code);
        return 1;
    }

    unsigned Failed = 0;
    std::vector<uint32_t> First(Slaves > 0 ? Slaves : 1), Second(First.size());
    const auto Start = std::chrono::steady_clock::now();
    for (unsigned Cycle = 1; Cycle <= Context.Count; ++Cycle) {
        Second.assign(Second.size(), kNotDelivered);
        bool SecondValid = false;
        const int32_t Result = ReadSens(Handle, First.data(), Second.data(), &SecondValid);
        QString Line = QStringLiteral("cycle %1").arg(Cycle, 4);
        if (Result != BISS_OK) {
            ++Failed;
            Out(Line + QStringLiteral("  no valid data (%1)").arg(TBissCom::ResultName(Result)));
            continue;
        }
        for (uint32_t Slave = 0; Slave < Slaves; ++Slave) {
            Line += QStringLiteral("  slave %1: %2").arg(Slave).arg(First[Slave], 10);
            if (SecondValid && Second[Slave] != kNotDelivered)
                Line += QStringLiteral(" second %1").arg(Second[Slave], 10);
        }
        Out(Line + QStringLiteral("  CRC ok, valid"));
    }
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Out(QStringLiteral("%1 cycles in %2 s: %3 cycles per second")
            .arg(Context.Count)
            .arg(Seconds, 0, 'f', 3)
            .arg(Seconds > 0 ? Context.Count / Seconds : 0.0, 0, 'f', 0));
    if (Failed != 0) {
        Fail(QStringLiteral("%1 of %2 cycles delivered no valid data").arg(Failed).arg(Context.Count));
        return 1;
    }
    return 0;
}
