// The device model end to end: library, simulated adapter, master chip and encoder. What the encoder's
// registers hold afterwards is the check.
#include "RC_Def.h"

#include <tarnbus_sim.h>
#include <tarnbus/tarnbus.h>

#include <gtest/gtest.h>

#include <QFile>

#include <array>

namespace {

using Block = std::array<uint8_t, 6>;

Block SimBlock(unsigned address)
{
    Block b{};
    for (unsigned i = 0; i < 6; ++i)
        b[i] = tbsim_slave_get(0, address + i);
    return b;
}

void SetSimBlock(unsigned address, const Block &b)
{
    for (unsigned i = 0; i < 6; ++i)
        tbsim_slave_set(0, address + i, b[i]);
}

// Trace lines of the binding, to see which transfers ran.
class TLines : public TLogWindow {
public:
    explicit TLines(QStringList &l) : lines(l) {}
    // Without the time stamp ("hh:mm:ss,mmm"), which probe lines do not have.
    void AddLine(const QString &Line) override
    {
        const bool stamped = Line.size() > 12 && Line[2] == QLatin1Char(':') && Line[8] == QLatin1Char(',');
        lines << (stamped ? Line.mid(12) : Line);
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
        TBissCom::SetLogWindowFactory([this](TBissCom &) { return std::make_unique<TLines>(lines); });
        dev = std::make_unique<TRC_Device>();
        dev->Com->ShowDebug();
        ASSERT_TRUE(dev->ReopenAndConfig()) << dev->Com->LastResult;
    }
    void TearDown() override
    {
        dev.reset();
        TBissCom::SetLogWindowFactory(nullptr);
    }
    bool traced(const QString &start) const
    {
        for (const QString &l : lines)
            if (l.startsWith(start))
                return true;
        return false;
    }

    QStringList lines;
    std::unique_ptr<TRC_Device> dev;
};

TEST_F(Device, ReadsPlateFactoryBlockAndCurrentConfiguration)
{
    ASSERT_TRUE(dev->ReadRatingPlate());
    EXPECT_EQ(dev->ArtType, 58);
    EXPECT_EQ(dev->BaseCount, 4096u);
    EXPECT_EQ(dev->ProductCode, QStringLiteral("RC5812"));
    EXPECT_EQ(dev->SerialNumber, QStringLiteral("2612001"));
    EXPECT_EQ(dev->OrderDesignation.size(), 32);
    EXPECT_TRUE(dev->OrderDesignation.startsWith(QStringLiteral("ROTA 58-4096-P-HTL")));
    EXPECT_EQ(dev->FactoryDivider, 4);
    EXPECT_EQ(dev->FactoryPulseCount, 1024u);
    EXPECT_EQ(dev->FactoryDirection, 0);
    EXPECT_EQ(dev->FactoryZeroPulse, 1);

    dev->PulseCount = 77;
    ASSERT_TRUE(dev->ReadActualConfig());
    EXPECT_EQ(dev->InterpolCode, 4);
    EXPECT_EQ(dev->Divider, 2);
    EXPECT_EQ(dev->Direction, 1);
    EXPECT_EQ(dev->ZeroPulse, 3);
    EXPECT_EQ(dev->PulseCount, 0u);

    // Big-endian numbers over their whole width, 8-bit characters as Latin-1.
    const uint8_t big[] = {0x00, 0x01, 0x86, 0xA0};
    for (unsigned i = 0; i < 4; ++i)
        tbsim_slave_set(0, 90 + i, big[i]);
    tbsim_slave_set(0, 34, 0x01);
    tbsim_slave_set(0, 49, 0xE4);
    ASSERT_TRUE(dev->ReadRatingPlate());
    EXPECT_EQ(dev->FactoryPulseCount, 100000u);
    EXPECT_EQ(dev->BaseCount, 0x011000u);
    EXPECT_EQ(dev->SerialNumber.at(0), QChar(0xE4));
}

TEST_F(Device, PlateWithoutFormatMarkerStopsAfterTheFirstRead)
{
    tbsim_slave_set(0, 32, 0);
    lines.clear();
    EXPECT_FALSE(dev->ReadRatingPlate());
    EXPECT_TRUE(traced(QStringLiteral("<-- 20:")));
    EXPECT_FALSE(traced(QStringLiteral("<-- 38:")));
    EXPECT_FALSE(traced(QStringLiteral("<-- 58:")));
}

TEST_F(Device, ConfigBlocksDecode)
{
    SetSimBlock(16, {0x1F, 0x00, 0x21, 0x30, 0x34, 0x82});
    uint16_t code = 0, divider = 0;
    uint8_t direction = 0, mode = 0;
    ASSERT_TRUE(dev->ReadConfigBlock(1, code, direction, mode, divider));
    EXPECT_EQ(code, 31);
    EXPECT_EQ(direction, 1);
    EXPECT_EQ(mode, 4);
    EXPECT_EQ(divider, 0x0234);

    // Gate 0 with select 1 or 2, and gates 2 and 3, are no zero pulse.
    for (const Block &b : {Block{0, 0, 0x00, 0x10, 0, 0}, Block{0, 0, 0x02, 0x00, 0, 0}, Block{0, 0, 0x03, 0x30, 0, 0}}) {
        SetSimBlock(16, b);
        ASSERT_TRUE(dev->ReadConfigBlock(1, code, direction, mode, divider));
        EXPECT_EQ(mode, 0);
    }

    lines.clear();
    EXPECT_FALSE(dev->ReadConfigBlock(2, code, direction, mode, divider));
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(Device, WriteConfigChangesOnlyItsOwnBits)
{
    SetSimBlock(0, {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x80});
    SetSimBlock(16, {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x80});
    lines.clear();
    ASSERT_TRUE(dev->WriteConfig(5, 0, 0x1234, 5, 2));
    const Block expected = {0x05, 0xFF, 0xDD, 0xEF, 0x34, 0x92};
    EXPECT_EQ(SimBlock(16), expected);
    EXPECT_EQ(SimBlock(0), expected);
    // EEPROM first, then RAM, each read before it is written.
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("<-- 10:")));
    EXPECT_EQ(lines[1], QStringLiteral("--> 10: 05 FF DD EF 34 92"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("<-- 00:")));
    EXPECT_EQ(lines[3], QStringLiteral("--> 00: 05 FF DD EF 34 92"));

