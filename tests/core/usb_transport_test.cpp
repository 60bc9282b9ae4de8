// What reaches the FTDI device: the opening sequence and one SPI frame per master register access.
#include "sim_fixture.h"
#include "test_env.h"

#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

using UsbTransportTest = SimTest;

// Device calls as "FT_Name" and their bytes.
std::vector<std::pair<std::string, Bytes>> vecCalls()
{
    std::vector<std::pair<std::string, Bytes>> vec;
    for (size_t i = 0; i < tbsim_call_count(); ++i) {
        Bytes vecBytes(4096);
        vecBytes.resize(std::min<size_t>(tbsim_call_bytes(i, vecBytes.data(), vecBytes.size()), 4096));
        vec.emplace_back(tbsim_call_name(i), std::move(vecBytes));
    }
    return vec;
}

TEST_F(UsbTransportTest, OpeningSetsUpTheDeviceThenDetectsAndTestsTheMaster)
{
    tbsim_set_master(2, 0x81, 0x00);
    tbsim_master_set(0xE2, 0x35);
    ulOpen();
    const auto vecAll = vecCalls();
    const std::vector<std::string> vecSetup = {"FT_Open",       "FT_SetLatencyTimer", "FT_SetBitMode",
                                               "FT_SetBitMode", "FT_SetTimeouts",     "FT_Write",
                                               "FT_Purge",      "FT_EE_Read"};
    ASSERT_GT(vecAll.size(), vecSetup.size());
    for (size_t i = 0; i < vecSetup.size(); ++i)
        EXPECT_EQ(vecSetup[i], vecAll[i].first) << i;
    EXPECT_EQ((Bytes{0x80, 0x18, 0x1B, 0x82, 0x00, 0x0A, 0x86, 0x00, 0x00, 0x85}), vecAll[5].second);
    // Then register frames only: a write of 12 bytes, or a read of 13 bytes answered by 3.
    for (size_t i = vecSetup.size(); i < vecAll.size(); ++i) {
        const size_t uiSize = vecAll[i].second.size();
        ASSERT_TRUE(vecAll[i].first == "FT_Write" && (uiSize == 12 || uiSize == 13)) << i;
        if (uiSize == 13) {
            ASSERT_EQ("FT_Read", vecAll.at(++i).first);
            EXPECT_EQ(3u, vecAll[i].second.size());
        }
    }
    // Version 2 detection, then the test of register 0xE2, which keeps its value.
    EXPECT_EQ("REB WEA REA RE2 WE2 RE2 WE2", strSteps());
    EXPECT_EQ("EA=00 E2=CA E2=35", strWrites());
}

// The device gives up a read or write after one second; without the limit a dead link would wait forever.
TEST_F(UsbTransportTest, DeviceTimeOutsAreOneSecond)
{
    ulOpen();
    uint32_t ulRead = 0, ulWrite = 0;
    tbsim_device_timeouts(&ulRead, &ulWrite);
    EXPECT_EQ(1000u, ulRead);
    EXPECT_EQ(1000u, ulWrite);
}

// Bit 7 or bit 6 of the id makes a version-2 master: its revision register is written and read.
TEST_F(UsbTransportTest, MasterVersionFollowsTheTwoTopBitsOfTheId)
{
    for (uint8_t ucId : {0x40, 0x7F, 0x81, 0x3F}) {
        vCloseAll();
        tbsim_reset_default();
        tbsim_set_master(ucId & 0xC0 ? 2 : 1, ucId, 0x05);
        ulOpen();
        EXPECT_EQ(ucId & 0xC0 ? "REB WEA REA RE2 WE2 RE2 WE2" : "REB RE2 WE2 RE2 WE2", strSteps())
            << int(ucId);
    }
}

TEST_F(UsbTransportTest, EachAccessIsOneFrameWithTheLowByteOfAddressAndData)
{
    const uint32_t h = ulOpen();
    tbsim_master_set(0xE3, 0xA5);
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, WriteMaster(h, 0x1E2, 0x112, 0xFFFFFFFF));
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0x1E2, &ulValue));
    EXPECT_EQ(0x12u, ulValue);
    const auto vecAll = vecCalls();
    ASSERT_EQ(3u, vecAll.size());
    EXPECT_EQ((Bytes{0x80, 0x10, 0x1B, 0x11, 0x02, 0x00, 0x02, 0xE2, 0x12, 0x80, 0x18, 0x1B}),
              vecAll[0].second);
    EXPECT_EQ((Bytes{0x80, 0x10, 0x1B, 0x35, 0x02, 0x00, 0x03, 0xE2, 0x00, 0x80, 0x18, 0x1B, 0x87}),
              vecAll[1].second);
    EXPECT_EQ("FT_Read", vecAll[2].first);

    // A mask keeps the register's other bits: one read, one write.
    tbsim_clear_logs();
    EXPECT_EQ(BISS_OK, WriteMaster(h, 0xE3, 0x3C, 0x0F));
    EXPECT_EQ(0xAC, tbsim_master_get(0xE3));
    EXPECT_EQ("RE3 WE3", strSteps());
}

