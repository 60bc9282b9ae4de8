// Slave registers in register mode B, as the caller and the master chip see them.
#include "sim_fixture.h"

#include <array>
#include <utility>

namespace {

using Bytes = std::vector<uint8_t>;
using Writes = std::vector<MasterAccess>;
using Steps = std::vector<std::pair<char, uint8_t>>;

class SlaveRegisterTest : public SimTest {
protected:
    static Bytes encoder(unsigned uiAddress, unsigned uiCount)
    {
        Bytes vec;
        for (unsigned i = 0; i < uiCount; ++i)
            vec.push_back(tbsim_slave_get(0, uiAddress + i));
        return vec;
    }

    // Master accesses as (op, address) with polling folded: the order of distinct steps.
    static Steps vecSteps()
    {
        Steps vec;
        for (const auto &a : vecMasterLog()) {
            std::pair<char, uint8_t> step{a.cOp, a.ucAddress};
            if (vec.empty() || step.first != 'R' || vec.back() != step)
                vec.push_back(step);
        }
        return vec;
    }

    static bool bPreRead()
    {
        for (const auto &a : vecMasterWrites())
            if (a.ucAddress == 0xE2 && !(a.ucValue & 0x80))
                return true;
        return false;
    }
};

TEST_F(SlaveRegisterTest, RatingPlateAndConfigurationBlocksReadAsTheEncoderHoldsThem)
{
    uint32_t h = ulOpenStarted();
    const std::array<std::pair<uint32_t, uint32_t>, 5> aBlocks{{{32, 24}, {56, 32}, {88, 16}, {0, 6}, {16, 6}}};
    for (auto [ulAddress, ulCount] : aBlocks) {
        Bytes vecData(ulCount, 0xEE);
        uint32_t ulDone = ulCount;
        EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, ulAddress, &ulDone, vecData.data())) << "at " << ulAddress;
        EXPECT_EQ(ulCount, ulDone);
        EXPECT_EQ(encoder(ulAddress, ulCount), vecData) << "at " << ulAddress;
    }
    EXPECT_EQ(1, tbsim_slave_get(0, 32)) << "the plate's format marker: the data are the encoder's";
}

TEST_F(SlaveRegisterTest, TransferSequenceOnEachMasterVersion)
{
    tbsim_set_master(2, 0x81, 0);
    uint32_t h = ulOpenStarted();
    Bytes vecData(2);
    uint32_t ulCount = 2;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0x5A, 0, 0xA8, &ulCount, vecData.data()));
    // Count, idle check, address, slave id, selector, start, busy wait, end wait and status, data, count reset.
    EXPECT_EQ((Steps{{'W', 0xE3}, {'R', 0xF0}, {'W', 0xE2}, {'W', 0xE5}, {'W', 0xE4}, {'W', 0xF4}, {'R', 0xF4},
                     {'R', 0xF0}, {'R', 0x80}, {'R', 0x81}, {'W', 0xE3}}),
              vecSteps());
    EXPECT_EQ((Writes{{'W', 0xE3, 0x01}, {'W', 0xE2, 0x28}, {'W', 0xE5, 0x00}, {'W', 0xE4, 0x5A}, {'W', 0xF4, 0x08},
                      {'W', 0xE3, 0x00}}),
              vecMasterWrites());
    EXPECT_EQ(encoder(40, 2), vecData);
    CloseInterface(h);
    vecOpened.clear();

    // Version 1: its own registers, no selector, the count's low bits beside the slave id.
    tbsim_reset_default();
    tbsim_set_master(1, 0x3F, 0);
    h = ulOpenStarted();
    Bytes vecOne(1);
    ulCount = 1;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0x5A, 0, 33, &ulCount, vecOne.data()));
    EXPECT_EQ((Steps{{'W', 0xE3}, {'R', 0xF0}, {'W', 0xE2}, {'W', 0xE5}, {'W', 0xE1}, {'R', 0xE1}, {'R', 0xF0},
                     {'R', 0xE0}, {'R', 0x40}}),
              vecSteps()) << "one register: no count reset";
    EXPECT_EQ((MasterAccess{'W', 0xE5, 0x01}), vecMasterWrites()[2]);
    EXPECT_EQ(encoder(33, 1), vecOne);

    // A write of one whole byte: address with the write bit, the byte in the data window, no count reset.
    tbsim_clear_logs();
    uint8_t ucByte = 0x42;
    ulCount = 1;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 3, &ulCount, &ucByte, 0xFF));
    EXPECT_EQ((Writes{{'W', 0xE3, 0x00}, {'W', 0xE2, 0x83}, {'W', 0xE5, 0x01}, {'W', 0x40, 0x42}, {'W', 0xE1, 0x04}}),
              vecMasterWrites());
    EXPECT_EQ(0x42, tbsim_slave_get(0, 3));
}

