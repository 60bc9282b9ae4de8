// Master configuration: items as stored, the registers WriteMasterConfig writes (and verifies) for each
// kind of master, reading them back, and the start-up handshake.
#include "sim_fixture.h"

#include "tarnbus/BissClass.h"

#include <chrono>

namespace {

class MasterConfigTest : public SimTest {
protected:
    static uint32_t ulGet(uint32_t h, uint32_t ulSlave, uint32_t ulItem)
    {
        uint32_t ulValue = 0xDEADBEEF;
        EXPECT_EQ(BISS_OK, GetMasterConfig(h, ulSlave, ulItem, &ulValue));
        return ulValue;
    }

    // Something distinct in every slave: lengths, polynomials 0x43 and 0x0B, one flag per slave.
    static void vSetItems(uint32_t h)
    {
        for (uint32_t i = 0; i < 8; ++i)
            for (auto [ulItem, ulValue] :
                 std::vector<std::pair<uint32_t, uint32_t>>{{MC_DATA1_LENGTH, i == 0 ? 24 : i},
                                                            {MC_DATA1_CRCPOLY, 0x43},
                                                            {MC_DATA1_BIT7, i == 0},
                                                            {MC_DATA2_LENGTH, i == 1 ? 0 : 16},
                                                            {MC_DATA2_CRCPOLY, 0x0B},
                                                            {MC_DATA2_BIT7, i == 2},
                                                            {MC_DATA1_FLAG_A, i == 3},
                                                            {MC_DATA2_FLAG_A, i == 5},
                                                            {MC_DATA1_FLAG_B, i == 6},
                                                            {MC_DATA2_FLAG_B, i == 7}})
                ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, ulItem, ulValue));
        for (auto [ulItem, ulValue] : std::vector<std::pair<uint32_t, uint32_t>>{{MC_E5_LOW_BITS, 5},
                                                                                 {MC_F5_BIT0, 3},
                                                                                 {MC_E6_LOW5, 0x24},
                                                                                 {MC_E6_HIGH3, 0x0A},
                                                                                 {MC_EC_VALUE, 0x5C},
                                                                                 {MC_E5_BIT0, 7}})
            ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, ulItem, ulValue));
    }

    // The writes vSetItems should give: layout 1, 2a (revision 0) or 2b, for the first uiSlaves slaves.
    static std::string strExpected(int iLayout, unsigned uiSlaves)
    {
        auto ucLength = [](unsigned uiLength, bool bFlag) {
            return (uiLength ? uiLength + 63 : 0) + (bFlag ? 0x80 : 0);
        };
        std::string str =
            iLayout == 1 ? strAccess(0xE5, 0x05) : strAccess(0xF5, 0x01) + strAccess(0xE6, 0x44);
        for (unsigned i = 0; i < uiSlaves; ++i) {
            const unsigned uiLength1 = i == 0 ? 24 : i, uiLength2 = i == 1 ? 0 : 16;
            if (iLayout == 1) {
                str += strAccess(0x80 + i, ucLength(uiLength1, i == 0)) + strAccess(0x88 + i, 0x21) +
                       strAccess(0x90 + i, ucLength(uiLength2, i == 2)) + strAccess(0x98 + i, 0x05);
                continue;
            }
            const bool b2b = iLayout == 3;
            str += strAccess(0xC0 + 4 * i, ucLength(uiLength1, b2b ? i == 6 : i == 3)) +
                   strAccess(0xC1 + 4 * i, 0x21 + (i == 0 ? 0x80 : 0)) +
                   strAccess(0xC2 + 4 * i, ucLength(uiLength2, b2b ? i == 7 : i == 5)) +
                   strAccess(0xC3 + 4 * i, 0x05 + (i == 2 ? 0x80 : 0));
            // Word-2 flags in the even bits, word-1 flags in the odd: slave 3 word 1, slave 5 word 2.
            if (b2b)
                str += strAccess(0xEC, 0x5C) + strAccess(0xED, 0x80) + strAccess(0xEE, 0x04) +
                       strAccess(0xE5, 0x01);
        }
        return str.substr(1);
    }
};

