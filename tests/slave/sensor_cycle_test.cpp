// Position samples through the flat ReadSens, as a host reads them, against the simulated master.
#include "sim_fixture.h"

#include <chrono>
#include <fstream>

namespace {

constexpr uint32_t kUntouched = 0xDEADBEEF;

class SensorCycleTest : public SimTest {
protected:
    // Opened and started with the data words of every slave up to ulSlaves - 1.
    uint32_t ulOpenSensor(uint32_t ulSlaves = 1, uint32_t ulCrc = 0, uint32_t ulLength2 = 24)
    {
        const uint32_t h = ulOpen();
        for (uint32_t s = 0; s < ulSlaves; ++s) {
            EXPECT_EQ(BISS_OK, SetMasterConfig(h, s, MC_DATA1_LENGTH, 10));
            EXPECT_EQ(BISS_OK, SetMasterConfig(h, s, MC_DATA1_CRCPOLY, ulCrc));
            EXPECT_EQ(BISS_OK, SetMasterConfig(h, s, MC_DATA2_LENGTH, ulLength2));
            EXPECT_EQ(BISS_OK, SetMasterConfig(h, s, MC_DATA2_CRCPOLY, ulCrc));
        }
        EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E5_LOW_BITS, ulSlaves));
        EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E6_LOW5, 4));
        EXPECT_EQ(BISS_OK, WriteMasterConfig(h, 1));
        EXPECT_EQ(BISS_OK, InitBissComm(h));
        tbsim_clear_logs();
        return h;
    }

    struct Sample {
        int32_t lResult;
        std::vector<uint32_t> vecScd, vecMcd;
        bool bValid;
    };
    static Sample sample(uint32_t h, size_t uiSlaves = 1)
    {
        Sample s{0, std::vector<uint32_t>(uiSlaves, kUntouched), std::vector<uint32_t>(uiSlaves, kUntouched),
                 false};
        s.lResult = ReadSens(h, s.vecScd.data(), s.vecMcd.data(), &s.bValid);
        return s;
    }
    static void vExpectUntouched(const Sample &s)
    {
        for (uint32_t ul : s.vecScd)
            EXPECT_EQ(kUntouched, ul);
        for (uint32_t ul : s.vecMcd)
            EXPECT_EQ(kUntouched, ul);
        EXPECT_FALSE(s.bValid);
    }
    static double dSeconds(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(SensorCycleTest, ConsecutiveSamplesAdvanceOnBothVersionsWithAndWithoutCrc)
{
    for (int iVersion : {1, 2}) {
        for (uint32_t ulCrc : {0u, 0x43u}) {
            SCOPED_TRACE("version " + std::to_string(iVersion) + " crc " + std::to_string(ulCrc));
            vCloseAll();
            tbsim_reset_default();
            tbsim_set_master(iVersion, iVersion == 1 ? 0x3F : 0x82, 1);
            const uint32_t h = ulOpenSensor(1, ulCrc);
            tbsim_slave_sensor_set(0, 0, 10, 1021, 2, TBSIM_CRC_FROM_SLOT);
            tbsim_slave_sensor_set(0, 1, 24, 0xABCDEF, 0x100, TBSIM_CRC_FROM_SLOT);
            for (uint32_t i = 0; i < 3; ++i) {
                const Sample s = sample(h);
                ASSERT_EQ(BISS_OK, s.lResult);
                EXPECT_EQ((1021 + 2 * i) % 1024, s.vecScd[0]) << "10 bits wrap";
                EXPECT_EQ(0xABCDEF + 0x100 * i, s.vecMcd[0]);
                EXPECT_TRUE(s.bValid);
            }
            EXPECT_EQ(3u, tbsim_cycle_log_count()) << "one cycle per sample";
            // The status polls between the command and the reads that judge the cycle follow the
            // clock setting: 2 per divider step, 20 with the slow clock (bit 4).
            for (uint32_t ulClock : {0x03u, 0x11u}) {
                if (iVersion == 1)
                    break;
                ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E6_LOW5, ulClock));
                ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
                tbsim_clear_logs();
                ASSERT_EQ(BISS_OK, sample(h).lResult);
                tbsim_master_access a{};
                size_t i = 0;
                while (tbsim_master_log_get(i, &a) == 0 && !(a.op == 'W' && a.address == 0xF4))
                    ++i;
                unsigned uiPolls = 0;
                while (tbsim_master_log_get(++i, &a) == 0 && a.op == 'R' && a.address == 0xF0)
                    ++uiPolls;
                EXPECT_EQ(ulClock == 0x03 ? 6u : 20u, uiPolls);
            }
        }
    }
}