TEST_F(SlaveRegisterTest, SlaveIdGoesToTheMaster)
{
    uint32_t h = ulOpenStarted();
    uint8_t ucByte = 0;
    uint32_t ulCount = 1;
    ReadSlaveRegister(h, 0, 5, 32, &ulCount, &ucByte); // slave 5 may or may not answer
    auto vecWrites = vecMasterWrites();
    ASSERT_GE(vecWrites.size(), 3u);
    EXPECT_EQ((MasterAccess{'W', 0xE5, 5 << 3}), vecWrites[2]);
}

TEST_F(SlaveRegisterTest, OneByteWritesMergeUnderTheMask)
{
    uint32_t h = ulOpenStarted();
    tbsim_slave_set(0, 2, 0xA5);
    uint8_t ucByte = 0x3C;
    uint32_t ulCount = 1;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 2, &ulCount, &ucByte, 0x0F));
    EXPECT_EQ(0xAC, tbsim_slave_get(0, 2)) << "upper half kept, lower half taken";
    EXPECT_EQ(0xAC, ucByte) << "the caller's byte holds what was written";
    EXPECT_TRUE(bPreRead());

    tbsim_clear_logs();
    ucByte = 0x3C;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 2, &ulCount, &ucByte, 0xFF));
    EXPECT_EQ(0x3C, tbsim_slave_get(0, 2));
    EXPECT_FALSE(bPreRead()) << "a whole byte needs no pre-read";
}

TEST_F(SlaveRegisterTest, MultiRegisterWritesTakeWholeBytes)
{
    uint32_t h = ulOpenStarted();
    Bytes vecBlock = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    uint32_t ulCount = 6;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 16, &ulCount, vecBlock.data(), 0x0F));
    EXPECT_EQ(vecBlock, encoder(16, 6)) << "the mask is for single registers only";
    EXPECT_EQ((Bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}), vecBlock) << "the caller's data stay as they were";
    EXPECT_FALSE(bPreRead());
    EXPECT_EQ((MasterAccess{'W', 0xE3, 0x00}), vecMasterWrites().back()) << "count reset after the transfer";
}

TEST_F(SlaveRegisterTest, BusyMasterIsStoppedBeforeTheTransfer)
{
    uint32_t h = ulOpenStarted();
    tbsim_master_set(0xF4, 0x10); // a start-up instruction about to run
    Bytes vecData(6);
    uint32_t ulCount = 6;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data()));
    auto vecWrites = vecMasterWrites();
    ASSERT_GE(vecWrites.size(), 3u);
    EXPECT_EQ((MasterAccess{'W', 0xF4, 0x80}), vecWrites[1]);
    EXPECT_EQ(0xE2, vecWrites[2].ucAddress);
    EXPECT_EQ(encoder(0, 6), vecData);
}

