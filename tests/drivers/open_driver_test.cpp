// The open driver's D2XX functions on Debian's libftdi1 and the USB model of the adapter: what a
// caller of the D2XX interface sees, what crosses the USB, and what reaches the simulated master chip.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

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

// The high GPIO byte set to each given value and read back: answers the engine gives at once.
std::vector<uint8_t> vecEcho(const std::vector<uint8_t> &vecData)
{
    std::vector<uint8_t> vec;
    for (uint8_t b : vecData)
        vec.insert(vec.end(), {0x82, b, 0xFF, 0x83});
    vec.push_back(0x87);
    return vec;
}

// Loop-back on, then one shift of the given bytes out and in: the answer is the bytes themselves.
std::vector<uint8_t> vecLoopback(const std::vector<uint8_t> &vecData, bool bSendImmediate = true)
{
    const size_t n = vecData.size() - 1;
    std::vector<uint8_t> vec = {0x84, 0x35, uint8_t(n), uint8_t(n >> 8)};
    for (uint8_t b : vecData)
        vec.push_back(b);
    if (bSendImmediate)
        vec.push_back(0x87);
    return vec;
}

std::vector<uint8_t> vecPattern(size_t n)
{
    std::vector<uint8_t> vec(n);
    for (size_t i = 0; i < n; ++i)
        vec[i] = uint8_t(i * 7 + i / 256);
    return vec;
}

FT_PROGRAM_DATA programData(char *pcManufacturer, char *pcId, char *pcDescription, char *pcSerial)
{
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature2 = 0xFFFFFFFF;
    data.Manufacturer = pcManufacturer;
    data.ManufacturerId = pcId;
    data.Description = pcDescription;
    data.SerialNumber = pcSerial;
    return data;
}

} // namespace

TEST_F(OpenDriverTest, OpensTheOneAdapterOnceAndLetsItGo)
{
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
    EXPECT_NE(nullptr, hDevice);
    EXPECT_EQ(1u, modelCounters().claims);

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
    EXPECT_EQ(0, modelCounters().open_handles) << "closing released the device";

    // Free again for the next opening.
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
}

TEST_F(OpenDriverTest, AnExchangeIsOneBulkOutAndOneBulkInAndReachesTheMasterChip)
{
    vOpenConfigured();
    tbsim_clear_logs();
    ASSERT_EQ(FT_OK, write({0x80, 0x18, 0x1B, 0x82, 0x00, 0x0A, 0x86, 0x00, 0x00, 0x85}));
    ASSERT_EQ(FT_OK, pPurge(hDevice, FT_PURGE_RX));
    const usbmodel_counters before = modelCounters();
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB));
    uint8_t aucAnswer[3] = {};
    DWORD got = 0;
    ASSERT_EQ(FT_OK, pRead(hDevice, aucAnswer, 3, &got));
    ASSERT_EQ(3u, got);
    EXPECT_EQ(0x82, aucAnswer[2]) << "the master's id, clocked in during the filler byte";
    const usbmodel_counters after = modelCounters();
    EXPECT_EQ(1u, after.bulk_out - before.bulk_out);
    EXPECT_EQ(1u, after.bulk_in - before.bulk_in) << "send-immediate brings the answer in one packet";
    EXPECT_EQ(0u, after.control - before.control);
    EXPECT_LT(usbmodel_clock_us(), 100000u) << "no latency period waited for";

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

    // A long write is one bulk transfer too, split into packets by the bus alone.
    const usbmodel_counters beforeLong = modelCounters();
    ASSERT_EQ(FT_OK, write(std::vector<uint8_t>(20000, 0x85)));
    EXPECT_EQ(1u, modelCounters().bulk_out - beforeLong.bulk_out);
}

