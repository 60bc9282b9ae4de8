// Slave registers in register mode B, as the caller and the master chip see them.
#include "sim_fixture.h"

#include <chrono>

namespace {

class SlaveRegisterTest : public SimTest {
protected:
    // An address register written with the write bit (bit 7) clear: a read transfer went first.
    static bool bPreRead()
    {
        const std::string str = strWrites();
        for (size_t i = str.find("E2="); i != std::string::npos; i = str.find("E2=", i + 1))
            if (str[i + 3] < '8')
                return true;
        return false;
    }
};

TEST_F(SlaveRegisterTest, RatingPlateAndConfigurationBlocksReadAsTheEncoderHoldsThem)
{
    const uint32_t h = ulOpenStarted();
    for (auto [ulAddress, ulCount] :
         std::vector<std::pair<uint32_t, uint32_t>>{{32, 24}, {56, 32}, {88, 16}, {0, 6}, {16, 6}}) {
        Bytes vecData(ulCount, 0xEE);
        uint32_t ulDone = ulCount;
        EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, ulAddress, &ulDone, vecData.data())) << ulAddress;
        EXPECT_EQ(ulCount, ulDone);
        EXPECT_EQ(encoder(ulAddress, ulCount), vecData) << ulAddress;
    }
    EXPECT_EQ(1, tbsim_slave_get(0, 32)) << "the plate's format marker: these are the encoder's data";
}

TEST_F(SlaveRegisterTest, TransferSequenceOnEachMasterVersion)
{
    tbsim_set_master(2, 0x81, 0);
    uint32_t h = ulOpenStarted();
    Bytes vecData(2);
    uint32_t ulCount = 2;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0x5A, 0, 0xA8, &ulCount, vecData.data()));
    // Count, idle check, address, slave id, selector, start, busy wait, end wait and status, data, count reset.
    EXPECT_EQ("WE3 RF0 WE2 WE5 WE4 WF4 RF4 RF0 R80 R81 WE3", strSteps());
    EXPECT_EQ("E3=01 E2=28 E5=00 E4=5A F4=08 E3=00", strWrites());
    EXPECT_EQ(encoder(40, 2), vecData);
    ulCount = 1;
    ReadSlaveRegister(h, 0, 5, 32, &ulCount, vecData.data()); // slave 5 need not answer
    EXPECT_NE(std::string::npos, strWrites().find("E5=28")) << "slave id in bits 5..3";

    // Version 1: its own registers, no selector, the count's low bits beside the slave id.
    vCloseAll();
    tbsim_reset_default();
    tbsim_set_master(1, 0x3F, 0);
    h = ulOpenStarted();
    ulCount = 1;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0x5A, 0, 33, &ulCount, vecData.data()));
    EXPECT_EQ("WE3 RF0 WE2 WE5 WE1 RE1 RF0 RE0 R40", strSteps()) << "one register: no count reset";
    EXPECT_EQ("E3=00 E2=21 E5=01 E1=04", strWrites());
    EXPECT_EQ(tbsim_slave_get(0, 33), vecData[0]);
    tbsim_clear_logs();
    uint8_t ucByte = 0x42;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 3, &ulCount, &ucByte, 0xFF));
    EXPECT_EQ("E3=00 E2=83 E5=01 40=42 E1=04", strWrites());
    EXPECT_EQ(0x42, tbsim_slave_get(0, 3));
}

TEST_F(SlaveRegisterTest, WritesMergeUnderTheMaskOnlyForOneRegister)
{
    const uint32_t h = ulOpenStarted();
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
    EXPECT_FALSE(bPreRead());

    tbsim_clear_logs();
    Bytes vecBlock = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    ulCount = 6;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 16, &ulCount, vecBlock.data(), 0x0F));
    EXPECT_EQ(vecBlock, encoder(16, 6)) << "whole bytes: the mask is for single registers";
    EXPECT_FALSE(bPreRead());
    EXPECT_EQ("E3=00", strWrites().substr(strWrites().size() - 5)) << "count reset at the end";
}