    // A bad code or divider cannot reach the bits above their fields.
    SetSimBlock(0, {0xA0, 0x00, 0x00, 0x00, 0x00, 0x80});
    ASSERT_TRUE(dev->WriteConfig(0x3F, 1, 0xFFFF, 1, 0));
    EXPECT_EQ(SimBlock(0), (Block{0xBF, 0x00, 0x20, 0x00, 0xFF, 0xFF}));
    SetSimBlock(0, {0xA0, 0x00, 0x00, 0x00, 0x00, 0x00});
    ASSERT_TRUE(dev->WriteConfig(32, 0, 0x8000, 0, 0));
    EXPECT_EQ(SimBlock(0), (Block{0xA0, 0x00, 0x00, 0x00, 0x00, 0x00}));

    // Target 1 is the EEPROM alone; an unknown target writes nothing and says so.
    const Block ram = SimBlock(0);
    ASSERT_TRUE(dev->WriteConfig(7, 0, 9, 2, 1));
    EXPECT_EQ(SimBlock(16)[0] & 0x1F, 7);
    EXPECT_EQ(SimBlock(0), ram);
    lines.clear();
    EXPECT_FALSE(dev->WriteConfig(7, 0, 9, 2, 3));
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(Device, FailedEepromWriteNeverTouchesRam)
{
    const Block ram = SimBlock(0), eeprom = SimBlock(16);
    // Find how many device writes the EEPROM read takes, then let the first write after it fail.
    std::array<uint8_t, 6> scratch{};
    tbsim_clear_logs();
    ASSERT_TRUE(dev->ReadBlock(16, scratch));
    tbsim_counters c{};
    tbsim_get_counters(&c);
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, static_cast<uint32_t>(c.writes));
    lines.clear();
    EXPECT_FALSE(dev->WriteConfig(5, 0, 0x1234, 5, 2));
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 0, 0);
    EXPECT_EQ(SimBlock(16), eeprom);
    EXPECT_EQ(SimBlock(0), ram);
    EXPECT_FALSE(traced(QStringLiteral("<-- 00:")));
    EXPECT_FALSE(traced(QStringLiteral("--> 00:")));
}