TEST_F(UsbTransportTest, DeviceFailuresFailTheAccessAndLeaveNoTrace)
{
    const uint32_t h = ulOpen();
    tbsim_master_set(0xE2, 0x5A);
    tbsim_master_set(0xE4, 0x77);
    uint32_t ulValue = 0x1234;
    auto vExpectWorking = [&] {
        EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE2, &ulValue));
        EXPECT_EQ(0x5Au, ulValue);
    };

    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMaster(h, 0xE2, 1, 0xFFFFFFFF));
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0x1234u, ulValue) << "a failed read writes no result";
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 0, 0);
    vExpectWorking();

    // A write cut short leaves the engine mid-command: the next frame must still arrive intact.
    tbsim_set_fault(TBSIM_SHORT_DEVICE_WRITE, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteMaster(h, 0xE3, 1, 0xFFFFFFFF));
    tbsim_set_fault(TBSIM_SHORT_DEVICE_WRITE, 0, 0);
    vExpectWorking();

    // An answer short of its three bytes fails, and its late bytes are not taken for the next answer.
    tbsim_set_fault(TBSIM_SHORT_DEVICE_READ, 1, 2);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(h, 0xE4, &ulValue));
    tbsim_set_fault(TBSIM_SHORT_DEVICE_READ, 0, 0);
    vExpectWorking();
}

// Each read either brings the register's own value or fails; an answer that failed or came late is
// never taken for a later one, and the frames after the recovery are plain frames again.
TEST_F(UsbTransportTest, NoReadTakesTheAnswerOfAnEarlierOne)
{
    const uint32_t h = ulOpen();
    tbsim_master_set(0xE2, 0x5A);
    tbsim_master_set(0xE4, 0x77);
    const struct {
        tbsim_fault eFault;
        uint32_t ulArg;
        const char *strWhat;
        bool bReadFails; // the FT_Read of the answer itself fails or comes short
    } aCases[] = {
        {TBSIM_DEVICE_READ_FAILS, 0, "a read that fails and leaves its answer queued", true},
        {TBSIM_LATE_DEVICE_READ, 0, "an answer that arrives after the purge", true},
        {TBSIM_SHORT_DEVICE_READ, 2, "an answer cut short", true},
        {TBSIM_SHORT_DEVICE_WRITE, 0, "a read frame cut short, its answer already queued", false},
    };
    for (const auto &c : aCases) {
        SCOPED_TRACE(c.strWhat);
        uint32_t ulValue = 0x1234;
        tbsim_set_fault(c.eFault, 1, c.ulArg);
        tbsim_clear_logs();
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(h, 0xE4, &ulValue));
        EXPECT_EQ(0x1234u, ulValue);
        if (c.bReadFails) {
            // What is left of the answer is dropped at once, not only when the next access comes.
            const auto vecFailed = vecCalls();
            ASSERT_GE(vecFailed.size(), 2u);
            EXPECT_EQ("FT_Read", vecFailed[vecFailed.size() - 2].first);
            EXPECT_EQ("FT_Purge", vecFailed.back().first);
        }
        tbsim_set_fault(c.eFault, 0, 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE2, &ulValue));
            EXPECT_EQ(0x5Au, ulValue);
        }
        tbsim_clear_logs();
        EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE4, &ulValue));
        EXPECT_EQ(0x77u, ulValue);
        const auto vecAll = vecCalls();
        ASSERT_EQ(2u, vecAll.size()) << "back to one frame per access";
        EXPECT_EQ(13u, vecAll[0].second.size());
    }
}

