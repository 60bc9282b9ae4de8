// The open driver's D2XX functions on the libftdi1 stand-in and the simulated adapter: what a caller of
// the D2XX interface sees, and what reaches the simulated master chip.
#include <chrono>
#include <cstring>
#include <vector>

#include "driver_fixture.h"

namespace {

std::vector<uint8_t> vecWrittenBytes()
{
    std::vector<uint8_t> vec;
    for (size_t i = 0; i < tbsim_call_count(); ++i) {
        if (std::strcmp(tbsim_call_name(i), "FT_Write") != 0)
            continue;
        uint8_t buffer[256];
        const size_t length = tbsim_call_bytes(i, buffer, sizeof buffer);
        vec.insert(vec.end(), buffer, buffer + length);
    }
    return vec;
}

std::vector<std::string> vecCallNames()
{
    std::vector<std::string> vec;
    for (size_t i = 0; i < tbsim_call_count(); ++i)
        vec.emplace_back(tbsim_call_name(i));
    return vec;
}

} // namespace

TEST_F(OpenDriverTest, OpensTheOneAdapterOnceAndLetsItGo)
{
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
    EXPECT_NE(nullptr, hDevice);
    EXPECT_EQ(1, ftdi_standin_opens());

    FT_HANDLE hOther = nullptr;
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, pOpen(1, &hOther)) << "there is one MPSSE device on the bus";
    EXPECT_EQ(FT_DEVICE_NOT_OPENED, pOpen(0, &hOther)) << "the interface is claimed already";
    EXPECT_EQ(nullptr, hOther);
    EXPECT_EQ(FT_INVALID_PARAMETER, pOpen(0, nullptr));

    EXPECT_EQ(FT_OK, pClose(hDevice));
    EXPECT_EQ(FT_INVALID_HANDLE, pClose(hDevice));
    EXPECT_EQ(FT_INVALID_HANDLE, pSetLatencyTimer(hDevice, 16)) << "a closed handle";
    int iForeign = 0;
    EXPECT_EQ(FT_INVALID_HANDLE, pPurge(&iForeign, FT_PURGE_RX));
    hDevice = nullptr;

    // Free again for the next opening.
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
}

TEST_F(OpenDriverTest, SetUpBytesAndAMasterRegisterReadReachTheMasterChip)
{
    vOpenConfigured();
    tbsim_clear_logs();
    ASSERT_EQ(FT_OK, write({0x80, 0x18, 0x1B, 0x82, 0x00, 0x0A, 0x86, 0x00, 0x00, 0x85}));
    ASSERT_EQ(FT_OK, pPurge(hDevice, FT_PURGE_RX));
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB));
    uint8_t aucAnswer[3] = {};
    DWORD got = 0;
    ASSERT_EQ(FT_OK, pRead(hDevice, aucAnswer, 3, &got));
    ASSERT_EQ(3u, got);
    EXPECT_EQ(0x82, aucAnswer[2]) << "the master's id, clocked in during the filler byte";

    const std::vector<uint8_t> vecExpected = {0x80, 0x18, 0x1B, 0x82, 0x00, 0x0A, 0x86, 0x00,
                                              0x00, 0x85, 0x80, 0x10, 0x1B, 0x35, 0x02, 0x00,
                                              0x03, 0xEB, 0x00, 0x80, 0x18, 0x1B, 0x87};
    EXPECT_EQ(vecExpected, vecWrittenBytes()) << "the bytes pass unchanged";
    tbsim_master_access access;
    ASSERT_EQ(0, tbsim_master_log_get(0, &access));
    EXPECT_EQ('R', access.op);
    EXPECT_EQ(0xEB, access.address);

    // A register write frame changes the register on the chip.
    ASSERT_EQ(FT_OK, write({0x80, 0x10, 0x1B, 0x11, 0x02, 0x00, 0x02, 0xE2, 0x5A, 0x80, 0x18, 0x1B}));
    EXPECT_EQ(0x5A, tbsim_master_get(0xE2));
}