TEST_F(MasterConfigTest, ItemsReadBackAsStored)
{
    const uint32_t h = ulOpen(INTERFACE_NONE);
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 1, MC_DATA2_CRCPOLY, 0x42));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 2, MC_DATA2_FLAG_B_BOTH, 1));
    EXPECT_EQ(0x43u, ulGet(h, 1, MC_DATA2_CRCPOLY)) << "the polynomial's lowest bit is implied";
    EXPECT_EQ((std::vector<uint32_t>{1, 1, 1}),
              (std::vector<uint32_t>{ulGet(h, 2, MC_DATA2_FLAG_B), ulGet(h, 2, MC_STORED_16),
                                     ulGet(h, 2, MC_DATA2_FLAG_B_BOTH)}));
}

// For each kind of master: the registers written and verified, nothing sent again unforced, and the
// configuration read back by another handle.
TEST_F(MasterConfigTest, EachLayoutWritesItsRegistersAndReadsThemBack)
{
    struct Master {
        int iVersion;
        uint8_t ucId, ucRevision;
        int iLayout;
        unsigned uiSlaves;
    };
    for (const Master &m : {Master{1, 0x3F, 0, 1, 8}, Master{2, 0x81, 0, 2, 8}, Master{2, 0x81, 1, 3, 8},
                            Master{2, 0x83, 0, 2, 3}}) {
        SCOPED_TRACE(testing::Message() << "layout " << m.iLayout << " id " << int(m.ucId));
        vCloseAll();
        tbsim_reset_default();
        tbsim_set_master(m.iVersion, m.ucId, m.ucRevision);
        const uint32_t h = ulOpen();
        vSetItems(h);
        tbsim_clear_logs();
        ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
        EXPECT_EQ(strExpected(m.iLayout, m.uiSlaves), strWrites());
        std::string strReadBack; // each write read back at once: "WF5 RF5 WE6 RE6 ..."
        for (size_t i = 0; i < strWrites().size(); i += 6)
            strReadBack.append(i ? " W" : "W")
                .append(strWrites(), i, 2)
                .append(" R")
                .append(strWrites(), i, 2);
        EXPECT_EQ(strReadBack, strSteps());
        tbsim_clear_logs();
        ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
        EXPECT_EQ(0u, tbsim_call_count());

        ASSERT_EQ(BISS_OK, CloseInterface(h)); // the reading handle needs the device
        const uint32_t hRead = ulOpen();
        ASSERT_EQ(BISS_OK, ReadMasterConfig(hRead));
        const uint32_t hSet = ulOpen(INTERFACE_NONE);
        vSetItems(hSet);
        // The items this layout carries, as the registers can hold them.
        std::vector<uint32_t> vecItems = {3, 4, 5, 6, 7, 8};
        if (m.iLayout == 1)
            vecItems.push_back(MC_E5_LOW_BITS);
        else
            vecItems.insert(vecItems.end(),
                            {MC_F5_BIT0, MC_E6_LOW5, MC_E6_HIGH3, MC_DATA1_FLAG_A, MC_DATA2_FLAG_A});
        if (m.iLayout == 3)
            vecItems.insert(vecItems.end(), {MC_DATA1_FLAG_B, MC_DATA2_FLAG_B, MC_E5_BIT0, MC_EC_VALUE});
        auto ulHeld = [](uint32_t ulItem, uint32_t ulValue) {
            return ulValue & (ulItem == MC_F5_BIT0       ? 1
                              : ulItem == MC_E6_LOW5     ? 0x1F
                              : ulItem == MC_E6_HIGH3    ? 7
                              : ulItem == MC_E5_LOW_BITS ? 7
                                                         : ~0u);
        };
        for (uint32_t ulItem : vecItems)
            for (uint32_t i = 0; i < m.uiSlaves; ++i)
                EXPECT_EQ(ulHeld(ulItem, ulGet(hSet, i, ulItem)), ulGet(hRead, i, ulItem))
                    << "slave " << i << " item " << ulItem;
    }
}

