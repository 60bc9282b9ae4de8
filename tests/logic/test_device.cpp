// The device model end to end on the simulated adapter, master chip and encoder; the encoder's
// registers and the binding's trace show what happened.
#include "PositionRun.h"
#include "RC_Def.h"

#include <tarnbus/tarnbus.h>
#include <tarnbus_sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

namespace {

using Block = std::array<uint8_t, 6>;

Block SimBlock(unsigned at)
{
    Block b{};
    for (unsigned i = 0; i < 6; ++i)
        b[i] = tbsim_slave_get(0, at + i);
    return b;
}

void SetSimBlock(unsigned at, const Block &b)
{
    for (unsigned i = 0; i < 6; ++i)
        tbsim_slave_set(0, at + i, b[i]);
}

struct Trace : TLogWindow {
    explicit Trace(QStringList &l) : lines(l) {}
    void AddLine(const QString &Line) override
    {
        lines << (Line.startsWith(QLatin1String("Check")) ? Line : Line.mid(12));
    }
    void Show() override {}
    void ForceClose() override {}
    QStringList &lines;
};

class Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        TBissCom::SetLogWindowFactory([this](TBissCom &) { return std::make_unique<Trace>(lines); });
        dev.Com->ShowDebug();
        ASSERT_TRUE(dev.ReopenAndConfig()) << dev.Com->LastResult;
        lines.clear();
    }
    void TearDown() override { TBissCom::SetLogWindowFactory(nullptr); }
    int traced(const QString &start) const
    {
        return int(
            std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(start); }));
    }

    QStringList lines;
    TRC_Device dev;
};

TEST_F(Device, ReadsPlateFactoryBlockAndCurrentConfiguration)
{
    ASSERT_TRUE(dev.ReadRatingPlate());
    EXPECT_EQ(std::tie(dev.ArtType, dev.BaseCount, dev.ProductCode, dev.SerialNumber),
              std::make_tuple(uint8_t(58), 4096u, QStringLiteral("RC5812"), QStringLiteral("2612001")));
    EXPECT_EQ(dev.OrderDesignation.size(), 32);
    EXPECT_TRUE(dev.OrderDesignation.startsWith(QStringLiteral("ROTA 58-4096-P-HTL")));
    EXPECT_EQ(std::tie(dev.FactoryDivider, dev.FactoryPulseCount, dev.FactoryDirection, dev.FactoryZeroPulse),
              std::make_tuple(uint16_t(4), 1024u, uint8_t(0), uint8_t(1)));
    dev.PulseCount = 77;
    ASSERT_TRUE(dev.ReadActualConfig());
    EXPECT_EQ(std::tie(dev.InterpolCode, dev.Divider, dev.Direction, dev.ZeroPulse, dev.PulseCount),
              std::make_tuple(uint16_t(4), uint16_t(2), uint8_t(1), uint8_t(3), 0u));

    // Big-endian over the whole width (00 01 86 A0 at 90), 8-bit characters as Latin-1.
    SetSimBlock(88, {0x00, 0x04, 0x00, 0x01, 0x86, 0xA0});
    tbsim_slave_set(0, 34, 0x01);
    tbsim_slave_set(0, 49, 0xE4);
    ASSERT_TRUE(dev.ReadRatingPlate());
    EXPECT_EQ(std::tie(dev.FactoryPulseCount, dev.BaseCount), std::make_tuple(100000u, 0x011000u));
    EXPECT_EQ(dev.SerialNumber.at(0), QChar(0xE4));

    // Without the format marker nothing more is read.
    tbsim_slave_set(0, 32, 0);
    lines.clear();
    EXPECT_FALSE(dev.ReadRatingPlate());
    EXPECT_EQ(lines.size(), 1);
}