TEST_F(OpenDriverTest, SettingsArriveAsTheChipsVendorRequests)
{
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
    const auto vecOpening = modelLog();
    ASSERT_FALSE(vecOpening.empty());
    EXPECT_EQ("SET_LATENCY_TIMER 2 A", vecOpening.back()) << "the shortest useful latency from the start";
    EXPECT_NE(vecOpening.end(), std::find(vecOpening.begin(), vecOpening.end(), "RESET A"));
    const size_t uiOpening = vecOpening.size();
    ASSERT_EQ(FT_OK, pSetLatencyTimer(hDevice, 16));
    ASSERT_EQ(FT_OK, pSetBitMode(hDevice, 0, FT_BITMODE_RESET));
    ASSERT_EQ(FT_OK, pSetBitMode(hDevice, 0, FT_BITMODE_MPSSE));
    ASSERT_EQ(FT_OK, pPurge(hDevice, FT_PURGE_RX));
    ASSERT_EQ(FT_OK, pPurge(hDevice, FT_PURGE_TX));
    const auto vecAll = modelLog();
    const std::vector<std::string> vecExpected = {
        "SET_LATENCY_TIMER 2 A", "SET_BITMODE mask 0x00 mode 0x00 A", "SET_BITMODE mask 0x00 mode 0x02 A",
        "PURGE_TO_HOST A", "PURGE_TO_CHIP A"};
    EXPECT_EQ(vecExpected, std::vector<std::string>(vecAll.begin() + long(uiOpening), vecAll.end()));
    EXPECT_EQ(FT_INVALID_PARAMETER, pSetLatencyTimer(hDevice, 0)) << "libftdi1 refuses 0 ms";
}

TEST_F(OpenDriverTest, SerialNumberAndDescriptionComeFromTheStringDescriptors)
{
    for (const char *strChip : {"FT2232H", "FT4232H", "FT232H"}) {
        SCOPED_TRACE(strChip);
        ASSERT_EQ(0, usbmodel_set_chip(strChip, 0));
        ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
        char acManufacturer[32], acId[16], acDescription[64], acSerial[16];
        FT_PROGRAM_DATA data = programData(acManufacturer, acId, acDescription, acSerial);
        ASSERT_EQ(FT_OK, pEeRead(hDevice, &data));
        EXPECT_STREQ("TB000001", acSerial);
        EXPECT_STREQ("USB BiSS Adapter", acDescription);
        EXPECT_STREQ("FTDI", acManufacturer);
        EXPECT_EQ(0x0403, data.VendorId);
        const std::map<std::string, int> mapProducts = {
            {"FT2232H", 0x6010}, {"FT4232H", 0x6011}, {"FT232H", 0x6014}};
        EXPECT_EQ(mapProducts.at(strChip), data.ProductId);
        data.Signature2 = 0;
        EXPECT_EQ(FT_INVALID_PARAMETER, pEeRead(hDevice, &data)) << "not a program-data record";
        EXPECT_EQ(FT_INVALID_PARAMETER, pEeRead(hDevice, nullptr));
        ASSERT_EQ(FT_OK, pClose(hDevice));
        hDevice = nullptr;
    }
}

TEST_F(OpenDriverTest, LongStringsAreCutInsideTheCallersBuffers)
{
    usbmodel_set_strings(std::string(40, 'M').c_str(), std::string(100, 'D').c_str(), "SERIAL0123456789XYZ");
    ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
    // Each buffer of the sizes D2XX callers give, followed by a guard.
    struct {
        char acManufacturer[32], cGuard1;
        char acId[16], cGuard2;
        char acDescription[64], cGuard3;
        char acSerial[16], cGuard4;
    } buffers;
    std::memset(&buffers, '#', sizeof buffers);
    FT_PROGRAM_DATA data =
        programData(buffers.acManufacturer, buffers.acId, buffers.acDescription, buffers.acSerial);
    ASSERT_EQ(FT_OK, pEeRead(hDevice, &data));
    EXPECT_EQ(std::string(31, 'M'), buffers.acManufacturer);
    EXPECT_EQ(std::string(63, 'D'), buffers.acDescription);
    EXPECT_EQ("SERIAL012345678", std::string(buffers.acSerial));
    EXPECT_EQ("SE", std::string(buffers.acId));
    for (char cGuard : {buffers.cGuard1, buffers.cGuard2, buffers.cGuard3, buffers.cGuard4})
        EXPECT_EQ('#', cGuard) << "written past a buffer";
}

TEST_F(OpenDriverTest, AnAdapterWithoutSerialNumberStillWorks)
{
    tbsim_set_fault(TBSIM_EEPROM_READ_FAILS, 1, 0); // a blank EEPROM: the chip reports no serial number
    vOpenConfigured();
    char acSerial[16] = "unchanged";
    FT_PROGRAM_DATA data = programData(nullptr, nullptr, nullptr, acSerial);
    EXPECT_EQ(FT_EEPROM_READ_FAILED, pEeRead(hDevice, &data));
    EXPECT_STREQ("unchanged", acSerial);
    ASSERT_EQ(FT_OK, writeReadFrame(0xEA));
    uint8_t aucAnswer[3];
    DWORD got = 0;
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 3, &got)) << "the device stays open";
    EXPECT_EQ(3u, got);
}

