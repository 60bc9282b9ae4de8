// Master configuration: the items as stored, the registers WriteMasterConfig writes for each master,
// the verified writes behind it, reading the configuration back, and the start-up handshake.
#include "sim_fixture.h"

namespace {

using MasterConfigTest = SimTest;
using Writes = std::vector<MasterAccess>;

uint32_t ulGet(uint32_t h, uint32_t ulSlave, uint32_t ulItem)
{
    uint32_t ulValue = 0xDEADBEEF;
    EXPECT_EQ(BISS_OK, GetMasterConfig(h, ulSlave, ulItem, &ulValue));
    return ulValue;
}

// The items of a configuration with something distinct in every slave.
void vSetDistinctItems(uint32_t h)
{
    for (uint32_t i = 0; i < 8; ++i) {
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA1_LENGTH, i == 0 ? 24 : i));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA1_CRCPOLY, 0x43));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA1_BIT7, i == 0));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA2_LENGTH, i == 1 ? 0 : 16));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA2_CRCPOLY, 0x0B));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA2_BIT7, i == 2));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA1_FLAG_A, i == 3));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA2_FLAG_A, i == 5));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA1_FLAG_B, i == 6));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, i, MC_DATA2_FLAG_B, i == 7));
    }
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E5_LOW_BITS, 0x0D));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_F5_BIT0, 3));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E6_LOW5, 0x24));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E6_HIGH3, 0x0A));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_EC_VALUE, 0x5C));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E5_BIT0, 7));
}

uint8_t ucLength(uint32_t ulLength, bool bFlag) { return uint8_t((ulLength ? ulLength + 63 : 0) + (bFlag ? 0x80 : 0)); }

// The data-word registers of slave i as vSetDistinctItems sets them.
Writes slaveWrites(uint32_t i, bool bLayout1, bool bLayout2b)
{
    const uint32_t ulLength1 = i == 0 ? 24 : i, ulLength2 = i == 1 ? 0 : 16;
    if (bLayout1)
        return {{'W', uint8_t(0x80 + i), ucLength(ulLength1, i == 0)}, {'W', uint8_t(0x88 + i), 0x21},
                {'W', uint8_t(0x90 + i), ucLength(ulLength2, i == 2)}, {'W', uint8_t(0x98 + i), 0x05}};
    const bool bFlag1 = bLayout2b ? i == 6 : i == 3, bFlag2 = bLayout2b ? i == 7 : i == 5;
    const uint8_t r = uint8_t(0xC0 + 4 * i);
    return {{'W', r, ucLength(ulLength1, bFlag1)}, {'W', uint8_t(r + 1), uint8_t(0x21 + (i == 0 ? 0x80 : 0))},
            {'W', uint8_t(r + 2), ucLength(ulLength2, bFlag2)}, {'W', uint8_t(r + 3), uint8_t(0x05 + (i == 2 ? 0x80 : 0))}};
}

TEST_F(MasterConfigTest, ItemsReadBackAsStored)
{
    uint32_t h = ulOpen(INTERFACE_NONE, BISS_OK);
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_CRCPOLY, 0x43));
    EXPECT_EQ(0x43u, ulGet(h, 0, MC_DATA1_CRCPOLY));
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 1, MC_DATA2_CRCPOLY, 0x42));
    EXPECT_EQ(0x43u, ulGet(h, 1, MC_DATA2_CRCPOLY)) << "the polynomial's lowest bit is implied";
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 2, MC_DATA2_FLAG_B_BOTH, 1));
    EXPECT_EQ(1u, ulGet(h, 2, MC_DATA2_FLAG_B));
    EXPECT_EQ(1u, ulGet(h, 2, MC_STORED_16));
    EXPECT_EQ(1u, ulGet(h, 2, MC_DATA2_FLAG_B_BOTH));
    EXPECT_EQ(0u, ulGet(h, 3, MC_DATA2_FLAG_B)) << "per-slave items stay with their slave";
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 4, MC_STORED_19, 0x1A5));
    EXPECT_EQ(0xA5u, ulGet(h, 4, MC_STORED_19));
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 9));
    EXPECT_EQ(1u, ulGet(h, 0, MC_SLAVE_MODE_C));
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 5, MC_EC_VALUE, 0x1234));
    EXPECT_EQ(0x1234u, ulGet(h, 0, MC_EC_VALUE)) << "master-wide items ignore the slave index";
    EXPECT_EQ(0u, tbsim_call_count());
}

