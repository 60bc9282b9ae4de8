// The binding against the stand-in library: what reaches the library, what the caller gets back, the
// trace lines and the log windows.
#include "BissCom.h"
#include "fake_tarnbus.h"

#include <tarnbus/tarnbus.h>

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <array>

namespace {

struct Window : TLogWindow {
    QStringList lines;
    int shows = 0, forcedCloses = 0, width = 0;
    QString caption;
    bool *destroyed = nullptr;
    int *closes = nullptr; // forced closes, readable after the window is gone
    ~Window() override { *destroyed = true; }
    void AddLine(const QString &Line) override { lines << Line; }
    void Show() override { ++shows; }
    void ForceClose() override { ++forcedCloses, ++*closes; }
    void SetCaption(const QString &Caption) override { caption = Caption; }
    void SetWidth(int Width) override { width = Width; }
};

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::lib() = {};
        TBissCom::SetLogWindowFactory([this](TBissCom &) {
            auto w = std::make_unique<Window>();
            w->destroyed = &destroyed[windows.size()];
            w->closes = &closes[windows.size()];
            windows.push_back(w.get());
            return w;
        });
        ASSERT_TRUE(com.OpenCom(INTERFACE_USB, ""));
    }
    void TearDown() override { TBissCom::SetLogWindowFactory(nullptr); }

    bool destroyed[4] = {};
    int closes[4] = {};
    std::vector<Window *> windows; // owned by the binding
    TBissCom com;                  // freed first
};

TEST_F(Binding, FixedArgumentsAndResultCodes)
{
    fake::lib().results = {BISS_OK, BISS_INVALID_PARAMETER};
    EXPECT_TRUE(com.SetMasterItem(0, MC_DATA2_LENGTH, 24));
    EXPECT_FALSE(com.WriteMasterItems(1));
    EXPECT_EQ(com.LastResult, BISS_INVALID_PARAMETER);
    EXPECT_TRUE(com.CloseCom() && com.LastResult == BISS_OK);
    const auto &c = fake::lib().calls;
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].args, std::vector<uint32_t>{INTERFACE_USB});
    EXPECT_EQ(c[0].text, "");
    EXPECT_EQ(c[1].args, (std::vector<uint32_t>{7, 0, MC_DATA2_LENGTH, 24}));
    EXPECT_EQ(c[2].args, (std::vector<uint32_t>{7, 1}));
    EXPECT_EQ(c[3].args, std::vector<uint32_t>{7});
}

TEST_F(Binding, InitCommRetriesOnceAfterTenMilliseconds)
{
    fake::lib().results = {BISS_INIT_FAILED, BISS_OK, BISS_INIT_FAILED, BISS_MASTERCOMM_FAILED};
    EXPECT_TRUE(com.InitComm());
    auto inits = fake::lib().named("InitBissComm");
    ASSERT_EQ(inits.size(), 2u);
    EXPECT_GE(inits[1]->when - inits[0]->when, std::chrono::milliseconds(10));
    EXPECT_FALSE(com.InitComm()); // failing twice: the second code decides, no third call
    EXPECT_EQ(com.LastResult, BISS_MASTERCOMM_FAILED);
    EXPECT_TRUE(com.InitComm()); // success at once: no retry
    EXPECT_EQ(fake::lib().named("InitBissComm").size(), 5u);
}