TEST_F(Device, WriteConfigChangesOnlyItsOwnBits)
{
    SetSimBlock(0, {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x80});
    SetSimBlock(16, {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x80});
    ASSERT_TRUE(dev.WriteConfig(5, 0, 0x1234, 5, 2));
    const Block expected = {0x05, 0xFF, 0xDD, 0xEF, 0x34, 0x92};
    EXPECT_EQ(SimBlock(16), expected);
    EXPECT_EQ(SimBlock(0), expected);
    // EEPROM first, each block read twice before it is written (the reads agree) and read back after.
    const QStringList expectedLines = {
        QStringLiteral("<-- 10: 00 FF FF FF 00 80"), QStringLiteral("<-- 10: 00 FF FF FF 00 80"),
        QStringLiteral("--> 10: 05 FF DD EF 34 92"), QStringLiteral("<-- 10: 05 FF DD EF 34 92"),
        QStringLiteral("<-- 00: 00 FF FF FF 00 80"), QStringLiteral("<-- 00: 00 FF FF FF 00 80"),
        QStringLiteral("--> 00: 05 FF DD EF 34 92"), QStringLiteral("<-- 00: 05 FF DD EF 34 92")};
    EXPECT_EQ(lines, expectedLines);
    EXPECT_EQ(std::tie(dev.LastWrite.Address, dev.LastWrite.State, dev.LastWrite.ReadBackDiffers),
              std::make_tuple(0u, BlockWritten, false));

    // A bad code or divider cannot reach the bits above their fields.
    SetSimBlock(0, {0xA0, 0x00, 0x00, 0x00, 0x00, 0x80});
    ASSERT_TRUE(dev.WriteConfig(0x3F, 1, 0xFFFF, 1, 0));
    EXPECT_EQ(SimBlock(0), (Block{0xBF, 0x00, 0x20, 0x00, 0xFF, 0xFF}));
    SetSimBlock(0, {0xA0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(dev.WriteConfig(32, 0, 0x8000, 0, 0));
    EXPECT_EQ(SimBlock(0), (Block{0xA0, 0, 0, 0, 0, 0}));

    lines.clear();
    EXPECT_FALSE(dev.WriteConfig(7, 0, 9, 2, 3)); // an unknown target writes nothing and fails
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(Device, FailedEepromWriteNeverTouchesRam)
{
    const Block ram = SimBlock(0), eeprom = SimBlock(16);
    Block scratch{};
    tbsim_clear_logs(); // how many device writes the EEPROM's two reads take; the next one fails
    ASSERT_TRUE(dev.ReadBlock(16, scratch) && dev.ReadBlock(16, scratch));
    tbsim_counters c{};
    tbsim_get_counters(&c);
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, static_cast<uint32_t>(c.writes));
    lines.clear();
    EXPECT_FALSE(dev.WriteConfig(5, 0, 0x1234, 5, 2));
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 0, 0);
    EXPECT_EQ(SimBlock(16), eeprom);
    EXPECT_EQ(SimBlock(0), ram);
    EXPECT_EQ(traced(QStringLiteral("<-- 00:")) + traced(QStringLiteral("--> 00:")), 0);
}

// A block is read back after it was written. Whatever single driver read fails during the write,
// WriteConfig succeeds only with both blocks as asked, and a failure tells truly what the block that
// failed holds: unchanged, the new configuration, or partly written.
TEST_F(Device, WriteIsReadBackAndAFailureTellsWhatTheBlockHolds)
{
    const Block ram = SimBlock(0), eeprom = SimBlock(16);
    tbsim_clear_logs();
    ASSERT_TRUE(dev.WriteConfig(5, 0, 0x1234, 5, 2));
    tbsim_counters c{};
    tbsim_get_counters(&c);
    const Block asked = SimBlock(16);
    ASSERT_NE(asked, eeprom);
    std::set<TBlockState> seen;
    for (uint32_t n = 0; n < c.reads; ++n) {
        SCOPED_TRACE(n);
        SetSimBlock(0, ram);
        SetSimBlock(16, eeprom);
        tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, n);
        const bool ok = dev.WriteConfig(5, 0, 0x1234, 5, 2);
        tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 0, 0);
        const TWriteReport &w = dev.LastWrite;
        if (ok) {
            EXPECT_EQ(SimBlock(16), asked);
            EXPECT_EQ(SimBlock(0), asked);
            continue;
        }
        EXPECT_FALSE(w.ReadBackDiffers);
        EXPECT_NE(w.Code, 0);
        const Block held = SimBlock(w.Address);
        const Block before = w.Address == 16 ? eeprom : ram;
        seen.insert(w.State);
        EXPECT_EQ(w.State, held == asked ? BlockWritten : held == before ? BlockUnchanged : BlockPartly);
        if (w.State != BlockUnchanged) {
            EXPECT_EQ(Block(w.Found), held);
        }
        EXPECT_EQ(w.EarlierBlocksDone, w.Address == 0);
        if (w.Address == 16) {
            EXPECT_EQ(SimBlock(0), ram) << "the RAM block waits for a verified EEPROM block";
        }
    }
    EXPECT_TRUE(seen.count(BlockUnchanged) && seen.count(BlockPartly));
}