TEST_F(SensorCycleTest, EverySlaveOfTheChainDeliversItsOwnWords)
{
    const std::string strFile = ::testing::TempDir() + "three_slaves.scn";
    std::ofstream(strFile)
        << "slave1 = registers\nslave1.value1 = 7\nslave1.step1 = 1\nslave1.word2 = 0\n"
           "slave2 = registers\nslave2.value1 = 900\nslave2.step1 = 0\nslave2.value2 = 42\n";
    ASSERT_EQ(0, tbsim_load_scenario(strFile.c_str())) << tbsim_last_error();
    const uint32_t h = ulOpenSensor(3, 0x43);
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 1, MC_DATA2_LENGTH, 0));
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
    Sample s = sample(h, 4);
    ASSERT_EQ(BISS_OK, s.lResult);
    EXPECT_EQ((std::vector<uint32_t>{100, 7, 900, kUntouched}), s.vecScd) << "three slaves, three values";
    EXPECT_EQ(5000u, s.vecMcd[0]);
    EXPECT_EQ(0u, s.vecMcd[1]) << "a slot without a second word: every second word came, this one empty";
    EXPECT_EQ(42u, s.vecMcd[2]);
    s = sample(h, 4);
    EXPECT_EQ((std::vector<uint32_t>{103, 8, 900, kUntouched}), s.vecScd);

    // A slave in the middle falls silent: the chain behind it is cut off.
    tbsim_set_fault(TBSIM_SLAVE_ABSENT, 1, 1);
    s = sample(h, 4);
    EXPECT_EQ(BISS_COMM_FAILED, s.lResult);
    vExpectUntouched(s);
    tbsim_set_fault(TBSIM_SLAVE_ABSENT, 0, 0);
    EXPECT_EQ(BISS_OK, sample(h, 4).lResult);
}

TEST_F(SensorCycleTest, AFailedCycleIsReportedAndLeavesTheArraysAlone)
{
    for (int iVersion : {1, 2}) {
        SCOPED_TRACE(iVersion);
        vCloseAll();
        tbsim_reset_default();
        tbsim_set_master(iVersion, iVersion == 1 ? 0x3F : 0x82, 1);
        const uint32_t h = ulOpenSensor(1, 0x43);
        const tbsim_fault aFaults[] = {TBSIM_ENCODER_ABSENT, TBSIM_NO_START_BIT, TBSIM_CRC_ERROR,
                                       TBSIM_CRC_ERROR};
        const uint32_t aulArgs[] = {0, 0, 0, 8};
        for (size_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            tbsim_set_fault(aFaults[i], 1, aulArgs[i]);
            const Sample s = sample(h);
            EXPECT_EQ(BISS_COMM_FAILED, s.lResult);
            vExpectUntouched(s);
            tbsim_set_fault(aFaults[i], 0, 0);
            EXPECT_EQ(BISS_OK, sample(h).lResult) << "the next cycle is good again";
        }
    }

    // Without a CRC the master cannot see a wrong bit, so an absent encoder still shows: no start bit.
    vCloseAll();
    tbsim_reset_default();
    const uint32_t h = ulOpenSensor(1, 0);
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    const Sample s = sample(h);
    EXPECT_EQ(BISS_COMM_FAILED, s.lResult);
    vExpectUntouched(s);
    tbsim_cycle cycle{};
    ASSERT_EQ(0, tbsim_cycle_log_get(0, &cycle));
    EXPECT_EQ(0, cycle.valid);
}

TEST_F(SensorCycleTest, AMasterThatNeverFinishesEndsAfterOneSecond)
{
    const uint32_t h = ulOpenSensor();
    for (tbsim_fault eFault : {TBSIM_INSTRUCTION_NOT_TAKEN, TBSIM_CYCLE_NEVER_ENDS}) {
        tbsim_set_fault(eFault, 1, 0);
        const auto start = std::chrono::steady_clock::now();
        const Sample s = sample(h);
        const double dTook = dSeconds(start);
        EXPECT_EQ(BISS_TIMEOUT, s.lResult) << eFault;
        vExpectUntouched(s);
        EXPECT_GE(dTook, 0.9);
        EXPECT_LT(dTook, 10.0) << "a loaded machine may be slow, but not endless";
        tbsim_set_fault(eFault, 0, 0);
        tbsim_master_set(0xF4, 0x80); // the master is stopped by hand and comes back
        tbsim_master_set(0xF4, 0);
    }
}