TEST_F(MasterConfigTest, UnforcedWritesOnlyWhatChangedAndRetriesWhatFailed)
{
    tbsim_set_master(2, 0x81, 1);
    const uint32_t h = ulOpen();
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_LENGTH, 24));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_F5_BIT0, 1));
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
    EXPECT_EQ("F5=01 C0=57", strWrites()) << "after opening every register counts as 0";

    // 0x1FF does not fit a byte register: 0xFF is written, read back differently, and the write ends.
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_LENGTH, 0));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_EC_VALUE, 0x1FF));
    tbsim_clear_logs();
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMasterConfig(h, 0));
    EXPECT_EQ("C0=00 EC=FF", strWrites());
    tbsim_clear_logs();
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMasterConfig(h, 0))
        << "a register that failed is not taken as done";
    EXPECT_EQ("EC=FF", strWrites());
}

// A polynomial wider than its register is refused, not cut into the register's flag bit: eight bits
// (without the implied x^0 term) on a version-1 master, seven on the others.
TEST_F(MasterConfigTest, PolynomialsThatDoNotFitTheirRegisterAreRefused)
{
    tbsim_set_master(2, 0x81, 0);
    const uint32_t h = ulOpen();
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_CRCPOLY, 0x43));
    for (uint32_t ulItem : {MC_DATA1_CRCPOLY, MC_DATA2_CRCPOLY})
        for (uint32_t ulPoly : {0x100u, 0x143u, 0x1FFu, 0x200u})
            EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 0, ulItem, ulPoly))
                << ulItem << " " << ulPoly;
    EXPECT_EQ(0x43u, ulGet(h, 0, MC_DATA1_CRCPOLY)) << "nothing stored";
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA2_CRCPOLY, 0xFF));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_BIT7, 0));
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
    EXPECT_EQ(0x21, tbsim_master_get(0xC1)) << "the flag bit stays the flag's";
    EXPECT_EQ(0x7F, tbsim_master_get(0xC3));
    const uint32_t hNone = ulOpen(INTERFACE_NONE); // no master known: the narrower register
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(hNone, 0, MC_DATA1_CRCPOLY, 0x143));

    vCloseAll();
    tbsim_reset_default();
    tbsim_set_master(1, 0x3F, 0);
    const uint32_t h1 = ulOpen();
    ASSERT_EQ(BISS_OK, SetMasterConfig(h1, 3, MC_DATA2_CRCPOLY, 0x1FF));
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h1, 3, MC_DATA1_CRCPOLY, 0x200));
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h1, 1));
    EXPECT_EQ(0xFF, tbsim_master_get(0x9B));
}

// A polynomial a version-1 master took does not reach a version-2 master found later on the same
// object: nothing is written.
TEST_F(MasterConfigTest, StoredPolynomialTooWideForANewMasterWritesNothing)
{
    tbsim_set_master(1, 0x3F, 0);
    BissClass biss;
    ASSERT_EQ(BISS_OK, biss.eSetInterface(INTERFACE_USB, ""));
    ASSERT_EQ(BISS_OK, biss.eSetMasterConfig(0, MC_DATA1_CRCPOLY, 0x143));
    tbsim_set_master(2, 0x81, 0);
    ASSERT_EQ(BISS_OK, biss.eSetInterface(INTERFACE_USB, ""));
    tbsim_clear_logs();
    EXPECT_EQ(BISS_INVALID_PARAMETER, biss.eWriteMasterConfig(1));
    EXPECT_EQ("", strWrites());
}

TEST_F(MasterConfigTest, StartUpOnEachMasterAndOnABusyOne)
{
    tbsim_set_master(1, 0x3F, 0);
    ulOpen();
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, InitBissComm(vecOpened.back()));
    EXPECT_EQ("E1=08", strWrites()) << "version 1; version 2 below";
    vCloseAll();
    tbsim_reset_default();
    ulOpen();
    tbsim_master_set(0xF4, 0x10); // an instruction still to run: the master is stopped first
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, InitBissComm(vecOpened.back()));
    EXPECT_EQ("F4=80 F4=10", strWrites());
}

