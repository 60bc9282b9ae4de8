// The register control frame machine on its own: the commands it sends step by step and how it takes
// the slave's answers, with the answers of a slave that behaves and of one that does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control_frame.h"
#include "tarnbus/BissClass.h"

using namespace tarnbus;

namespace {

using Commands = std::vector<int>;
// The CDS level the slave shows after the cycle that carried frame step k (the step number as sent,
// repeats of step 19 included).
using Answer = std::function<bool(int k)>;

struct FrameRun {
    Commands vecCommands;
    FrameOutcome tLast;
    int iCycles = 0;
};

// Runs a frame to its end (or 200 cycles) and keeps the commands and the last cycle's outcome.
FrameRun tRunFrame(TransferState &state, const Answer &fnAnswer, bool bCheck = true)
{
    FrameRun run;
    while (state.ucFrameMode != FRAME_IDLE && run.iCycles < 200) {
        const int k = state.ucFrameStep;
        run.vecCommands.push_back(ucFrameCommand(state, CMD_START_BIT_0));
        vEvaluateFrameCycle(state, fnAnswer(k), bCheck, &run.tLast);
        ++run.iCycles;
    }
    return run;
}

Commands header(int iId, int iAddress, const std::string &strCrcMsbFirst)
{
    Commands vec{2, 2};
    for (int i = 2; i >= 0; --i)
        vec.push_back((iId >> i) & 1 ? 2 : 4);
    for (int i = 6; i >= 0; --i)
        vec.push_back((iAddress >> i) & 1 ? 2 : 4);
    for (char c : strCrcMsbFirst)
        vec.push_back(c == '1' ? 4 : 2); // complemented
    return vec;
}

// A slave that answers a read of byte ucData: echoes through the read/write bits, then its start bit
// after iDelay cycles, the byte and the complemented CRC (ucCrc, 4 bits).
Answer readingSlave(uint8_t ucData, uint8_t ucCrc, int iDelay = 0)
{
    auto piSeen = std::make_shared<int>(0);
    return [=](int k) {
        if (k == 17)
            return true; // echo of the read bit
        if (k == 18)
            return false; // echo of the write bit
        if (k == 19)
            return ++*piSeen > iDelay;
        if (k >= 20 && k <= 27)
            return bool((ucData >> (27 - k)) & 1);
        if (k >= 28 && k <= 31)
            return !((ucCrc >> (31 - k)) & 1);
        return false;
    };
}

TransferState tReadFrame(uint8_t ucId, uint8_t ucAddress)
{
    TransferState state;
    vStartFrame(state, FRAME_READ, ucId, ucAddress, 0, false);
    return state;
}

} // namespace

TEST(CrcGen, FourBitCrcOfBitTexts)
{
    EXPECT_EQ("1100", BissClass::strCrcGen("1", "11001"));
    // The header of slave 0, register 0: '1', id 000, address 0000000 (sent from index 10 down); then
    // register 0x20 (CRC 0011, most significant first).
    EXPECT_EQ("1001", BissClass::strCrcGen("00000000001", "11001"));
    EXPECT_EQ("1100", BissClass::strCrcGen("00000100001", "11001"));
    // Data 0xA5 in the order sent; CRC 1011 (most significant first).
    EXPECT_EQ("1101", BissClass::strCrcGen("10100101", "11001"));
    EXPECT_EQ("", BissClass::strCrcGen("1", "1"));
    EXPECT_EQ("000", BissClass::strCrcGen("", "1011"));
}

TEST(ControlFrame, ReadOfOneRegisterSendsThirtyFourBitsAndTakesTheByte)
{
    TransferState state = tReadFrame(0, 0);
    FrameRun run = tRunFrame(state, readingSlave(0xA5, 0xB));
    Commands vecExpected = header(0, 0, "1001");
    EXPECT_EQ((Commands{4, 2, 2, 4}), Commands(vecExpected.end() - 4, vecExpected.end()));
    vecExpected.insert(vecExpected.end(), {2, 4, 2, 6});
    vecExpected.insert(vecExpected.end(), 14, 4);
    EXPECT_EQ(vecExpected, run.vecCommands);
    EXPECT_EQ(34, run.iCycles);
    EXPECT_TRUE(run.tLast.bComplete);
    EXPECT_EQ(0u, run.tLast.ulError);
    EXPECT_EQ(0xA5, run.tLast.ucRegisterData);
    EXPECT_EQ("10100101", std::string(state.strFrameBits.rbegin() + 3, state.strFrameBits.rend()));
    EXPECT_EQ(1, state.ucFramesDone);
}

