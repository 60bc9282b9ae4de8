// The binding against a scripted stand-in for the library: what reaches the library, what the caller
// gets back, and the trace lines.
#include "BissCom.h"
#include "fake_tarnbus.h"

#include <tarnbus/tarnbus.h>

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <array>

namespace {

// A log window that keeps what the binding did to it.
struct Recorded {
    QStringList lines;
    int shows = 0, forcedCloses = 0;
    QString caption;
    int width = 0;
    bool destroyed = false;
};

class TRecordingWindow : public TLogWindow {
public:
    explicit TRecordingWindow(Recorded &r) : rec(r) {}
    ~TRecordingWindow() override { rec.destroyed = true; }
    void AddLine(const QString &Line) override { rec.lines << Line; }
    void Show() override { ++rec.shows; }
    void ForceClose() override { ++rec.forcedCloses; }
    void SetCaption(const QString &Caption) override { rec.caption = Caption; }
    void SetWidth(int Width) override { rec.width = Width; }
    Recorded &rec;
};

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        TBissCom::SetLogWindowFactory([this](TBissCom &) {
            windows.push_back(std::make_unique<Recorded>());
            return std::make_unique<TRecordingWindow>(*windows.back());
        });
    }
    void TearDown() override { TBissCom::SetLogWindowFactory(nullptr); }

    // A binding with an open handle (7) and no calls recorded yet.
    void open(TBissCom &com)
    {
        ASSERT_TRUE(com.OpenCom(INTERFACE_USB, ""));
        fake::lib().calls.clear();
    }

    std::vector<std::unique_ptr<Recorded>> windows;
};

const QRegularExpression kStamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d"));

TEST_F(Binding, FixedArgumentsReachTheLibrary)
{
    TBissCom com;
    ASSERT_TRUE(com.OpenCom(INTERFACE_USB, ""));
    EXPECT_EQ(com.Handle, 7u);
    EXPECT_TRUE(com.SetMasterItem(0, MC_DATA2_LENGTH, 24));
    EXPECT_TRUE(com.WriteMasterItems(1));
    EXPECT_TRUE(com.CloseCom());

    const auto &calls = fake::lib().calls;
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].args, std::vector<uint32_t>{4});
    EXPECT_EQ(calls[0].text, "");
    EXPECT_TRUE(calls[0].reserved);
    EXPECT_EQ(calls[1].args, (std::vector<uint32_t>{7, 0, MC_DATA2_LENGTH, 24}));
    EXPECT_EQ(calls[2].args, (std::vector<uint32_t>{7, 1}));
    EXPECT_EQ(calls[3].args, std::vector<uint32_t>{7});
}

TEST_F(Binding, ResultCodeIsKeptAndTurnedIntoYesNo)
{
    TBissCom com;
    fake::lib().results = {BISS_INTERFACE_NOT_FOU};
    EXPECT_FALSE(com.OpenCom(INTERFACE_USB, ""));
    EXPECT_EQ(com.LastResult, BISS_INTERFACE_NOT_FOU);
    // The handle is filled in even then, so it can be closed.
    EXPECT_EQ(com.Handle, 7u);
    EXPECT_TRUE(com.WriteMasterItems(1));
    EXPECT_EQ(com.LastResult, BISS_OK);
}

TEST_F(Binding, InitCommRetriesOnceAfterTenMilliseconds)
{
    TBissCom com;
    fake::lib().results = {BISS_INIT_FAILED, BISS_OK};
    EXPECT_TRUE(com.InitComm());
    auto inits = fake::lib().named("InitBissComm");
    ASSERT_EQ(inits.size(), 2u);
    EXPECT_GE(inits[1]->when - inits[0]->when, std::chrono::milliseconds(10));
    EXPECT_EQ(com.LastResult, BISS_OK);

    // Two failures: the second code decides, and there is no third call.
    fake::reset();
    fake::lib().results = {BISS_INIT_FAILED, BISS_MASTERCOMM_FAILED, BISS_OK};
    EXPECT_FALSE(com.InitComm());
    EXPECT_EQ(fake::lib().named("InitBissComm").size(), 2u);
    EXPECT_EQ(com.LastResult, BISS_MASTERCOMM_FAILED);

    // Success at once: no retry.
    fake::reset();
    EXPECT_TRUE(com.InitComm());
    EXPECT_EQ(fake::lib().named("InitBissComm").size(), 1u);
}