// A master whose configuration write failed holds a data layout nobody chose: sensor cycles and
// register-mode-C frames are refused, with no cycle run, until a configuration write succeeds.
TEST_F(MasterConfigTest, FailedConfigurationWriteRefusesCyclesUntilOneSucceeds)
{
    const uint32_t h = ulOpen();
    for (auto [ulItem, ulValue] : std::vector<std::pair<uint32_t, uint32_t>>{{MC_DATA1_LENGTH, 10},
                                                                             {MC_DATA2_LENGTH, 24},
                                                                             {MC_SLAVE_MODE_C, 1},
                                                                             {MC_E5_LOW_BITS, 1},
                                                                             {MC_E6_LOW5, 4}})
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, ulItem, ulValue));
    tbsim_slave_sensor_set(0, 0, 10, 100, 3, 0);
    uint32_t ulScd = 0, ulMcd = 0, ulCount = 1;
    bool bValid = false;
    uint8_t ucByte = 0;
    auto vExpectRefused = [&](const char *strWhen) {
        SCOPED_TRACE(strWhen);
        tbsim_clear_logs();
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadSens(h, &ulScd, &ulMcd, &bValid));
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteSlaveRegister(h, 0, 0, 3, &ulCount, &ucByte, 0xFF));
        EXPECT_EQ(0u, tbsim_cycle_log_count());
    };
    // The first register written (0xF5) fails: nothing of the layout reached the master.
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMasterConfig(h, 1));
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 0, 0);
    vExpectRefused("first register failed");
    // A later register fails: slave 0's first word is configured, its second is not.
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 6);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMasterConfig(h, 1));
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 0, 0);
    vExpectRefused("a later register failed");
    ASSERT_EQ(BISS_OK, InitBissComm(h)) << "the start-up does not mend the configuration";
    vExpectRefused("after the start-up");

    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0)) << "an unforced write sends the registers that failed";
    ASSERT_EQ(BISS_OK, ReadSens(h, &ulScd, &ulMcd, &bValid));
    EXPECT_EQ(100u, ulScd);
    ulCount = 1;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    EXPECT_EQ(1, ucByte);
}

// A query that fails while the library waits on the master ends the wait at once with the failure,
// however long the master would still be busy: it is not waited on until the time limit.
TEST_F(MasterConfigTest, FailedQueryEndsTheWaitAtOnce)
{
    const uint32_t h = ulOpen();
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, InitBissComm(h));
    tbsim_counters c{};
    tbsim_get_counters(&c);
    // The master now stays busy for 400 ms; the first read after those of a quick start-up is one of
    // the end-of-transmission queries.
    tbsim_set_fault(TBSIM_MASTER_BUSY, 1, 400);
    tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, static_cast<uint32_t>(c.reads));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, InitBissComm(h));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                  .count(),
              200);
}

// Each time-out takes about a second.
TEST_F(MasterConfigTest, StartUpFailures)
{
    const uint32_t h = ulOpen();
    tbsim_set_fault(TBSIM_INSTRUCTION_NOT_TAKEN, 1, 0);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, InitBissComm(h));
    EXPECT_EQ("F4=10", strWrites().substr(0, 5));
    EXPECT_EQ(0x80, tbsim_master_get(0xF4))
        << "stopped at the end (a second of polling may overflow the log)";
    tbsim_set_fault(TBSIM_INSTRUCTION_NOT_TAKEN, 0, 0);

    tbsim_set_fault(TBSIM_NO_EOT, 1, 0);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_INIT_FAILED, InitBissComm(h));
    EXPECT_EQ("F4=80", strWrites()) << "the stop instruction, once";
    tbsim_set_fault(TBSIM_NO_EOT, 0, 0);

    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, InitBissComm(h));
}

} // namespace
