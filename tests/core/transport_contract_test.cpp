// What every transport owes the layers above it, checked on each adapter kind the same way: the
// master is found and tested at opening, each master access reaches the chip as exactly one access,
// a broken link never passes for a working one and leaves nothing behind, a missing driver or adapter
// is reported, and start-up, configuration and register mode B run on it unchanged.
#include "sim_fixture.h"
#include "test_env.h"

#include "transport_cases.h"

#include <chrono>

namespace {

class TransportContract : public SimTest, public ::testing::WithParamInterface<TransportCase> {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        GetParam().vPrepare();
    }
    void TearDown() override
    {
        SimTest::TearDown();
        GetParam().vFaultOff();
    }
    uint32_t ulOpenKind(int32_t lExpected = BISS_OK)
    {
        return ulOpen(GetParam().ulKind, lExpected, GetParam().strText);
    }
};

TEST_P(TransportContract, OpeningDetectsAndTestsTheMaster)
{
    tbsim_set_master(2, 0x81, 0x00);
    tbsim_master_set(0xE2, 0x35);
    const uint32_t h = ulOpenKind();
    // Version 2 detection, then the test of register 0xE2, which keeps its value.
    EXPECT_EQ("REB WEA REA RE2 WE2 RE2 WE2", strSteps());
    EXPECT_EQ("EA=00 E2=CA E2=35", strWrites());
    EXPECT_EQ(0x35, tbsim_master_get(0xE2));
    uint32_t ulId = 0;
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xEB, &ulId));
    EXPECT_EQ(0x81u, ulId);
}

TEST_P(TransportContract, EachAccessIsOneMasterAccess)
{
    const uint32_t h = ulOpenKind();
    tbsim_master_set(0xE3, 0xA5);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, WriteMaster(h, 0xE2, 0x12, 0xFFFFFFFF));
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0x12u, ulValue);
    EXPECT_EQ("WE2 RE2", strSteps());
    // A mask keeps the register's other bits: one read, one write.
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, WriteMaster(h, 0xE3, 0x3C, 0x0F));
    EXPECT_EQ(0xAC, tbsim_master_get(0xE3));
    EXPECT_EQ("RE3 WE3", strSteps());
}

TEST_P(TransportContract, BrokenLinkFailsAndLeavesNoTrace)
{
    const TransportCase &c = GetParam();
    const uint32_t h = ulOpenKind();
    tbsim_master_set(0xE4, 0x77);
    uint32_t ulValue = 0x1234;
    c.vFaultOn();
    const int32_t lWrite = WriteMaster(h, 0xE4, 0x01, 0xFFFFFFFF);
    const int32_t lRead = ReadMaster(h, 0xE4, &ulValue);
    c.vFaultOff();
    EXPECT_EQ(0x77, tbsim_master_get(0xE4)) << "nothing reached the register";
    if (c.bLinkReportsFailure) {
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, lWrite);
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, lRead);
        EXPECT_EQ(0x1234u, ulValue) << "a failed read writes no result";
    } else {
        // Nothing on the port tells a silent master apart; the value read cannot pass for the
        // register's.
        EXPECT_EQ(BISS_OK, lWrite);
        EXPECT_EQ(BISS_OK, lRead);
        EXPECT_NE(0x77u, ulValue);
    }
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE4, &ulValue));
    EXPECT_EQ(0x77u, ulValue) << "the next access works";
    // The communication test catches the broken link at opening.
    c.vFaultOn();
    ulOpenKind(BISS_MASTERCOMM_FAILED);
}

TEST_P(TransportContract, MissingDriverOrAdapterIsReported)
{
    const TransportCase &c = GetParam();
    const std::string strDriver = std::getenv(c.strDriverVariable);
    vSetEnv(c.strDriverVariable, "/nonexistent/driver.so");
    tbsim_clear_logs();
    const uint32_t hNoDriver = ulOpenKind(BISS_INTERFACE_NOT_FOU);
    vSetEnv(c.strDriverVariable, strDriver.c_str());
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_INVALID_INTERFACE, ReadMaster(hNoDriver, 0xE2, &ulValue));
    EXPECT_EQ(0u, tbsim_master_log_count());
    EXPECT_EQ(0u, c.ulDeviceAccesses()) << "no device was touched";

    c.vAbsent();
    ulOpenKind(BISS_MASTERCOMM_FAILED);
    EXPECT_EQ(0u, tbsim_master_log_count()) << "no master to reach";
}