TEST_F(SlaveRegisterTest, FailedTransfersReportWhatArrived)
{
    const uint32_t h = ulOpenStarted();
    tbsim_master_set(0xF4, 0x10); // busy with an instruction: stopped before the transfer
    Bytes vecData(8, 0xEE);
    uint32_t ulCount = 6;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data()));
    EXPECT_EQ("E3=05 F4=80 E2=00", strWrites().substr(0, 17));

    for (int iVersion : {1, 2}) {
        vCloseAll();
        tbsim_reset_default();
        tbsim_set_master(iVersion, iVersion == 1 ? 0x3F : 0x81, 0);
        const uint32_t hV = ulOpenStarted();
        tbsim_set_fault(TBSIM_SHORT_TRANSFER, 1, 3);
        vecData.assign(8, 0xEE);
        ulCount = 8;
        EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(hV, 0, 0, 32, &ulCount, vecData.data()));
        EXPECT_EQ(3u, ulCount);
        Bytes vecExpected = encoder(32, 3);
        vecExpected.resize(8, 0xEE);
        EXPECT_EQ(vecExpected, vecData) << "the bytes that arrived, nothing beyond";
        Bytes vecBlock = {1, 2, 3, 4, 5, 6};
        ulCount = 6;
        EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(hV, 0, 0, 0, &ulCount, vecBlock.data(), 0xFF));
        EXPECT_EQ(3u, ulCount);
        EXPECT_EQ((Bytes{1, 2, 3}), encoder(0, 3));

        tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
        uint8_t ucByte = 0xEE;
        ulCount = 1;
        EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(hV, 0, 0, 32, &ulCount, &ucByte));
        EXPECT_EQ(0xEE, ucByte) << "no answer, no data";
        tbsim_clear_logs();
        EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(hV, 0, 0, 2, &ulCount, &ucByte, 0x0F));
        EXPECT_EQ(std::string::npos, strWrites().find("E2=82")) << "no write after the failed pre-read";
        // A whole byte goes out without a pre-read: the write's own status shows that nobody answered.
        tbsim_clear_logs();
        EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(hV, 0, 0, 2, &ulCount, &ucByte, 0xFF)) << iVersion;
        EXPECT_NE(std::string::npos, strWrites().find("E2=82")) << "the write was sent";
    }
}

// The limit of every wait is one second of time, however often the master is asked meanwhile: a slow
// transfer is waited for, a stuck one given up after about a second.
TEST_F(SlaveRegisterTest, SlowMasterIsWaitedForAndAStuckOneGivenUpAfterASecond)
{
    const uint32_t h = ulOpenStarted();
    uint8_t ucByte = 0;
    uint32_t ulCount = 1;
    tbsim_set_fault(TBSIM_MASTER_BUSY, 1, 50);
    EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    EXPECT_EQ(tbsim_slave_get(0, 32), ucByte);
    ucByte = 0x5C;
    EXPECT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 3, &ulCount, &ucByte, 0xFF));
    EXPECT_EQ(0x5C, tbsim_slave_get(0, 3));

    tbsim_set_fault(TBSIM_MASTER_BUSY, 1, 6000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(ms.count(), 950);
    EXPECT_LT(ms.count(), 5500) << "given up long after the limit";
}

// Each of these runs into the one-second limit.
TEST_F(SlaveRegisterTest, MasterThatNeverFinishes)
{
    const uint32_t h = ulOpenStarted();
    uint8_t ucByte = 0;
    uint32_t ulCount = 1;
    tbsim_set_fault(TBSIM_NO_EOT, 1, 0);
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    EXPECT_EQ("E3=00 F4=80", strWrites()) << "stopped, and the transfer never begun";
    tbsim_set_fault(TBSIM_NO_EOT, 0, 0);

    tbsim_clear_logs();
    tbsim_set_fault(TBSIM_INSTRUCTION_NOT_TAKEN, 1, 0);
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    EXPECT_EQ("WE3 RF0 WE2 WE5 WE4 WF4 RF4", strSteps()) << "given up while the instruction waits";
}

TEST_F(SlaveRegisterTest, BadRequestsAreRefusedBeforeAnythingIsSent)
{
    const uint32_t h = ulOpenStarted();
    Bytes vecData(80, 0xEE);
    for (uint32_t ulBad : {0u, 65u}) {
        uint32_t ulCount = ulBad;
        EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data()));
        EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data(), 0xFF));
        EXPECT_EQ(ulBad, ulCount);
    }
    uint32_t ulCount = 1;
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, nullptr, vecData.data()));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, &ulCount, nullptr));
    EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 0, nullptr, vecData.data(), 0xFF));
    EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 0, &ulCount, nullptr, 0x0F));
    EXPECT_EQ(0u, tbsim_call_count());
    EXPECT_EQ(Bytes(80, 0xEE), vecData);

    ulCount = 64;
    EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 0, &ulCount, vecData.data())) << "the full window is fine";
    EXPECT_EQ(encoder(0, 64), Bytes(vecData.begin(), vecData.begin() + 64));
    EXPECT_EQ(0xEE, vecData[64]);
}

} // namespace
