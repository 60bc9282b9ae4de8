// What reaches the FTDI device: the opening sequence and one SPI frame per master register access.
#include "sim_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using UsbTransportTest = SimTest;

Bytes writeFrame(uint8_t ucAddress, uint8_t ucData)
{
    return {0x80, 0x10, 0x1B, 0x11, 0x02, 0x00, 0x02, ucAddress, ucData, 0x80, 0x18, 0x1B};
}

Bytes readFrame(uint8_t ucAddress)
{
    return {0x80, 0x10, 0x1B, 0x35, 0x02, 0x00, 0x03, ucAddress, 0x00, 0x80, 0x18, 0x1B, 0x87};
}

TEST_F(UsbTransportTest, OpeningConfiguresTheDeviceThenDetectsAndTestsTheMaster)
{
    tbsim_set_master(2, 0x81, 0x00);
    tbsim_master_set(0xE2, 0x35);
    ulOpenUsb();
    const auto vecAll = vecCalls();
    const std::vector<std::string> vecSetup = {"FT_Open",    "FT_SetLatencyTimer", "FT_SetBitMode", "FT_SetBitMode",
                                               "FT_SetTimeouts", "FT_Write",       "FT_Purge",      "FT_EE_Read"};
    ASSERT_GE(vecAll.size(), vecSetup.size());
    for (size_t i = 0; i < vecSetup.size(); ++i)
        EXPECT_EQ(vecSetup[i], vecAll[i].strName) << "call " << i;
    EXPECT_EQ((Bytes{0x80, 0x18, 0x1B, 0x82, 0x00, 0x0A, 0x86, 0x00, 0x00, 0x85}), vecAll[5].vecBytes);

    // Then only register frames: a write is one device write, a read one device write and one read.
    for (size_t i = vecSetup.size(); i < vecAll.size(); ++i) {
        ASSERT_EQ("FT_Write", vecAll[i].strName) << "call " << i;
        if (vecAll[i].vecBytes.size() == 13) {
            ASSERT_LT(i + 1, vecAll.size());
            EXPECT_EQ("FT_Read", vecAll[i + 1].strName);
            EXPECT_EQ(3u, vecAll[i + 1].vecBytes.size());
            ++i;
        } else {
            EXPECT_EQ(12u, vecAll[i].vecBytes.size());
        }
    }

    // Version 2 detection (id, revision cleared and read) and the test of register 0xE2, left as it was.
    const std::vector<MasterAccess> vecExpected = {
        {'R', 0xEB, 0x81}, {'W', 0xEA, 0x00}, {'R', 0xEA, 0x00}, {'R', 0xE2, 0x35},
        {'W', 0xE2, 0xCA}, {'R', 0xE2, 0xCA}, {'W', 0xE2, 0x35},
    };
    EXPECT_EQ(vecExpected, vecMasterLog());
    EXPECT_EQ(0x35, tbsim_master_get(0xE2));
}

TEST_F(UsbTransportTest, VersionOneMasterIsNotAskedForItsRevision)
{
    tbsim_set_master(1, 0x3F, 0x00);
    ulOpenUsb();
    auto vecLog = vecMasterLog();
    ASSERT_GE(vecLog.size(), 2u);
    EXPECT_EQ((MasterAccess{'R', 0xEB, 0x3F}), vecLog[0]);
    EXPECT_EQ(0xE2, vecLog[1].ucAddress) << "the communication test follows at once";
}

TEST_F(UsbTransportTest, EachRegisterAccessIsOneFrame)
{
    uint32_t h = ulOpenUsb();
    tbsim_clear_logs();
    // Kind 4 takes the low 8 bits of address and data.
    EXPECT_EQ(BISS_OK, WriteMaster(h, 0x1E2, 0x112, 0xFFFFFFFF));
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0x1E2, &ulValue));
    EXPECT_EQ(0x12u, ulValue);

    auto vecAll = vecCalls();
    ASSERT_EQ(3u, vecAll.size());
    EXPECT_EQ("FT_Write", vecAll[0].strName);
    EXPECT_EQ(writeFrame(0xE2, 0x12), vecAll[0].vecBytes);
    EXPECT_EQ("FT_Write", vecAll[1].strName);
    EXPECT_EQ(readFrame(0xE2), vecAll[1].vecBytes);
    EXPECT_EQ("FT_Read", vecAll[2].strName);
    EXPECT_EQ(3u, vecAll[2].vecBytes.size());
    tbsim_counters c = counters();
    EXPECT_EQ(2u, c.writes);
    EXPECT_EQ(25u, c.bytes_written);
    EXPECT_EQ(1u, c.reads);
    EXPECT_EQ(3u, c.bytes_read);
}

TEST_F(UsbTransportTest, MaskedWriteKeepsTheBitsOutsideTheMask)
{
    uint32_t h = ulOpenUsb();
    tbsim_master_set(0xE2, 0xA5);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, WriteMaster(h, 0xE2, 0x3C, 0x0F));
    EXPECT_EQ(0xAC, tbsim_master_get(0xE2));
    EXPECT_EQ((std::vector<MasterAccess>{{'R', 0xE2, 0xA5}, {'W', 0xE2, 0xAC}}), vecMasterLog());
}

TEST_F(UsbTransportTest, DeviceFailuresAreMasterCommunicationFailures)
{
    uint32_t h = ulOpenUsb();
    tbsim_master_set(0xE2, 0x5A);
    uint32_t ulValue = 0x1234;

    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMaster(h, 0xE2, 1, 0xFFFFFFFF));
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(h, 0xE2, &ulValue));
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 0, 0);

    // A write cut short fails, and the device is brought back in step: the next frame works.
    tbsim_set_fault(TBSIM_SHORT_DEVICE_WRITE, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMaster(h, 0xE3, 1, 0xFFFFFFFF));
    tbsim_set_fault(TBSIM_SHORT_DEVICE_WRITE, 0, 0);
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0x5Au, ulValue);

    // An answer short of its three bytes fails, and its late bytes are not taken for the next answer.
    tbsim_set_fault(TBSIM_SHORT_DEVICE_READ, 1, 2);
    ulValue = 0x1234;
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0x1234u, ulValue) << "a failed read writes no result";
    tbsim_set_fault(TBSIM_SHORT_DEVICE_READ, 0, 0);
    tbsim_master_set(0xE4, 0x77);
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE4, &ulValue));
    EXPECT_EQ(0x77u, ulValue);
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0x5Au, ulValue);
}

TEST_F(UsbTransportTest, AbsentOrSilentAdapterFailsTheCommunicationTest)
{
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    ulOpen(INTERFACE_USB, BISS_MASTERCOMM_FAILED);
    EXPECT_EQ((std::vector<std::string>{"FT_Open"}), vecCallNames()) << "no device call without a device";

    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 0, 0);
    tbsim_set_fault(TBSIM_MASTER_SILENT, 1, 0);
    ulOpen(INTERFACE_USB, BISS_MASTERCOMM_FAILED);
}

} // namespace