TEST(ControlFrame, HeaderCarriesIdAddressAndComplementedCrc)
{
    TransferState state = tReadFrame(5, 0x20);
    FrameRun run = tRunFrame(state, readingSlave(0, 0));
    // CRC of 1 101 0100000: 0000, sent as four 1s.
    EXPECT_EQ(header(5, 0x20, "0000"), Commands(run.vecCommands.begin(), run.vecCommands.begin() + 16));

    TransferState state0 = tReadFrame(0, 0x20);
    FrameRun run0 = tRunFrame(state0, readingSlave(0, 0));
    EXPECT_EQ((Commands{2, 2, 4, 4}), Commands(run0.vecCommands.begin() + 12, run0.vecCommands.begin() + 16));
}

TEST(ControlFrame, ReadErrorsEndTheFrame)
{
    // No acknowledge of the read bit.
    TransferState state = tReadFrame(0, 3);
    FrameRun run = tRunFrame(state, [](int) { return false; });
    EXPECT_EQ(FRAME_ERROR_NO_ACK, run.tLast.ulError);
    EXPECT_EQ(17, run.tLast.ucFailStep);
    EXPECT_FALSE(run.tLast.bComplete);
    EXPECT_EQ(18, run.iCycles);
    EXPECT_EQ(FRAME_IDLE, state.ucFrameMode);

    // A byte whose CRC does not match.
    state = tReadFrame(0, 3);
    run = tRunFrame(state, readingSlave(0xA5, 0xA));
    EXPECT_EQ(FRAME_ERROR_CRC, run.tLast.ulError);
    EXPECT_EQ(32, run.iCycles) << "the CRC is judged after the cycle of step 31";
    EXPECT_FALSE(run.tLast.bComplete);
}

TEST(ControlFrame, StartBitMayComeAfterAHundredRepeatsButNotLater)
{
    TransferState state = tReadFrame(0, 3);
    const uint8_t ucCrc = 0x8; // CRC of 0x3C
    FrameRun run = tRunFrame(state, readingSlave(0x3C, ucCrc, 100));
    EXPECT_EQ(0u, run.tLast.ulError);
    EXPECT_TRUE(run.tLast.bComplete);
    EXPECT_EQ(0x3C, run.tLast.ucRegisterData);
    EXPECT_EQ(34 + 100, run.iCycles);
    EXPECT_EQ(101, std::count(run.vecCommands.begin(), run.vecCommands.end(), 6));

    state = tReadFrame(0, 3);
    run = tRunFrame(state, readingSlave(0x3C, ucCrc, 101));
    EXPECT_EQ(FRAME_ERROR_NO_START, run.tLast.ulError);
    EXPECT_EQ(19 + 101, run.iCycles);
}

namespace {

// A slave that takes a write: echoes every bit one cycle late, its start bit after iDelay cycles.
struct EchoingSlave {
    int iDelay = 0;
    int iSeen = 0;
    int iPrevious = 0;
    bool bAnswer(int k, int iCommand, bool bFirstOfChain)
    {
        bool bCds;
        if (k == 19)
            bCds = ++iSeen > iDelay;
        else if (k == 18 && bFirstOfChain)
            bCds = true;
        else
            bCds = iPrevious == 2;
        iPrevious = iCommand;
        return bCds;
    }
};

} // namespace