TEST_F(SensorCycleTest, AutomaticCyclesReturnInsteadOfWaitingForEver)
{
    const uint32_t h = ulOpenSensor();
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_LPT_MODE, 1));
    const auto start = std::chrono::steady_clock::now();
    const Sample s = sample(h);
    EXPECT_EQ(BISS_TIMEOUT, s.lResult) << "a cycle the master runs by itself is never reported done";
    vExpectUntouched(s);
    EXPECT_LT(dSeconds(start), 10.0);
    EXPECT_NE(std::string::npos, strWrites().find("F4=01")) << "automatic cycles were started";

    // Back to single steps: the master leaves its automatic cycles and answers one cycle at a time.
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_LPT_MODE, 0));
    const Sample first = sample(h);
    ASSERT_EQ(BISS_OK, first.lResult);
    const Sample second = sample(h);
    ASSERT_EQ(BISS_OK, second.lResult);
    EXPECT_EQ((first.vecScd[0] + 3) % 1024, second.vecScd[0]);
}

TEST_F(SensorCycleTest, CallerMistakesAreRefusedWithoutACycle)
{
    const uint32_t h = ulOpenSensor();
    uint32_t aul[2] = {kUntouched, kUntouched};
    bool bValid = false;
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSens(h, nullptr, aul, &bValid));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSens(h, aul, nullptr, &bValid));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSens(h, aul, aul + 1, nullptr));
    EXPECT_EQ(BISS_INVALID_HANDLE, ReadSens(h + 1, aul, aul + 1, &bValid));
    uint8_t ucValid = 7;
    uint32_t ulDone = kUntouched;
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSensBlock(h, 0, aul, aul + 1, &ucValid, &ulDone));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSensBlock(h, 65537, aul, aul + 1, &ucValid, &ulDone));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSensBlock(h, 1, nullptr, aul + 1, &ucValid, &ulDone));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSensBlock(h, 1, aul, nullptr, &ucValid, &ulDone));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSensBlock(h, 1, aul, aul + 1, nullptr, &ulDone));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSensBlock(h, 1, aul, aul + 1, &ucValid, nullptr));
    EXPECT_EQ(BISS_INVALID_HANDLE, ReadSensBlock(h + 1, 1, aul, aul + 1, &ucValid, &ulDone));
    EXPECT_EQ(0u, tbsim_cycle_log_count());
    EXPECT_EQ(kUntouched, aul[0]);
    EXPECT_EQ(7, ucValid);

    // The slave count names the last slave of eight; it cannot go past them.
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 0, MC_E5_LOW_BITS, 8));
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 0, MC_E5_LOW_BITS, 0xFFFFFFFF));
    uint32_t ulCount = 0;
    EXPECT_EQ(BISS_OK, GetMasterConfig(h, 0, MC_E5_LOW_BITS, &ulCount));
    EXPECT_EQ(1u, ulCount) << "the refused value is not stored";
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E5_LOW_BITS, 7));

    const uint32_t hNone = ulOpen(INTERFACE_NONE);
    EXPECT_EQ(BISS_INVALID_INTERFACE, ReadSens(hNone, aul, aul + 1, &bValid));
    EXPECT_EQ(kUntouched, aul[0]);
}

// A block of 1000 cycles of two slaves: exactly 1000 cycles on the line, each value the one its cycle
// carried, many cycles per USB exchange.
TEST_F(SensorCycleTest, ABlockRunsExactlyItsCyclesAndStoresEachCyclesOwnValues)
{
    const std::string strFile = ::testing::TempDir() + "two_slaves.scn";
    std::ofstream(strFile) << "slave1 = registers\nslave1.value1 = 7\nslave1.step1 = 5\nslave1.word2 = 0\n";
    ASSERT_EQ(0, tbsim_load_scenario(strFile.c_str())) << tbsim_last_error();
    const uint32_t h = ulOpenSensor(2);
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 1, MC_DATA2_LENGTH, 0));
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
    tbsim_slave_sensor_set(0, 0, 10, 1000, 3, 0);
    tbsim_slave_sensor_set(0, 1, 24, 0x123456, 0x10, 0);
    tbsim_clear_logs();
    constexpr uint32_t kCycles = 1000;
    std::vector<uint32_t> vecScd(2 * kCycles, kUntouched), vecMcd(2 * kCycles, kUntouched);
    std::vector<uint8_t> vecValid(kCycles, 7);
    uint32_t ulDone = 0;
    ASSERT_EQ(BISS_OK, ReadSensBlock(h, kCycles, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone));
    EXPECT_EQ(kCycles, ulDone);
    for (uint32_t c = 0; c < kCycles; ++c) {
        ASSERT_EQ((1000 + 3 * c) % 1024, vecScd[2 * c]) << c;
        ASSERT_EQ((7 + 5 * c) % 1024, vecScd[2 * c + 1]) << c;
        ASSERT_EQ(0x123456 + 0x10 * c, vecMcd[2 * c]) << c;
        ASSERT_EQ(0u, vecMcd[2 * c + 1]) << "an empty second word, valid";
        ASSERT_EQ(1, vecValid[c]) << c;
    }
    EXPECT_EQ(kCycles, tbsim_cycle_log_count());
    tbsim_counters counters;
    tbsim_get_counters(&counters);
    EXPECT_LE(counters.reads, 100u) << "many cycles per exchange";
    EXPECT_EQ(counters.writes, counters.reads);
}