TEST_F(Device, CheckConnectionInEachState)
{
    EXPECT_EQ(dev->CheckConnection(), Connected);

    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    EXPECT_EQ(dev->CheckConnection(), EncoderMissing);
    EXPECT_EQ(dev->LastProbe, BISS_COMM_FAILED);
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 0, 0);

    // A handle lost behind the model's back is reopened.
    dev->CloseAdapter();
    EXPECT_EQ(dev->CheckConnection(), Connected);

    // Unplugged: the reopen fails, and no second probe is made.
    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 1, 0);
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    lines.clear();
    EXPECT_EQ(dev->CheckConnection(), AdapterMissing);
    EXPECT_EQ(lines.filter(QStringLiteral("Check:")).size(), 1);

    // Adapter back, master chip silent.
    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 0, 0);
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 0, 0);
    tbsim_set_fault(TBSIM_MASTER_SILENT, 1, 0);
    EXPECT_EQ(dev->CheckConnection(), AdapterMissing);
    tbsim_set_fault(TBSIM_MASTER_SILENT, 0, 0);
    EXPECT_EQ(dev->CheckConnection(), Connected);
}

TEST_F(Device, CheckSameEncoder)
{
    ASSERT_TRUE(dev->ReadRatingPlate());
    bool same = false, blank = true;
    ASSERT_TRUE(dev->CheckSameEncoder(same, blank));
    EXPECT_TRUE(same);
    EXPECT_FALSE(blank);

    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
    ASSERT_TRUE(dev->CheckSameEncoder(same, blank));
    EXPECT_FALSE(same);
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 0, 0);

    for (unsigned a = 34; a <= 36; ++a)
        tbsim_slave_set(0, a, 0);
    ASSERT_TRUE(dev->CheckSameEncoder(same, blank));
    EXPECT_TRUE(blank);
    EXPECT_FALSE(same);

    // No encoder: the model reopens and starts the line, then gives up.
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    EXPECT_FALSE(dev->CheckSameEncoder(same, blank));
}

TEST_F(Device, CheckSameEncoderReopensALostHandle)
{
    ASSERT_TRUE(dev->ReadRatingPlate());
    ASSERT_TRUE(dev->CloseAdapter());
    bool same = false, blank = true;
    lines.clear();
    EXPECT_TRUE(dev->CheckSameEncoder(same, blank)) << dev->Com->LastResult;
    EXPECT_TRUE(same);
    EXPECT_FALSE(blank);
    EXPECT_EQ(lines.filter(QStringLiteral("<-- 20:")).size(), 2);
}

TEST_F(Device, LoadFactorySettings)
{
    TConfigList catalogue;
    TConfig entry;
    entry.ArtType = 58;
    entry.BaseCount = 4096;
    entry.PulseCount = 2048;
    entry.InterpolCode = 9;
    entry.Divider = 2;
    catalogue.AddCopy(entry);

    // No entry with the factory pulse count: nothing is written.
    const Block ram = SimBlock(0), eeprom = SimBlock(16);
    EXPECT_FALSE(dev->LoadFactorySettings(catalogue));
    EXPECT_EQ(SimBlock(0), ram);
    EXPECT_EQ(SimBlock(16), eeprom);

    // With one: its code, the encoder's own factory divider, direction and zero-pulse mode.
    entry.PulseCount = 1024;
    entry.InterpolCode = 6;
    entry.Divider = 99;
    catalogue.AddCopy(entry);
    ASSERT_TRUE(dev->LoadFactorySettings(catalogue));
    // A4 5A 61 0C 02 80 with code 6, divider 4, direction 0, mode 1 (gate 0, select 0).
    const Block expected = {0xA6, 0x5A, 0x40, 0x0C, 0x04, 0x80};
    EXPECT_EQ(SimBlock(16), expected);
    EXPECT_EQ(SimBlock(0), expected);
}

TEST_F(Device, FreeingTheModelSavesTheSettings)
{
    dev->Options->Top = 321;
    dev->Options->LangBase = 1000;
    dev.reset();
    TRC_Option back;
    back.Load();
    EXPECT_EQ(back.Top, 321);
    EXPECT_EQ(back.LangBase, 1000);
    back.LangBase = 0;
    back.Save();
}

} // namespace