TEST_F(OpenDriverTest, AnswersLongerThanAPacketArriveWholeInOneTransfer)
{
    for (int iFull : {0, 1}) {
        SCOPED_TRACE(iFull ? "full speed, 64-byte packets" : "high speed, 512-byte packets");
        usbmodel_reset();
        ASSERT_EQ(0, usbmodel_set_chip("FT2232H", iFull));
        vOpenConfigured();
        const std::vector<uint8_t> vecData = vecPattern(1100);
        ASSERT_EQ(FT_OK, write(vecEcho(vecData)));
        const usbmodel_counters before = modelCounters();
        std::vector<uint8_t> vecGot(vecData.size());
        DWORD got = 0;
        ASSERT_EQ(FT_OK, pRead(hDevice, vecGot.data(), DWORD(vecGot.size()), &got));
        EXPECT_EQ(vecData.size(), got);
        EXPECT_EQ(vecData, vecGot) << "the status bytes between the packets are taken out";
        const usbmodel_counters after = modelCounters();
        EXPECT_EQ(1u, after.bulk_in - before.bulk_in);
        EXPECT_EQ(iFull ? 18u : 3u, after.packets_in - before.packets_in); // 62 or 510 bytes each
        ASSERT_EQ(FT_OK, pClose(hDevice));
        hDevice = nullptr;
    }
}

TEST_F(OpenDriverTest, AReadArrivingOverSeveralLatencyPeriodsIsCollected)
{
    vOpenConfigured();
    // A slow clock: each byte takes 5 ms, so the chip reports the answer piece by piece at its latency.
    ASSERT_EQ(FT_OK, write({0x86, 0xA5, 0x0E}));
    ASSERT_EQ(FT_OK, pSetTimeouts(hDevice, 0, 0)) << "0 waits as long as the driver ever waits";
    const std::vector<uint8_t> vecData = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    ASSERT_EQ(FT_OK, write(vecLoopback(vecData)));
    const uint64_t ullStart = usbmodel_clock_us();
    const usbmodel_counters before = modelCounters();
    std::vector<uint8_t> vecGot(vecData.size());
    DWORD got = 0;
    ASSERT_EQ(FT_OK, pRead(hDevice, vecGot.data(), DWORD(vecGot.size()), &got));
    EXPECT_EQ(vecData.size(), got);
    EXPECT_EQ(vecData, vecGot);
    EXPECT_GE(modelCounters().bulk_in - before.bulk_in, 6u) << "several reports";
    EXPECT_GE(usbmodel_clock_us() - ullStart, 25000u) << "the answer took its time on the wire";
}

TEST_F(OpenDriverTest, AShortReadEndsAtTheReadTimeOutWithWhatCame)
{
    vOpenConfigured();
    ASSERT_EQ(FT_OK, pSetTimeouts(hDevice, 150, 1000));
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB)); // three bytes will come, four are asked for
    uint8_t aucAnswer[4] = {};
    DWORD got = 0;
    const auto start = std::chrono::steady_clock::now();
    const uint64_t ullStart = usbmodel_clock_us();
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 4, &got)) << "a time-out is no error in D2XX";
    EXPECT_EQ(3u, got);
    EXPECT_EQ(0x82, aucAnswer[2]);
    const uint64_t ullWaited = usbmodel_clock_us() - ullStart;
    EXPECT_GE(ullWaited, 150000u) << "the chip's reports during the time-out";
    EXPECT_LT(ullWaited, 300000u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "no sleeping on top";

    // Nothing at all: 0 bytes, still FT_OK.
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 1, &got));
    EXPECT_EQ(0u, got);
}