TEST(ControlFrame, WriteOfOneRegisterSendsFortyFiveBitsWithTheByteAndItsCrc)
{
    TransferState state;
    vStartFrame(state, FRAME_WRITE, 1, 0x10, 0x5A, false);
    EchoingSlave slave;
    Commands vecCommands;
    FrameOutcome tOut;
    int iCycles = 0;
    while (state.ucFrameMode != FRAME_IDLE && iCycles < 100) {
        const int k = state.ucFrameStep;
        const int c = ucFrameCommand(state, CMD_START_BIT_0);
        vecCommands.push_back(c);
        vEvaluateFrameCycle(state, slave.bAnswer(k, c, true), true, &tOut);
        ++iCycles;
        if (state.ucFrameMode != FRAME_IDLE) {
            EXPECT_FALSE(tOut.bComplete);
        }
    }
    EXPECT_EQ(45, iCycles);
    EXPECT_TRUE(tOut.bComplete);
    EXPECT_EQ(0u, tOut.ulError);
    // Read bit 0, write bit 1, start 1, then 0x5A (its first 0 goes out as 6), CRC 1111 complemented,
    // and fourteen 0s.
    Commands vecTail{4, 2, 2, 6, 2, 4, 2, 2, 4, 2, 4, 4, 4, 4, 4};
    vecTail.insert(vecTail.end(), 14, 4);
    EXPECT_EQ(vecTail, Commands(vecCommands.begin() + 16, vecCommands.end()));

    // A write bit the slave does not echo.
    vStartFrame(state, FRAME_WRITE, 1, 0x10, 0xA5, false);
    FrameRun run = tRunFrame(state, [](int) { return false; });
    EXPECT_EQ(FRAME_ERROR_NO_ACK, run.tLast.ulError);
    EXPECT_EQ(18, run.tLast.ucFailStep);
}

TEST(ControlFrame, ChainedWriteEndsAfterStepThirtyOneAndTheNextGoesOnWithoutHeader)
{
    TransferState state;
    state.ucMoreRegisters = 1;
    EchoingSlave slave;
    vStartFrame(state, FRAME_WRITE, 0, 0, 0x00, false);
    FrameOutcome tOut;
    int iCycles = 0, iLast = 0;
    while (state.ucFrameMode != FRAME_IDLE) {
        const int k = state.ucFrameStep;
        iLast = ucFrameCommand(state, CMD_START_BIT_0);
        vEvaluateFrameCycle(state, slave.bAnswer(k, iLast, true), true, &tOut);
        ++iCycles;
    }
    EXPECT_EQ(32, iCycles);
    EXPECT_TRUE(tOut.bComplete);
    EXPECT_EQ(4, iLast);

    vStartFrame(state, FRAME_WRITE, 0, 1, 0xFF, true);
    EXPECT_EQ(FRAME_STEP_NEXT_REGISTER, state.ucFrameStep);
    Commands vecCommands;
    iCycles = 0;
    while (state.ucFrameMode != FRAME_IDLE) {
        const int k = state.ucFrameStep;
        vecCommands.push_back(ucFrameCommand(state, CMD_START_BIT_0));
        vEvaluateFrameCycle(state, slave.bAnswer(k, vecCommands.back(), false), true, &tOut);
        ++iCycles;
    }
    EXPECT_EQ(0u, tOut.ulError) << "the start of a following register expects the echo of a 0";
    EXPECT_TRUE(tOut.bComplete);
    EXPECT_EQ(14, iCycles);
    EXPECT_EQ(2, vecCommands.front());
}

TEST(ControlFrame, ChainedReadCompletesRightAfterItsCrcCheck)
{
    TransferState state = tReadFrame(0, 0);
    state.ucMoreRegisters = 1;
    FrameRun run = tRunFrame(state, readingSlave(0xA5, 0xB));
    EXPECT_EQ(32, run.iCycles);
    EXPECT_TRUE(run.tLast.bComplete);
    EXPECT_EQ(0xA5, run.tLast.ucRegisterData);

    vStartFrame(state, FRAME_READ, 0, 1, 0, true);
    run = tRunFrame(state, readingSlave(0xA5, 0xB));
    EXPECT_EQ(14, run.iCycles);
    EXPECT_EQ(0xA5, run.tLast.ucRegisterData);
    EXPECT_EQ((Commands{2, 6}), Commands(run.vecCommands.begin(), run.vecCommands.begin() + 2));
}