TEST_F(OpenDriverTest, SettingsArriveAsTheDeviceCalls)
{
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
    tbsim_clear_logs();
    ASSERT_EQ(FT_OK, pSetLatencyTimer(hDevice, 16));
    ASSERT_EQ(FT_OK, pSetBitMode(hDevice, 0, FT_BITMODE_RESET));
    ASSERT_EQ(FT_OK, pSetBitMode(hDevice, 0, FT_BITMODE_MPSSE));
    ASSERT_EQ(FT_OK, pPurge(hDevice, FT_PURGE_RX | FT_PURGE_TX));
    const std::vector<std::string> vecExpected = {"FT_SetLatencyTimer", "FT_SetBitMode", "FT_SetBitMode",
                                                  "FT_Purge"};
    EXPECT_EQ(vecExpected, vecCallNames());
    EXPECT_EQ(FT_INVALID_PARAMETER, pSetLatencyTimer(hDevice, 0)) << "libftdi1 refuses 0 ms";
}

TEST_F(OpenDriverTest, SerialNumberComesFromTheDevice)
{
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
    char acManufacturer[32], acId[16], acDescription[64], acSerial[16];
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature2 = 0xFFFFFFFF;
    data.Manufacturer = acManufacturer;
    data.ManufacturerId = acId;
    data.Description = acDescription;
    data.SerialNumber = acSerial;
    ASSERT_EQ(FT_OK, pEeRead(hDevice, &data));
    EXPECT_STREQ("TB000001", acSerial);
    EXPECT_STREQ("USB BiSS Adapter", acDescription);
    EXPECT_EQ(0x0403, data.VendorId);
    EXPECT_EQ(0x6010, data.ProductId);

    data.Signature2 = 0;
    EXPECT_EQ(FT_INVALID_PARAMETER, pEeRead(hDevice, &data)) << "not a program-data record";
    EXPECT_EQ(FT_INVALID_PARAMETER, pEeRead(hDevice, nullptr));
}

TEST_F(OpenDriverTest, AnAdapterWithoutSerialNumberStillWorks)
{
    tbsim_set_fault(TBSIM_EEPROM_READ_FAILS, 1, 0);
    vOpenConfigured();
    char acSerial[16] = "unchanged";
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature2 = 0xFFFFFFFF;
    data.SerialNumber = acSerial;
    EXPECT_EQ(FT_EEPROM_READ_FAILED, pEeRead(hDevice, &data));
    EXPECT_STREQ("unchanged", acSerial);
    ASSERT_EQ(FT_OK, writeReadFrame(0xEA));
    uint8_t aucAnswer[3];
    DWORD got = 0;
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 3, &got));
    EXPECT_EQ(3u, got);
}

TEST_F(OpenDriverTest, ReadsCollectTheWholeCountFromPiecemealDeliveries)
{
    vOpenConfigured();
    tbsim_set_fault(TBSIM_SHORT_DEVICE_READ, 1, 1); // one byte per USB read
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB));
    uint8_t aucAnswer[3] = {};
    DWORD got = 0;
    ASSERT_EQ(FT_OK, pRead(hDevice, aucAnswer, 3, &got));
    EXPECT_EQ(3u, got);
    EXPECT_EQ(0x82, aucAnswer[2]);
}

TEST_F(OpenDriverTest, AShortReadEndsAtTheReadTimeOutWithWhatCame)
{
    vOpenConfigured();
    ASSERT_EQ(FT_OK, pSetTimeouts(hDevice, 150, 1000));
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB)); // three bytes will come, four are asked for
    uint8_t aucAnswer[4] = {};
    DWORD got = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 4, &got)) << "a time-out is no error in D2XX";
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(3u, got);
    EXPECT_EQ(0x82, aucAnswer[2]);
    EXPECT_GE(elapsed, std::chrono::milliseconds(150));
    EXPECT_LT(elapsed, std::chrono::seconds(10));

    // Nothing at all: 0 bytes, still FT_OK.
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 1, &got));
    EXPECT_EQ(0u, got);
}