// On the parallel port nothing tells a lost port access: one lost anywhere in the write must never
// end in success while the encoder holds other bytes.
TEST_F(Device, LostPortAccessNeverPassesForAWrite)
{
    dev.InterfaceKind = INTERFACE_LPT1;
    dev.InterfaceName = "0x378";
    tbsim_set_port(0x378, 1);
    ASSERT_TRUE(dev.ReopenAndConfig()) << dev.Com->LastResult;
    const Block ram = SimBlock(0), eeprom = SimBlock(16);
    tbsim_clear_logs();
    ASSERT_TRUE(dev.WriteConfig(5, 0, 0x1234, 5, 2));
    tbsim_counters c{};
    tbsim_get_counters(&c);
    const Block asked = SimBlock(16);
    int failed = 0, differs = 0;
    for (uint32_t n = 0; n < c.port_writes + c.port_reads; ++n) {
        SCOPED_TRACE(n);
        SetSimBlock(0, ram);
        SetSimBlock(16, eeprom);
        ASSERT_EQ(BISS_OK, InitBissComm(dev.Com->Handle)) << "a master left busy by the last glitch";
        tbsim_set_fault(TBSIM_PORT_ACCESS_LOST, 1, n);
        const bool ok = dev.WriteConfig(5, 0, 0x1234, 5, 2);
        tbsim_set_fault(TBSIM_PORT_ACCESS_LOST, 0, 0);
        if (ok) {
            EXPECT_EQ(SimBlock(16), asked);
            EXPECT_EQ(SimBlock(0), asked);
        } else {
            ++failed;
            differs += dev.LastWrite.ReadBackDiffers;
        }
    }
    EXPECT_GT(differs, 0) << "of " << failed << " failed writes";
}

TEST_F(Device, CheckConnectionInEachState)
{
    EXPECT_EQ(dev.CheckConnection(), Connected);
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    EXPECT_EQ(dev.CheckConnection(), EncoderMissing);
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 0, 0);
    dev.CloseAdapter(); // a lost handle is reopened
    EXPECT_EQ(dev.CheckConnection(), Connected);

    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 1, 0);
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    lines.clear();
    EXPECT_EQ(dev.CheckConnection(), AdapterMissing);
    EXPECT_EQ(traced(QStringLiteral("Check:")), 1); // no second probe after a failed reopen
}

// A connection that half failed is opened and configured once more: whatever single driver read
// fails while connecting, the connection ends with the master configured (both data words, register
// mode C as asked) or is refused; a probe alone never makes one.
TEST_F(Device, ConnectionThatHalfFailedIsConfiguredAgain)
{
    dev.RegisterModeC = true;
    dev.CloseAdapter();
    tbsim_clear_logs();
    ASSERT_TRUE(dev.ReopenAndConfig());
    tbsim_counters c{};
    tbsim_get_counters(&c);
    for (uint32_t n = 0; n < c.reads; ++n) {
        SCOPED_TRACE(n);
        dev.CloseAdapter();
        tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, n);
        const bool ok = dev.ReopenAndConfig();
        EXPECT_EQ(ok, dev.MasterConfigured);
        if (!ok) {
            ASSERT_EQ(dev.CheckConnection(), Connected);
        }
        ASSERT_TRUE(dev.MasterConfigured);
        tbsim_clear_logs();
        std::array<uint8_t, 1> marker{};
        ASSERT_TRUE(dev.ReadBlock(32, marker));
        EXPECT_EQ(marker[0], 1);
        EXPECT_GT(tbsim_control_log_count(), 0u) << "read through control frames";
        uint32_t first = 0, second = 0;
        bool valid = false;
        EXPECT_EQ(BISS_OK, ReadSens(dev.Com->Handle, &first, &second, &valid));
        EXPECT_TRUE(valid) << "the second word is configured";
    }
    // The master's configuration cannot be written: no probe makes a connection of it.
    dev.CloseAdapter();
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 30);
    lines.clear();
    EXPECT_FALSE(dev.ReopenAndConfig());
    EXPECT_EQ(dev.CheckConnection(), AdapterMissing);
    EXPECT_EQ(traced(QStringLiteral("Check:")), 0);
}

TEST_F(Device, CheckSameEncoder)
{
    ASSERT_TRUE(dev.ReadRatingPlate());
    bool same = false, blank = true;
    ASSERT_TRUE(dev.CheckSameEncoder(same, blank));
    EXPECT_TRUE(same && !blank);
    dev.CloseAdapter(); // a lost handle is reopened and the plate read again
    ASSERT_TRUE(dev.CheckSameEncoder(same, blank));
    EXPECT_TRUE(same);
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
    ASSERT_TRUE(dev.CheckSameEncoder(same, blank));
    EXPECT_FALSE(same);
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 0, 0);
    // A basic resolution below 256 (00 00 C8) is a resolution all the same.
    tbsim_slave_set(0, 34, 0);
    tbsim_slave_set(0, 35, 0);
    tbsim_slave_set(0, 36, 200);
    ASSERT_TRUE(dev.CheckSameEncoder(same, blank));
    EXPECT_FALSE(blank);
    for (unsigned a = 34; a <= 36; ++a)
        tbsim_slave_set(0, a, 0);
    ASSERT_TRUE(dev.CheckSameEncoder(same, blank));
    EXPECT_TRUE(blank && !same);
    // Failed checks give their handle back: after more of them than the library has handles, the
    // encoder is found again.
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    for (int i = 0; i < 260; ++i)
        ASSERT_FALSE(dev.CheckSameEncoder(same, blank));
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 0, 0);
    EXPECT_TRUE(dev.CheckSameEncoder(same, blank)) << dev.Com->LastResult;
}