TEST_F(MasterConfigTest, Layout1WritesAndVerifiesEveryRegister)
{
    tbsim_set_master(1, 0x3F, 0);
    uint32_t h = ulOpenUsb();
    vSetDistinctItems(h);
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
    Writes expected = {{'W', 0xE5, 0x05}};
    for (uint32_t i = 0; i < 8; ++i)
        for (const auto &w : slaveWrites(i, true, false))
            expected.push_back(w);
    EXPECT_EQ(expected, vecMasterWrites());
    EXPECT_EQ(0xD7, tbsim_master_get(0x80)) << "length 24 with bit 7";
    // Each write is read back at once.
    auto vecLog = vecMasterLog();
    ASSERT_EQ(2 * expected.size(), vecLog.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ((MasterAccess{'R', expected[i].ucAddress, expected[i].ucValue}), vecLog[2 * i + 1]);
}

TEST_F(MasterConfigTest, Layout2aAnd2bWriteTheirRegisters)
{
    for (uint8_t ucRevision : {0, 1}) {
        SCOPED_TRACE(ucRevision ? "layout 2b" : "layout 2a");
        tbsim_reset_default();
        tbsim_set_master(2, 0x81, ucRevision);
        uint32_t h = ulOpenUsb();
        vSetDistinctItems(h);
        tbsim_clear_logs();
        ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
        Writes expected = {{'W', 0xF5, 0x01}, {'W', 0xE6, 0x44}};
        for (uint32_t i = 0; i < 8; ++i) {
            for (const auto &w : slaveWrites(i, false, ucRevision != 0))
                expected.push_back(w);
            // Flags of data word 2 in the even bits, data word 1 in the odd: slave 3 word 1, slave 5 word 2.
            if (ucRevision)
                expected.insert(expected.end(), {{'W', 0xEC, 0x5C}, {'W', 0xED, 0x80}, {'W', 0xEE, 0x04}, {'W', 0xE5, 0x01}});
        }
        EXPECT_EQ(expected, vecMasterWrites());

        // Unforced, nothing has changed: not one frame.
        tbsim_clear_logs();
        ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
        EXPECT_EQ(0u, tbsim_call_count());
        CloseInterface(h);
        vecOpened.clear();
    }
}

TEST_F(MasterConfigTest, UnforcedWritesOnlyWhatChanged)
{
    tbsim_set_master(2, 0x81, 0);
    uint32_t h = ulOpenUsb();
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_LENGTH, 24));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_F5_BIT0, 1));
    tbsim_clear_logs();
    // A fresh handle's cache holds zeros: registers that are to be zero are not sent.
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
    EXPECT_EQ((Writes{{'W', 0xF5, 0x01}, {'W', 0xC0, 0x57}}), vecMasterWrites());

    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_LENGTH, 0));
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
    EXPECT_EQ((Writes{{'W', 0xC0, 0x00}}), vecMasterWrites());
}

TEST_F(MasterConfigTest, ThreeChannelMasterGetsThreeSlaves)
{
    tbsim_set_master(2, 0x83, 0);
    uint32_t h = ulOpenUsb();
    vSetDistinctItems(h);
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
    auto vecWrites = vecMasterWrites();
    ASSERT_EQ(2u + 3 * 4, vecWrites.size());
    EXPECT_EQ(0xCB, vecWrites.back().ucAddress) << "the last register is that of slave 2";
}

TEST_F(MasterConfigTest, VerifyFailureStopsTheWriteButKeepsTheCache)
{
    tbsim_set_master(2, 0x81, 1);
    uint32_t h = ulOpenUsb();
    // 0x1FF cannot be held by a byte register: 0xFF is written and the read-back differs.
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_EC_VALUE, 0x1FF));
    tbsim_clear_logs();
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMasterConfig(h, 1));
    auto vecWrites = vecMasterWrites();
    ASSERT_FALSE(vecWrites.empty());
    EXPECT_EQ((MasterAccess{'W', 0xEC, 0xFF}), vecWrites.back()) << "the failing register ends the operation";
    // The register does not hold what the cache was told: an unforced write must not take it as done.
    tbsim_clear_logs();
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMasterConfig(h, 0));
    EXPECT_EQ((Writes{{'W', 0xEC, 0xFF}}), vecMasterWrites());
}