TEST_F(OpenDriverTest, FailuresOfLibftdiBecomeD2xxStatuses)
{
    ftdi_standin_force("ftdi_new", -1);
    EXPECT_EQ(FT_INSUFFICIENT_RESOURCES, pOpen(0, &hDevice));
    ftdi_standin_force("ftdi_new", 0);
    ftdi_standin_force("ftdi_usb_find_all", -3);
    EXPECT_EQ(FT_INSUFFICIENT_RESOURCES, pOpen(0, &hDevice));
    ftdi_standin_force("ftdi_usb_find_all", -5);
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, pOpen(0, &hDevice)) << "the bus cannot be listed";
    ftdi_standin_force("ftdi_usb_find_all", 0);
    for (int iOpenError : {-4 /* no permission */, -5 /* claimed by another program */, -6, -7}) {
        ftdi_standin_force("ftdi_usb_open_dev", iOpenError);
        EXPECT_EQ(FT_DEVICE_NOT_OPENED, pOpen(0, &hDevice)) << iOpenError;
        EXPECT_EQ(nullptr, hDevice);
    }
    ftdi_standin_force("ftdi_usb_open_dev", 0);
    EXPECT_EQ(0, ftdi_standin_live_contexts()) << "failed openings free their context";

    vOpenConfigured();
    ftdi_standin_force("ftdi_set_latency_timer", -1);
    EXPECT_EQ(FT_INVALID_PARAMETER, pSetLatencyTimer(hDevice, 16));
    ftdi_standin_force("ftdi_set_latency_timer", -2);
    EXPECT_EQ(FT_IO_ERROR, pSetLatencyTimer(hDevice, 16));
    ftdi_standin_force("ftdi_set_bitmode", -1);
    EXPECT_EQ(FT_IO_ERROR, pSetBitMode(hDevice, 0, FT_BITMODE_MPSSE));
    ftdi_standin_force("ftdi_tciflush", -1);
    EXPECT_EQ(FT_IO_ERROR, pPurge(hDevice, FT_PURGE_RX));
    ftdi_standin_force("ftdi_write_data", -1);
    DWORD written = 99;
    EXPECT_EQ(FT_IO_ERROR, write({0x87}, &written));
    EXPECT_EQ(0u, written);
    ftdi_standin_force("ftdi_write_data", 2);
    EXPECT_EQ(FT_OK, write({0x85, 0x85, 0x85}, &written)) << "a short write is reported by its count";
    EXPECT_EQ(2u, written);
}

TEST_F(OpenDriverTest, ADeviceThatDisappearsFailsEveryCallPromptlyAndCanBeClosed)
{
    vOpenConfigured();
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB));
    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 1, 0);
    uint8_t aucAnswer[3];
    DWORD got = 7;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FT_IO_ERROR, pRead(hDevice, aucAnswer, 3, &got));
    EXPECT_EQ(0u, got);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900))
        << "no waiting for the time-out on a device that is gone";
    EXPECT_EQ(FT_IO_ERROR, writeReadFrame(0xEB));
    EXPECT_EQ(FT_IO_ERROR, pSetLatencyTimer(hDevice, 16));
    EXPECT_EQ(FT_IO_ERROR, pSetBitMode(hDevice, 0, FT_BITMODE_MPSSE));
    EXPECT_EQ(FT_IO_ERROR, pPurge(hDevice, FT_PURGE_RX));
    EXPECT_EQ(FT_OK, pClose(hDevice)) << "closing releases the handle";
    hDevice = nullptr;
    FT_HANDLE hAgain = nullptr;
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, pOpen(0, &hAgain)) << "no longer on the bus";
}