TEST_F(Binding, WriteRegistersStopsAtTheFirstFailedByteAndLogsThemAll)
{
    com.ShowDebug();
    fake::lib().results = {BISS_OK, BISS_OK, BISS_COMM_FAILED};
    const std::array<uint8_t, 6> bytes = {0x05, 0xFF, 0xDD, 0xEF, 0x34, 0x92};
    EXPECT_FALSE(com.WriteRegisters(3, 5, 16, bytes));
    EXPECT_EQ(com.LastResult, BISS_COMM_FAILED);
    const auto writes = fake::lib().named("WriteSlaveRegister");
    ASSERT_EQ(writes.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(writes[i]->args, (std::vector<uint32_t>{7, 0, 0, 16 + i, 0xFF}));
        EXPECT_EQ(writes[i]->data, std::vector<uint8_t>{bytes[i]});
    }
    const QRegularExpression line(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d--> 10: 05 FF DD EF 34 92$"));
    ASSERT_EQ(windows[0]->lines.size(), 1);
    EXPECT_TRUE(line.match(windows[0]->lines[0]).hasMatch()) << windows[0]->lines[0].toStdString();
}

TEST_F(Binding, ReadsLogWhatTheLibraryReportedAndProbesLogTheirCode)
{
    std::array<uint8_t, 24> plate{};
    EXPECT_TRUE(com.ReadRegisters(0, 0, 32, plate)); // logging off: no line
    com.ShowDebug();
    for (int i = 0; i < 24; ++i)
        fake::lib().registers[32 + i] = static_cast<uint8_t>(0xA0 + i);
    EXPECT_TRUE(com.ReadRegisters(0, 0, 32, plate));
    EXPECT_EQ(plate[23], 0xB7);
    EXPECT_EQ(fake::lib().calls.back().args, (std::vector<uint32_t>{7, 0, 0, 32}));
    EXPECT_EQ(fake::lib().calls.back().count, 24u);
    const QRegularExpression full(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d<-- 20:( [0-9A-F]{2}){24}$"));
    ASSERT_EQ(windows[0]->lines.size(), 1);
    EXPECT_TRUE(full.match(windows[0]->lines[0]).hasMatch()) << windows[0]->lines[0].toStdString();

    // A failed read logs the bytes the library moved, never more than the buffer holds.
    fake::lib().results = {BISS_COMM_FAILED};
    fake::lib().countChange = -22;
    EXPECT_FALSE(com.ReadRegisters(0, 0, 32, plate));
    EXPECT_TRUE(windows[0]->lines.last().endsWith(QStringLiteral("<-- 20: A0 A1")));
    fake::lib().countChange = 1000;
    EXPECT_TRUE(com.ReadRegisters(0, 0, 0x21, std::span(plate).first(2)));
    EXPECT_TRUE(windows[0]->lines.last().endsWith(QStringLiteral("<-- 21: A1 A2")));

    // The probe returns the raw code, leaves LastResult, reads one register at 32.
    fake::lib().results = {BISS_COMM_FAILED};
    EXPECT_EQ(com.CheckComm(0, 0), BISS_COMM_FAILED);
    EXPECT_EQ(com.LastResult, BISS_OK);
    EXPECT_EQ(fake::lib().calls.back().args[3], 32u);
    EXPECT_EQ(fake::lib().calls.back().count, 1u);
    EXPECT_EQ(windows[0]->lines.last(), QStringLiteral("Check: 11"));
}

// A block of position samples goes to the library whole, its arrays cycle-major; a failing block
// reports the cycles stored before the failure, and a refused one none.
TEST_F(Binding, ReadPositionsHandsTheBlockToTheLibraryAndReportsWhatItStored)
{
    fake::lib().slaves = 2;
    fake::lib().mcdSlaves = 2; // slave 1 only
    std::array<uint32_t, 10> scd, mcd;
    std::array<uint8_t, 5> valid;
    scd.fill(7), mcd.fill(7), valid.fill(7);
    uint32_t done = 99;
    EXPECT_TRUE(com.ReadPositions(2, scd.data(), mcd.data(), valid.data(), done));
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(fake::lib().calls.back().args, (std::vector<uint32_t>{com.Handle, 2}));
    EXPECT_EQ(scd, (std::array<uint32_t, 10>{0, 1, 100, 101, 7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(mcd, (std::array<uint32_t, 10>{7, 1, 7, 1001, 7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(valid, (std::array<uint8_t, 5>{1, 1, 7, 7, 7}));

    fake::lib().results = {BISS_TIMEOUT, BISS_INVALID_PARAMETER};
    fake::lib().doneOnFailure = 1;
    EXPECT_FALSE(com.ReadPositions(5, scd.data(), mcd.data(), valid.data(), done));
    EXPECT_EQ(com.LastResult, BISS_TIMEOUT);
    EXPECT_EQ(done, 1u);

    fake::lib().doneOnFailure = 0;
    EXPECT_FALSE(com.ReadPositions(0, scd.data(), mcd.data(), valid.data(), done));
    EXPECT_EQ(com.LastResult, BISS_INVALID_PARAMETER);
    EXPECT_EQ(done, 0u);
}

TEST_F(Binding, EscapeTextKeepsPrintableAndGermanLetters)
{
    EXPECT_EQ(TBissCom::EscapeText(QString::fromLatin1("A\r\xE4\x7F\xBA\xFF\xDC")),
              QString::fromLatin1("A#0D\xE4#7F\xBA#FF\xDC"));
}

TEST_F(Binding, LogWindowLifecycle)
{
    {
        TBissCom local;
        local.ShowDebug();
        local.ShowDebug(); // already logging: the same window, shown again
        ASSERT_EQ(windows.size(), 1u);
        EXPECT_EQ(windows[0]->caption, QStringLiteral("Debug tarnbus"));
        EXPECT_EQ(windows[0]->width, 555);
        EXPECT_EQ(windows[0]->shows, 2);
        // The user closes it: the hook ends logging and closes it for good.
        local.DebugForm()->CallCloseHook();
        EXPECT_FALSE(local.Logging);
        EXPECT_EQ(windows[0]->forcedCloses, 1);
        // Logging again: a fresh, empty window; the old one lives on hidden.
        local.ShowDebug();
        ASSERT_EQ(windows.size(), 2u);
        EXPECT_FALSE(destroyed[0]);
        EXPECT_TRUE(windows[1]->lines.isEmpty());
        EXPECT_EQ(windows[1]->forcedCloses, 0);
        ASSERT_TRUE(local.Logging);
    }
    // Freed while logging: the window was force-closed first, then both were freed.
    EXPECT_EQ(closes[1], 1);
    EXPECT_TRUE(destroyed[0] && destroyed[1]);
}

} // namespace