TEST_F(MasterConfigTest, ReadMasterConfigTakesTheRegistersApart)
{
    tbsim_set_master(2, 0x81, 1);
    uint32_t h = ulOpenUsb();
    vSetDistinctItems(h);
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
    // One device, one user at a time: the reading handle gets it once the writing one lets go.
    ASSERT_EQ(BISS_OK, CloseInterface(h));
    uint32_t hExpected = ulOpen(INTERFACE_NONE, BISS_OK);
    vSetDistinctItems(hExpected);
    uint32_t h2 = ulOpenUsb();
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, ReadMasterConfig(h2));
    EXPECT_TRUE(vecMasterWrites().empty()) << "reading changes nothing on the master";
    EXPECT_EQ(1u, ulGet(h2, 0, MC_F5_BIT0));
    EXPECT_EQ(0x04u, ulGet(h2, 0, MC_E6_LOW5));
    EXPECT_EQ(2u, ulGet(h2, 0, MC_E6_HIGH3));
    EXPECT_EQ(0x5Cu, ulGet(h2, 0, MC_EC_VALUE));
    EXPECT_EQ(1u, ulGet(h2, 0, MC_E5_BIT0));
    for (uint32_t i = 0; i < 8; ++i)
        for (uint32_t ulItem : {MC_DATA1_LENGTH, MC_DATA1_CRCPOLY, MC_DATA1_BIT7, MC_DATA2_LENGTH, MC_DATA2_CRCPOLY,
                                MC_DATA2_BIT7, MC_DATA1_FLAG_A, MC_DATA2_FLAG_A, MC_DATA1_FLAG_B, MC_DATA2_FLAG_B})
            EXPECT_EQ(ulGet(hExpected, i, ulItem), ulGet(h2, i, ulItem)) << "slave " << i << " item " << ulItem;
}

TEST_F(MasterConfigTest, StartUpOnAReadyMaster)
{
    for (int iVersion : {1, 2}) {
        SCOPED_TRACE(iVersion);
        tbsim_reset_default();
        tbsim_set_master(iVersion, iVersion == 1 ? 0x3F : 0x81, 0);
        uint32_t h = ulOpenUsb();
        tbsim_clear_logs();
        EXPECT_EQ(BISS_OK, InitBissComm(h));
        const uint8_t ucInstruction = iVersion == 1 ? 0xE1 : 0xF4;
        EXPECT_EQ((Writes{{'W', ucInstruction, uint8_t(iVersion == 1 ? 0x08 : 0x10)}}), vecMasterWrites());
        CloseInterface(h);
        vecOpened.clear();
    }

    // A master still busy with an earlier instruction is stopped first, then started.
    tbsim_reset_default();
    tbsim_set_master(2, 0x81, 0);
    uint32_t h = ulOpenUsb();
    tbsim_master_set(0xF4, 0x10);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, InitBissComm(h));
    EXPECT_EQ((Writes{{'W', 0xF4, 0x80}, {'W', 0xF4, 0x10}}), vecMasterWrites());
}

// The three ways start-up can run out of time, each about a second.
TEST_F(MasterConfigTest, StartUpFailures)
{
    uint32_t h = ulOpenUsb();
    tbsim_set_fault(TBSIM_INSTRUCTION_NOT_TAKEN, 1, 0);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, InitBissComm(h));
    EXPECT_EQ((Writes{{'W', 0xF4, 0x10}, {'W', 0xF4, 0x80}}), vecMasterWrites());
    tbsim_set_fault(TBSIM_INSTRUCTION_NOT_TAKEN, 0, 0);

    tbsim_set_fault(TBSIM_NO_EOT, 1, 0);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_INIT_FAILED, InitBissComm(h));
    EXPECT_EQ((Writes{{'W', 0xF4, 0x80}}), vecMasterWrites()) << "the stop instruction, once";
    tbsim_set_fault(TBSIM_NO_EOT, 0, 0);

    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, InitBissComm(h));
}

} // namespace