TEST_F(Binding, WriteRegistersStopsAtFirstFailedByteButLogsThemAll)
{
    TBissCom com;
    open(com);
    com.ShowDebug();
    fake::lib().results = {BISS_OK, BISS_OK, BISS_COMM_FAILED};
    const std::array<uint8_t, 6> bytes = {0x05, 0xFF, 0xDD, 0xEF, 0x34, 0x92};
    EXPECT_FALSE(com.WriteRegisters(3, 5, 16, bytes));
    EXPECT_EQ(com.LastResult, BISS_COMM_FAILED);

    const auto writes = fake::lib().named("WriteSlaveRegister");
    ASSERT_EQ(writes.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        // Selector and slave id are always 0, one byte each, whole-byte mask.
        EXPECT_EQ(writes[i]->args, (std::vector<uint32_t>{7, 0, 0, 16 + i, 0xFF}));
        EXPECT_EQ(writes[i]->count, 1u);
        EXPECT_EQ(writes[i]->data, std::vector<uint8_t>{bytes[i]});
    }
    ASSERT_EQ(windows.size(), 1u);
    ASSERT_EQ(windows[0]->lines.size(), 1);
    const QString line = windows[0]->lines[0];
    EXPECT_TRUE(kStamp.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(line.endsWith(QStringLiteral("--> 10: 05 FF DD EF 34 92"))) << line.toStdString();
    EXPECT_EQ(line.size(), 12 + 4 + 3 + 6 * 3);
}

TEST_F(Binding, ReadLogsTheBytesTheLibraryReported)
{
    TBissCom com;
    open(com);
    for (int i = 0; i < 24; ++i)
        fake::lib().registers[32 + i] = static_cast<uint8_t>(0xA0 + i);
    com.ShowDebug();

    std::array<uint8_t, 24> plate{};
    EXPECT_TRUE(com.ReadRegisters(0, 0, 32, plate));
    EXPECT_EQ(plate[23], 0xB7);
    const auto reads = fake::lib().named("ReadSlaveRegister");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0]->args, (std::vector<uint32_t>{7, 0, 0, 32}));
    EXPECT_EQ(reads[0]->count, 24u);
    const QRegularExpression full(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d<-- 20:( [0-9A-F]{2}){24}$"));
    EXPECT_TRUE(full.match(windows[0]->lines.last()).hasMatch()) << windows[0]->lines.last().toStdString();

    // A failed read that moved two bytes logs those two.
    fake::lib().results = {BISS_COMM_FAILED};
    fake::lib().countChange = -22;
    EXPECT_FALSE(com.ReadRegisters(0, 0, 32, plate));
    EXPECT_EQ(com.LastResult, BISS_COMM_FAILED);
    EXPECT_TRUE(windows[0]->lines.last().endsWith(QStringLiteral("<-- 20: A0 A1")));

    // A count raised beyond the buffer never logs more than the buffer holds.
    fake::lib().countChange = 1000;
    std::array<uint8_t, 2> two{};
    EXPECT_TRUE(com.ReadRegisters(0, 0, 0x7E, two));
    EXPECT_TRUE(windows[0]->lines.last().endsWith(QStringLiteral("<-- 7E: 00 00")));
}

TEST_F(Binding, CheckCommReturnsTheRawCodeAndLeavesLastResult)
{
    TBissCom com;
    com.ShowDebug();
    fake::lib().results = {BISS_INVALID_PARAMETER, BISS_COMM_FAILED};
    EXPECT_FALSE(com.OpenCom(INTERFACE_USB, ""));
    EXPECT_EQ(com.CheckComm(0, 0), BISS_COMM_FAILED);
    EXPECT_EQ(com.LastResult, BISS_INVALID_PARAMETER);
    const auto reads = fake::lib().named("ReadSlaveRegister");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0]->args[3], 32u);
    EXPECT_EQ(reads[0]->count, 1u);
    EXPECT_EQ(windows[0]->lines.last(), QStringLiteral("Check: 11"));
}

TEST_F(Binding, NothingIsLoggedWhileLoggingIsOff)
{
    TBissCom com;
    std::array<uint8_t, 2> two{};
    com.ReadRegisters(0, 0, 0, two);
    com.CheckComm(0, 0);
    com.ShowDebug();
    com.CloseDebug();
    com.WriteRegisters(0, 0, 0, two);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(windows[0]->lines.isEmpty());
}

TEST_F(Binding, EscapeTextKeepsPrintableAndGermanLetters)
{
    const QString in = QStringLiteral("A\r") + QChar(0xE4) + QChar(0x7F) + QChar(0xBA) + QChar(0xFF) + QChar(0x1F) +
                       QChar(0xDC) + QStringLiteral("~ ");
    EXPECT_EQ(TBissCom::EscapeText(in), QStringLiteral("A#0D") + QChar(0xE4) + QStringLiteral("#7F") + QChar(0xBA) +
                                            QStringLiteral("#FF#1F") + QChar(0xDC) + QStringLiteral("~ "));
}

TEST_F(Binding, LogWindowLifecycle)
{
    Recorded *first = nullptr;
    {
        TBissCom com;
        com.ShowDebug();
        com.ShowDebug(); // already logging: the same window is shown again
        ASSERT_EQ(windows.size(), 1u);
        first = windows[0].get();
        EXPECT_TRUE(com.Logging);
        EXPECT_EQ(first->caption, QStringLiteral("Debug tarnbus"));
        EXPECT_EQ(first->width, 555);
        EXPECT_EQ(first->shows, 2);

        // The user closes the window: its close hook switches logging off and closes it for good.
        com.DebugForm()->CallCloseHook();
        EXPECT_FALSE(com.Logging);
        EXPECT_EQ(first->forcedCloses, 1);

        // Logging again makes a fresh, empty window; the old one lives on hidden.
        com.ShowDebug();
        ASSERT_EQ(windows.size(), 2u);
        EXPECT_TRUE(com.Logging);
        EXPECT_FALSE(first->destroyed);
        EXPECT_TRUE(windows[1]->lines.isEmpty());
        EXPECT_EQ(windows[1]->forcedCloses, 0);
    }
    // Freeing the binding while logging closes the current window first, then frees both.
    EXPECT_EQ(windows[1]->forcedCloses, 1);
    EXPECT_TRUE(first->destroyed);
    EXPECT_TRUE(windows[1]->destroyed);
}

TEST_F(Binding, ResultNames)
{
    EXPECT_EQ(TBissCom::ResultName(BISS_COMM_FAILED), QStringLiteral("BISS_COMM_FAILED"));
    EXPECT_EQ(TBissCom::ResultName(BISS_INTERFACE_NOT_FOU), QStringLiteral("BISS_INTERFACE_NOT_FOU"));
    EXPECT_EQ(TBissCom::ResultName(12), QStringLiteral("code 12"));
    EXPECT_EQ(TBissCom::ResultName(-1), QStringLiteral("code -1"));
}

} // namespace