TEST_P(TransportContract, StartUpConfigurationAndRegisterModeBRunUnchanged)
{
    const uint32_t h = ulOpenKind();
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_LENGTH, 24));
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
    EXPECT_EQ(0x40 + 23, tbsim_master_get(0xC0)) << "the length byte of data word 1";
    ASSERT_EQ(BISS_OK, InitBissComm(h));
    // The rating plate in its three blocks.
    for (auto [ulAddress, ulCount] :
         std::vector<std::pair<uint32_t, uint32_t>>{{32, 24}, {56, 32}, {88, 16}}) {
        Bytes vecData(ulCount, 0xEE);
        uint32_t ulDone = ulCount;
        EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, ulAddress, &ulDone, vecData.data())) << ulAddress;
        EXPECT_EQ(encoder(ulAddress, ulCount), vecData) << ulAddress;
    }
    // A masked write keeps the register's other bits.
    tbsim_slave_set(0, 3, 0xA5);
    uint32_t ulOne = 1;
    uint8_t ucByte = 0x3C;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 3, &ulOne, &ucByte, 0x0F));
    EXPECT_EQ(0xAC, tbsim_slave_get(0, 3));
    EXPECT_EQ(0xAC, ucByte);
}

// Position samples, alone and in a block, each the value its own cycle carried; and a master left
// busy by a glitch (a cycle frozen by a stray hold instruction) costs at most one cycle's time limit.
TEST_P(TransportContract, SensorCyclesAloneAndInBlocksAndAfterAGlitch)
{
    const uint32_t h = ulOpenKind();
    vStartLine(h, false, {{MC_DATA1_LENGTH, 10}, {MC_DATA2_LENGTH, 24}});
    tbsim_slave_sensor_set(0, 0, 10, 10, 1, 0);
    tbsim_slave_sensor_set(0, 1, 24, 500, 2, 0);
    tbsim_clear_logs();
    uint32_t ulScd = 0, ulMcd = 0;
    bool bValid = false;
    ASSERT_EQ(BISS_OK, ReadSens(h, &ulScd, &ulMcd, &bValid));
    EXPECT_EQ(10u, ulScd);
    EXPECT_EQ(500u, ulMcd);
    std::vector<uint32_t> vecScd(30), vecMcd(30);
    std::vector<uint8_t> vecValid(30);
    uint32_t ulDone = 0;
    ASSERT_EQ(BISS_OK, ReadSensBlock(h, 30, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone));
    EXPECT_EQ(30u, ulDone);
    for (uint32_t c = 0; c < 30; ++c) {
        EXPECT_EQ(11 + c, vecScd[c]) << c;
        EXPECT_EQ(502 + 2 * c, vecMcd[c]) << c;
        EXPECT_EQ(1, vecValid[c]) << c;
    }
    EXPECT_EQ(31u, tbsim_cycle_log_count()) << "one cycle per sample";

    ASSERT_EQ(BISS_OK, WriteMaster(h, 0xF4, 0x04, 0xFFFFFFFF)); // a cycle starts
    ASSERT_EQ(BISS_OK, WriteMaster(h, 0xF4, 0x41, 0xFFFFFFFF)); // and is held
    const auto start = std::chrono::steady_clock::now();
    const int32_t lFirst = ReadSens(h, &ulScd, &ulMcd, &bValid);
    EXPECT_TRUE(lFirst == BISS_OK || lFirst == BISS_TIMEOUT) << lFirst;
    EXPECT_EQ(BISS_OK, ReadSens(h, &ulScd, &ulMcd, &bValid)) << "the next cycle starts from a stopped master";
    EXPECT_EQ(BISS_OK, ReadSens(h, &ulScd, &ulMcd, &bValid));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.8);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, TransportContract, ::testing::ValuesIn(vecTransportCases()),
                         [](const auto &info) { return std::string(info.param.strName); });

} // namespace