TEST_F(OpenDriverTest, FaultsOfTheAdapterBecomeD2xxStatuses)
{
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, pOpen(0, &hDevice));
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 0, 0);
    usbmodel_set_fault(USBMODEL_BUSY, 1, 0);
    EXPECT_EQ(FT_DEVICE_NOT_OPENED, pOpen(0, &hDevice)) << "another program holds the interface";
    EXPECT_EQ(nullptr, hDevice);
    usbmodel_set_fault(USBMODEL_BUSY, 0, 0);
    EXPECT_EQ(0, modelCounters().live_contexts) << "failed openings free their context";

    vOpenConfigured();
    usbmodel_set_fault(USBMODEL_BITMODE_FAILS, 1, 0);
    EXPECT_EQ(FT_IO_ERROR, pSetBitMode(hDevice, 0, FT_BITMODE_MPSSE));
    usbmodel_set_fault(USBMODEL_BITMODE_FAILS, 0, 0);

    usbmodel_set_fault(USBMODEL_STALL, 1, 0);
    DWORD written = 99, got = 99;
    uint8_t aucAnswer[3];
    EXPECT_EQ(FT_IO_ERROR, write({0x87}, &written));
    EXPECT_EQ(0u, written);
    EXPECT_EQ(FT_IO_ERROR, pRead(hDevice, aucAnswer, 3, &got));
    EXPECT_EQ(0u, got);
    usbmodel_set_fault(USBMODEL_STALL, 0, 0);

    usbmodel_set_fault(USBMODEL_OUT_TIMEOUT, 1, 2);
    EXPECT_NE(FT_OK, write({0x85, 0x85, 0x85}, &written)) << "a write the chip did not take is no success";
    usbmodel_set_fault(USBMODEL_OUT_TIMEOUT, 0, 0);

    // A chip that stops answering altogether: the read ends at its time-out with what came.
    ASSERT_EQ(FT_OK, pPurge(hDevice, FT_PURGE_RX));
    usbmodel_set_fault(USBMODEL_SILENT, 1, 1);
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB));
    const uint64_t ullStart = usbmodel_clock_us();
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 3, &got));
    EXPECT_LT(got, 3u) << "never a whole answer from a chip that fell silent";
    EXPECT_GE(usbmodel_clock_us() - ullStart, 1000000u);
    usbmodel_set_fault(USBMODEL_SILENT, 0, 0);

    // Short packets: the answer comes in pieces and is put together.
    ASSERT_EQ(FT_OK, pPurge(hDevice, FT_PURGE_RX));
    usbmodel_set_fault(USBMODEL_SHORT_PACKETS, 1, 1);
    ASSERT_EQ(FT_OK, writeReadFrame(0xEB));
    EXPECT_EQ(FT_OK, pRead(hDevice, aucAnswer, 3, &got));
    EXPECT_EQ(3u, got);
    EXPECT_EQ(0x82, aucAnswer[2]);
}

TEST_F(OpenDriverTest, ADeviceThatDisappearsFailsEveryCallPromptlyAndCanBeClosed)
{
    for (uint32_t ulPackets : {0u, 1u}) {
        SCOPED_TRACE(ulPackets ? "unplugged in the middle of an answer" : "unplugged between calls");
        usbmodel_reset();
        vOpenConfigured();
        ASSERT_EQ(FT_OK, write(vecLoopback(vecPattern(1500))));
        usbmodel_set_fault(USBMODEL_UNPLUGGED, 1, ulPackets);
        std::vector<uint8_t> vecGot(1500);
        DWORD got = 7;
        const uint64_t ullStart = usbmodel_clock_us();
        EXPECT_EQ(FT_IO_ERROR, pRead(hDevice, vecGot.data(), 1500, &got));
        EXPECT_LT(usbmodel_clock_us() - ullStart, 100000u)
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
}

TEST_F(OpenDriverTest, TwoProcessesOpeningOneAdapter)
{
    char acDir[] = "/tmp/tarnbus-usbmodel-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(acDir));
    setenv("USBMODEL_LOCKDIR", acDir, 1);
    int aiHeld[2], aiGo[2];
    ASSERT_EQ(0, pipe(aiHeld));
    ASSERT_EQ(0, pipe(aiGo));
    const pid_t pid = fork();
    if (pid == 0) {
        FT_HANDLE hChild = nullptr;
        const char cOpened = pOpen(0, &hChild) == FT_OK ? 'y' : 'n';
        (void)!::write(aiHeld[1], &cOpened, 1);
        char c;
        (void)!::read(aiGo[0], &c, 1);
        _exit(0); // the process ends without closing: the system lets the interface go
    }
    char cOpened = 0;
    ASSERT_EQ(1, ::read(aiHeld[0], &cOpened, 1));
    EXPECT_EQ('y', cOpened);
    EXPECT_EQ(FT_DEVICE_NOT_OPENED, pOpen(0, &hDevice)) << "held by the other process";
    EXPECT_EQ(nullptr, hDevice);
    ASSERT_EQ(1, ::write(aiGo[1], "x", 1));
    int iStatus = 0;
    waitpid(pid, &iStatus, 0);
    EXPECT_EQ(FT_OK, pOpen(0, &hDevice)) << "free once the other process has ended";
    unsetenv("USBMODEL_LOCKDIR");
    for (int fd : {aiHeld[0], aiHeld[1], aiGo[0], aiGo[1]})
        close(fd);
    std::filesystem::remove_all(acDir);
}