// A sensor cycle travels as one batch: one device write and one device read, split only where the
// adapter's 4 KiB buffers end; a batch whose answer failed or came late is never taken for the next.
TEST_F(UsbTransportTest, ABatchIsOneExchangeSplitOnlyAtTheDeviceBuffers)
{
    const uint32_t h = ulOpen();
    vStartLine(h, false, {{MC_DATA1_LENGTH, 10}, {MC_DATA2_LENGTH, 24}});
    uint32_t ulScd = 0, ulMcd = 0;
    bool bValid = false;
    for (const tbsim_fault eFault :
         {TBSIM_DEVICE_READ_FAILS, TBSIM_LATE_DEVICE_READ, TBSIM_SHORT_DEVICE_WRITE}) {
        SCOPED_TRACE(eFault);
        tbsim_set_fault(eFault, 1, 0);
        ulScd = 0xDEAD;
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadSens(h, &ulScd, &ulMcd, &bValid));
        EXPECT_EQ(0xDEADu, ulScd) << "a failed flush fills nothing";
        tbsim_set_fault(eFault, 0, 0);
        const uint64_t ullNext = tbsim_slave_sensor_value(0, 0);
        ASSERT_EQ(BISS_OK, ReadSens(h, &ulScd, &ulMcd, &bValid));
        EXPECT_EQ(ullNext % 1024, ulScd) << "the cycle's own value";
        tbsim_clear_logs();
        ASSERT_EQ(BISS_OK, ReadSens(h, &ulScd, &ulMcd, &bValid));
        const auto vecAll = vecCalls();
        ASSERT_EQ(2u, vecAll.size()) << "one write, one read";
        EXPECT_EQ("FT_Write", vecAll[0].first);
    }

    // Long polls and eight slaves of 64-bit words: more frames than one transmit buffer holds.
    for (uint32_t s = 0; s < 8; ++s) {
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, s, MC_DATA1_LENGTH, 64));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, s, MC_DATA2_LENGTH, 64));
    }
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E5_LOW_BITS, 7));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E6_LOW5, 0x1F));
    ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 0));
    tbsim_clear_logs();
    ReadSens(h, &ulScd, &ulMcd, &bValid); // the slaves behind the encoder do not answer: not needed here
    std::vector<size_t> vecWrites;
    for (size_t i = 0; i < tbsim_call_count(); ++i)
        if (std::string(tbsim_call_name(i)) == "FT_Write")
            vecWrites.push_back(tbsim_call_bytes(i, nullptr, 0));
    ASSERT_EQ(2u, vecWrites.size());
    EXPECT_EQ(341u * 12 + 1, vecWrites[0]) << "as many whole frames as 4 KiB hold, and send-immediate";
    tbsim_counters c;
    tbsim_get_counters(&c);
    EXPECT_EQ(2u, c.reads);
    EXPECT_EQ(3 * (c.bytes_written - 2) / 12, c.bytes_read + 3) << "three answer bytes per read frame";
}

// TARNBUS_TRACE names a file: one line per failed driver call and per refused step, nothing while all
// goes well, and nothing at all while it is not set.
TEST_F(UsbTransportTest, TraceNamesTheFailedCallAndTheRefusedStep)
{
    const std::string strFile = ::testing::TempDir() + "tarnbus_trace_" + std::to_string(::getpid());
    std::remove(strFile.c_str());
    auto strTrace = [&] {
        std::ifstream in(strFile);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const uint32_t h = ulOpen();
    uint32_t ulValue = 0;
    tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(h, 0xE4, &ulValue));
    EXPECT_EQ("", strTrace()) << "off by default";

    vSetEnv("TARNBUS_TRACE", strFile.c_str());
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE4, &ulValue));
    EXPECT_EQ("", strTrace()) << "a good access leaves no line";
    tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(h, 0xE4, &ulValue));
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    uint8_t ucByte = 0;
    uint32_t ulCount = 1;
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &ucByte));
    vUnsetEnv("TARNBUS_TRACE");
    const std::string strLines = strTrace();
    std::remove(strFile.c_str());
    EXPECT_NE(std::string::npos,
              strLines.find("tarnbus: FT_Read failed: status 4, 0 of 3 bytes, master register 0xE4\n"))
        << strLines;
    EXPECT_NE(std::string::npos,
              strLines.find("tarnbus: reading master register 0xE4 refused: BISS_MASTERCOMM_FAILED\n"))
        << strLines;
    EXPECT_NE(std::string::npos,
              strLines.find("tarnbus: slave register transfer refused: master status register 0xF0 = "))
        << strLines;
}

TEST_F(UsbTransportTest, AbsentAdapterFailsTheCommunicationTest)
{
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    ulOpen(INTERFACE_USB, BISS_MASTERCOMM_FAILED);
    ASSERT_EQ(1u, vecCalls().size()) << "nothing after the failed FT_Open";
    // A device that fails while being set up is let go: no frame goes to a half-configured device.
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 0, 0);
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 0);
    tbsim_clear_logs();
    ulOpen(INTERFACE_USB, BISS_MASTERCOMM_FAILED);
    ASSERT_EQ(7u, tbsim_call_count());
    EXPECT_EQ("FT_Close", vecCalls().back().first) << "nothing after the failed set-up but letting go";
}

} // namespace