TEST_F(Device, LoadFactorySettings)
{
    TConfigList catalogue;
    TConfig entry;
    entry.PulseCount = 2048;
    catalogue.AddCopy(entry);
    const Block ram = SimBlock(0), eeprom = SimBlock(16);
    EXPECT_FALSE(dev.LoadFactorySettings(catalogue)); // no entry with the factory pulse count
    EXPECT_EQ(SimBlock(0), ram);
    EXPECT_EQ(SimBlock(16), eeprom);

    entry.PulseCount = 1024;
    entry.InterpolCode = 6;
    entry.Divider = 99; // the encoder's own factory divider is written, not this
    catalogue.AddCopy(entry);
    ASSERT_TRUE(dev.LoadFactorySettings(catalogue));
    // A4 5A 61 0C 02 80 with code 6, divider 4, direction 0, zero-pulse mode 1.
    const Block expected = {0xA6, 0x5A, 0x40, 0x0C, 0x04, 0x80};
    EXPECT_EQ(SimBlock(16), expected);
    EXPECT_EQ(SimBlock(0), expected);
}

// Position batches on the simulated encoder: every cycle's true words, "CRC ok" only where the master
// checks a CRC, and each kind of failed cycle told apart.
TEST_F(Device, PositionRunReadsEveryCycleAndTellsFailuresApart)
{
    TPositionRun run(*dev.Com);
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Slaves(), 1u);
    EXPECT_FALSE(run.CrcChecked(0, 1) || run.CrcChecked(0, 2)); // the program configures no CRC
    const TPositionBatch &batch = run.Run(50);
    ASSERT_EQ(batch.Done, 50u);
    EXPECT_EQ(batch.Failure, FailNone);
    for (uint32_t c = 0; c < 50; ++c) {
        EXPECT_EQ(batch.Word1(c, 0), (100 + 3 * c) % 1024) << c;
        EXPECT_TRUE(batch.HasWord2(c, 0));
        EXPECT_EQ(batch.Word2(c, 0), 5000 + c);
    }
    EXPECT_EQ(tbsim_slave_sensor_value(0, 0), (100 + 3 * 50) % 1024); // exactly 50 cycles ran

    ASSERT_TRUE(dev.Com->SetMasterItem(0, MC_DATA1_CRCPOLY, 0x43) && dev.ApplyMasterConfig());
    TPositionRun checked(*dev.Com);
    ASSERT_TRUE(checked.Start());
    EXPECT_TRUE(checked.CrcChecked(0, 1));
    EXPECT_FALSE(checked.CrcChecked(0, 2));
    EXPECT_EQ(checked.Run(3).Done, 3u);

    struct Case {
        tbsim_fault Fault;
        TCycleFailure Kind;
    };
    for (const Case &c :
         {Case{TBSIM_CRC_ERROR, FailCrc}, Case{TBSIM_NO_START_BIT, FailNoAnswer},
          Case{TBSIM_CYCLE_NEVER_ENDS, FailTimeout}, Case{TBSIM_ADAPTER_UNPLUGGED, FailAdapter}}) {
        tbsim_set_fault(c.Fault, 1, 0);
        const TPositionBatch &failed = checked.Run(4);
        tbsim_set_fault(c.Fault, 0, 0);
        EXPECT_EQ(failed.Done, 0u) << c.Fault;
        EXPECT_EQ(failed.Failure, c.Kind) << c.Fault << " " << failed.Code;
        EXPECT_EQ(checked.Failures(c.Kind), 1u) << c.Fault;
        QByteArray rows;
        TPositionRun::AppendCsvRows(failed, rows);
        EXPECT_TRUE(rows.endsWith(",0,,,0," + FailureName(c.Kind).toLatin1() + "\n")) << rows.toStdString();
    }
    EXPECT_EQ(checked.Failed(), 4u);
    EXPECT_EQ(checked.Cycles(), 3u + 4u);
}

} // namespace