// A device read lost in the middle of a block: the cycles before the failing exchange are stored,
// nothing for it or after it; the next block starts afresh.
TEST_F(SensorCycleTest, AFailureInsideABlockStoresTheCyclesBeforeItAndNothingAfter)
{
    const uint32_t h = ulOpenSensor();
    tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, 5);
    constexpr uint32_t kCycles = 500;
    std::vector<uint32_t> vecScd(kCycles, kUntouched), vecMcd(kCycles, kUntouched);
    std::vector<uint8_t> vecValid(kCycles, 7);
    uint32_t ulDone = kUntouched;
    EXPECT_EQ(BISS_MASTERCOMM_FAILED,
              ReadSensBlock(h, kCycles, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone));
    ASSERT_GT(ulDone, 1u);
    ASSERT_LT(ulDone, kCycles);
    for (uint32_t c = 0; c < ulDone; ++c) {
        EXPECT_EQ((100 + 3 * c) % 1024, vecScd[c]) << c;
        EXPECT_EQ(5000 + c, vecMcd[c]) << c;
        EXPECT_EQ(1, vecValid[c]);
    }
    for (uint32_t c = ulDone; c < kCycles; ++c) {
        ASSERT_EQ(kUntouched, vecScd[c]) << c;
        ASSERT_EQ(kUntouched, vecMcd[c]) << c;
        ASSERT_EQ(7, vecValid[c]) << c;
    }

    // A cycle error in the first cycle stores nothing.
    tbsim_set_fault(TBSIM_CRC_ERROR, 1, 0);
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_CRCPOLY, 0x43));
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
    vecScd.assign(kCycles, kUntouched);
    ulDone = kUntouched;
    EXPECT_EQ(BISS_COMM_FAILED, ReadSensBlock(h, 3, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone));
    EXPECT_EQ(0u, ulDone);
    EXPECT_EQ(kUntouched, vecScd[0]);
    tbsim_set_fault(TBSIM_CRC_ERROR, 0, 0);
    EXPECT_EQ(BISS_OK, ReadSensBlock(h, 3, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone));
    EXPECT_EQ(3u, ulDone);
}

// A line far slower than the polls of one exchange: the cycle is waited for and read again, never
// reported as failed and never taken from the cycle before, alone and inside a block.
TEST_F(SensorCycleTest, ASlowLineIsWaitedForAndEveryValueIsItsOwnCycles)
{
    const uint32_t h = ulOpenSensor();
    tbsim_set_fault(TBSIM_SLOW_LINE, 1, 600);
    for (uint32_t i = 0; i < 3; ++i) {
        const Sample s = sample(h);
        ASSERT_EQ(BISS_OK, s.lResult);
        EXPECT_EQ((100 + 3 * i) % 1024, s.vecScd[0]);
        EXPECT_EQ(5000 + i, s.vecMcd[0]);
    }
    constexpr uint32_t kCycles = 40;
    std::vector<uint32_t> vecScd(kCycles), vecMcd(kCycles);
    std::vector<uint8_t> vecValid(kCycles);
    uint32_t ulDone = 0;
    ASSERT_EQ(BISS_OK, ReadSensBlock(h, kCycles, vecScd.data(), vecMcd.data(), vecValid.data(), &ulDone));
    for (uint32_t c = 0; c < kCycles; ++c)
        ASSERT_EQ(5003 + c, vecMcd[c]) << c;
    EXPECT_EQ(3 + kCycles, tbsim_cycle_log_count()) << "every cycle ran once";
}

TEST_F(SensorCycleTest, TheSlaveCountMayBeZero)
{
    const uint32_t h = ulOpenSensor(0);
    uint32_t ulScd = kUntouched, ulMcd = kUntouched;
    bool bValid = true;
    EXPECT_EQ(BISS_OK, ReadSens(h, &ulScd, &ulMcd, &bValid));
    EXPECT_EQ(kUntouched, ulScd) << "no slave, no element";
    EXPECT_FALSE(bValid);
}

} // namespace