TEST_F(SlaveRegisterTest, BrokenOffTransfersReportWhatArrived)
{
    for (int iVersion : {1, 2}) {
        SCOPED_TRACE(iVersion);
        tbsim_reset_default();
        tbsim_set_master(iVersion, iVersion == 1 ? 0x3F : 0x81, 0);
        uint32_t h = ulOpenStarted();
        tbsim_set_fault(TBSIM_SHORT_TRANSFER, 1, 3);
        Bytes vecData(8, 0xEE);
        uint32_t ulCount = 8;
        EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vecData.data()));
        EXPECT_EQ(3u, ulCount);
        Bytes vecExpected = encoder(32, 3);
        vecExpected.resize(8, 0xEE);
        EXPECT_EQ(vecExpected, vecData) << "the bytes that arrived, nothing beyond";

        Bytes vecBlock = {1, 2, 3, 4, 5, 6};
        ulCount = 6;
        EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(h, 0, 0, 0, &ulCount, vecBlock.data(), 0xFF));
        EXPECT_EQ(3u, ulCount);
        EXPECT_EQ((Bytes{1, 2, 3}), encoder(0, 3));
        CloseInterface(h);
        vecOpened.clear();
    }
}

TEST_F(SlaveRegisterTest, AbsentEncoderIsACommunicationFailure)
{
    uint32_t h = ulOpenStarted();
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    uint8_t ucByte = 0xEE;
    uint32_t ulCount = 1;
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    EXPECT_EQ(1u, ulCount);
    EXPECT_EQ(0xEE, ucByte) << "no answer, no data";
    EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(h, 0, 0, 2, &ulCount, &ucByte, 0xFF));
    // The masked write stops at its failed pre-read and writes nothing.
    tbsim_clear_logs();
    EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(h, 0, 0, 2, &ulCount, &ucByte, 0x0F));
    for (const auto &a : vecMasterWrites())
        EXPECT_FALSE(a.ucAddress == 0xE2 && (a.ucValue & 0x80)) << "no write transfer after the failed read";
}

// Each of these runs into the one-second limit.
TEST_F(SlaveRegisterTest, MasterThatNeverFinishes)
{
    uint32_t h = ulOpenStarted();
    uint8_t ucByte = 0;
    uint32_t ulCount = 1;

    // Never idle: the master is stopped first and the transfer never begins.
    tbsim_set_fault(TBSIM_NO_EOT, 1, 0);
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    EXPECT_EQ((Writes{{'W', 0xE3, 0x00}, {'W', 0xF4, 0x80}}), vecMasterWrites());
    tbsim_set_fault(TBSIM_NO_EOT, 0, 0);

    // The instruction is never taken: the transfer is given up without reading a status.
    tbsim_clear_logs();
    tbsim_set_fault(TBSIM_INSTRUCTION_NOT_TAKEN, 1, 0);
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    EXPECT_EQ((MasterAccess{'W', 0xF4, 0x08}), vecMasterWrites().back());
    EXPECT_EQ(0xF4, vecMasterLog().back().ucAddress) << "polling the instruction to the end";
}

TEST_F(SlaveRegisterTest, BadRequestsAreRefusedBeforeAnythingIsSent)
{
    uint32_t h = ulOpenStarted();
    Bytes vecData(80, 0xEE);
    uint32_t ulCount = 0;
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data()));
    ulCount = 65;
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data()));
    EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data(), 0xFF));
    EXPECT_EQ(65u, ulCount);
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, nullptr, vecData.data()));
    ulCount = 1;
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, &ulCount, nullptr));
    EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 0, nullptr, vecData.data(), 0xFF));
    EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 0, &ulCount, nullptr, 0x0F));
    // Register mode C is not available: refused, not pretended.
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 1));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vecData.data()));
    EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 2, &ulCount, vecData.data(), 0xFF));
    EXPECT_EQ(0u, tbsim_call_count());
    EXPECT_EQ(Bytes(80, 0xEE), vecData);

    // The full data window is accepted.
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 0));
    ulCount = 64;
    EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data()));
    EXPECT_EQ(encoder(0, 64), Bytes(vecData.begin(), vecData.begin() + 64));
    EXPECT_EQ(0xEE, vecData[64]);
}

} // namespace