TEST(ControlFrame, WithChecksOffTheFrameRunsByItsStepsAndAnAbandonedFrameStaysIdle)
{
    TransferState state;
    vStartFrame(state, FRAME_WRITE, 0, 0, 0x12, false);
    FrameRun run = tRunFrame(
        state, [](int) { return false; }, false);
    EXPECT_EQ(45, run.iCycles);
    EXPECT_EQ(0u, run.tLast.ulError);
    EXPECT_TRUE(run.tLast.bComplete);

    vStartFrame(state, FRAME_WRITE, 0, 0, 0x12, false);
    for (int i = 0; i < 44; ++i)
        ucFrameCommand(state, CMD_START_BIT_0);
    ucFrameCommand(state, CMD_START_BIT_0); // the last command went out, its answer never comes
    vAbandonFrame(state);
    FrameOutcome tOut;
    vEvaluateFrameCycle(state, true, true, &tOut);
    EXPECT_FALSE(tOut.bComplete) << "an abandoned frame must not complete with a later cycle";
    EXPECT_EQ(FRAME_IDLE, state.ucFrameMode);
}

// The bits that finish a broken-off write: for every byte and every place it can break off in, the
// slave's byte fails its CRC however many of the bits around the break reached it. The slave's check
// is written here from the wire's rules: the data most significant bit first, then the CRC-4 over
// them, complemented.
TEST(ControlFrame, FinishingBitsOfABrokenWriteNeverCompleteAByteWithItsCrc)
{
    auto bCommits = [](const std::vector<bool> &vecWord) {
        std::string strData(8, '0');
        for (unsigned k = 0; k < 8; ++k)
            strData[k] = vecWord[7 - k] ? '1' : '0';
        const std::string strCrc = BissClass::strCrcGen(strData, "11001");
        for (unsigned i = 0; i < 4; ++i)
            if (vecWord[8 + i] != (strCrc[3 - i] == '0'))
                return false;
        return true;
    };
    EXPECT_TRUE(vecFinishingBits(0x3C, 10, 17).empty()) << "broken off in the header: idle bits are safe";
    unsigned uiZeroCompletions = 0;
    for (unsigned uiByte = 0; uiByte < 256; ++uiByte) {
        std::vector<bool> vecSent; // the byte and its CRC as they go on the line
        for (int k = 7; k >= 0; --k)
            vecSent.push_back((uiByte >> k) & 1);
        std::string strData(8, '0');
        for (unsigned k = 0; k < 8; ++k)
            strData[k] = (uiByte >> k) & 1 ? '1' : '0';
        const std::string strCrc = BissClass::strCrcGen(strData, "11001");
        for (int i = 3; i >= 0; --i)
            vecSent.push_back(strCrc[static_cast<size_t>(i)] == '0');
        ASSERT_TRUE(bCommits(vecSent)) << "the whole word commits: " << uiByte;
        for (int iLast = 18; iLast <= 29; ++iLast) {
            const std::vector<bool> vecBits =
                vecFinishingBits(static_cast<uint8_t>(uiByte), iLast - 1, iLast);
            for (int t = std::max(iLast - 1, 18); t <= iLast; ++t) {
                const size_t j = static_cast<size_t>(t - 18); // data-word bits the slave holds
                std::vector<bool> vecGot(vecSent.begin(), vecSent.begin() + static_cast<long>(j));
                std::vector<bool> vecZeros = vecGot;
                for (size_t i = 0; vecGot.size() < 12; ++i) {
                    ASSERT_LT(i, vecBits.size()) << uiByte << " " << iLast;
                    vecGot.push_back(vecBits[i]);
                }
                EXPECT_FALSE(bCommits(vecGot)) << uiByte << " " << iLast << " " << t;
                vecZeros.resize(12, false);
                uiZeroCompletions += bCommits(vecZeros) && j > 0 && j < 8 ? 1 : 0;
            }
        }
    }
    EXPECT_GT(uiZeroCompletions, 0u) << "idle bits alone would complete some bytes";
}
