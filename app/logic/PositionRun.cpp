#include "PositionRun.h"

#include <tarnbus/tarnbus.h>

#include <algorithm>
#include <cmath>

namespace {

// A second word the library leaves alone keeps this. The encoder's second word has 24 bits, so no
// word that came can look like it.
constexpr uint32_t kNotDelivered = 0xFFFFFFFF;

// The master's status after a cycle: bit 6 is set when a slave's start bit came.
constexpr uint32_t kCycleStatusRegister = 0xF0;
constexpr uint32_t kStartBitSeen = 0x40;

} // namespace

QString FailureName(TCycleFailure Kind)
{
    switch (Kind) {
    case FailNoAnswer:
        return QStringLiteral("no answer");
    case FailCrc:
        return QStringLiteral("CRC");
    case FailTimeout:
        return QStringLiteral("time-out");
    case FailAdapter:
        return QStringLiteral("adapter");
    default:
        return QString();
    }
}

bool TPositionBatch::HasWord2(uint32_t Cycle, uint32_t Slave) const
{
    return McdValid[Cycle] != 0 && Word2(Cycle, Slave) != kNotDelivered;
}

bool TPositionRun::Start()
{
    uint32_t Slaves = 0;
    if (!m_com.GetMasterItem(0, MC_E5_LOW_BITS, Slaves))
        return false;
    m_slaves = std::min<uint32_t>(Slaves, 8);
    for (uint32_t Slave = 0; Slave < m_slaves; ++Slave) {
        uint32_t Poly1 = 0, Poly2 = 0;
        if (!m_com.GetMasterItem(Slave, MC_DATA1_CRCPOLY, Poly1) ||
            !m_com.GetMasterItem(Slave, MC_DATA2_CRCPOLY, Poly2))
            return false;
        // The items read back odd (with their x^0 term); a polynomial of 1 alone checks nothing.
        m_crc[Slave] = {Poly1 > 1, Poly2 > 1};
    }
    m_clock.start();
    return true;
}

bool TPositionRun::CrcChecked(uint32_t Slave, int Word) const
{
    return Slave < m_slaves && Word >= 1 && Word <= 2 && m_crc[Slave][Word - 1];
}

const TPositionBatch &TPositionRun::Run(uint32_t Cycles)
{
    Cycles = std::clamp<uint32_t>(Cycles, 1, TBissCom::kMaxPositionCycles);
    TPositionBatch &Batch = m_batch;
    Batch.FirstCycle = m_nextCycle;
    Batch.Slaves = m_slaves;
    const size_t Words = size_t{Cycles} * std::max<uint32_t>(m_slaves, 1);
    Batch.Scd.assign(Words, 0);
    Batch.Mcd.assign(Words, kNotDelivered);
    Batch.McdValid.assign(Cycles, 0);
    Batch.Failure = FailNone;
    Batch.Code = 0;

    const int64_t Begin = ElapsedUs();
    uint32_t Done = 0;
    const bool Ok =
        m_com.ReadPositions(Cycles, Batch.Scd.data(), Batch.Mcd.data(), Batch.McdValid.data(), Done);
    const int64_t End = ElapsedUs();
    Batch.Done = std::min(Done, Cycles);
    if (!Ok) {
        Batch.Code = m_com.LastResult;
        Batch.Failure = Classify(Batch.Code);
        Batch.FailureTimeUs = End;
        ++m_failures[Batch.Failure];
    }
    // The cycles' ends spread evenly over the batch: the block read reports no time of its own.
    const uint64_t Ran = Batch.CyclesRun();
    Batch.TimeUs.resize(Batch.Done);
    for (uint32_t Cycle = 0; Cycle < Batch.Done; ++Cycle)
        Batch.TimeUs[Cycle] =
            Begin + (End - Begin) * static_cast<int64_t>(Cycle + 1) / static_cast<int64_t>(Ran);
    if (Ok && Batch.Done > 0)
        m_usPerCycle = static_cast<double>(End - Begin) / Batch.Done;
    m_cycles += Ran;
    m_nextCycle += Ran;
    return Batch;
}

uint32_t TPositionRun::BatchFor(double Milliseconds) const
{
    if (m_usPerCycle <= 0)
        return 1;
    const double Cycles = std::floor(Milliseconds * 1000.0 / m_usPerCycle);
    return static_cast<uint32_t>(std::clamp(Cycles, 1.0, double{TBissCom::kMaxPositionCycles}));
}

uint64_t TPositionRun::Failed() const
{
    uint64_t Sum = 0;
    for (int Kind = FailNoAnswer; Kind < FailKinds; ++Kind)
        Sum += m_failures[Kind];
    return Sum;
}

void TPositionRun::ClearCounts()
{
    m_cycles = 0;
    m_failures = {};
}

TCycleFailure TPositionRun::Classify(int32_t Code)
{
    switch (Code) {
    case BISS_TIMEOUT:
        return FailTimeout;
    case BISS_COMM_FAILED: {
        // The cycle ended with an error: the master's status tells a missing answer from bad data.
        const int32_t Kept = m_com.LastResult;
        uint32_t Status = 0;
        const bool Read = m_com.ReadMasterRegister(kCycleStatusRegister, Status);
        m_com.LastResult = Kept;
        if (!Read)
            return FailAdapter;
        return (Status & kStartBitSeen) ? FailCrc : FailNoAnswer;
    }
    default:
        return FailAdapter;
    }
}

QByteArray TPositionRun::CsvHeader()
{
    return QByteArrayLiteral("cycle,time_us,slave,word1,word2,valid,error\n");
}

void TPositionRun::AppendCsvRows(const TPositionBatch &Batch, QByteArray &Rows)
{
    for (uint32_t Cycle = 0; Cycle < Batch.Done; ++Cycle) {
        const QByteArray Head = QByteArray::number(Batch.FirstCycle + Cycle) + ',' +
                                QByteArray::number(static_cast<qlonglong>(Batch.TimeUs[Cycle])) + ',';
        for (uint32_t Slave = 0; Slave < Batch.Slaves; ++Slave) {
            Rows +=
                Head + QByteArray::number(Slave) + ',' + QByteArray::number(Batch.Word1(Cycle, Slave)) + ',';
            if (Batch.HasWord2(Cycle, Slave))
                Rows += QByteArray::number(Batch.Word2(Cycle, Slave));
            Rows += ",1,\n";
        }
    }
    if (Batch.Failure == FailNone)
        return;
    const QByteArray Head = QByteArray::number(Batch.FirstCycle + Batch.Done) + ',' +
                            QByteArray::number(static_cast<qlonglong>(Batch.FailureTimeUs)) + ',';
    const QByteArray Error = FailureName(Batch.Failure).toLatin1();
    for (uint32_t Slave = 0; Slave < std::max<uint32_t>(Batch.Slaves, 1); ++Slave)
        Rows += Head + QByteArray::number(Slave) + ",,,0," + Error + "\n";
}
