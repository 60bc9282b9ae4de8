// The handle table as callers see it: numbering, reuse, exhaustion and refusals.
#include "sim_fixture.h"
#include "test_env.h"

#include <type_traits>

#include "tarnbus/BissClass.h"

namespace {

// One object owns one adapter and its device: a copy would close that device twice.
static_assert(!std::is_copy_constructible_v<BissClass> && !std::is_copy_assignable_v<BissClass>);

using HandleTest = SimTest;

// Every export but OpenInterface on one handle; none may write through its pointers when refusing.
std::vector<int32_t> vecAllResults(uint32_t ulHandle)
{
    uint32_t ulValue = 0x5A5A5A5A, ulCount = 1;
    uint8_t ucData = 0x77;
    std::vector<int32_t> vec = {WriteMaster(ulHandle, 0xE2, 1, 0xFFFFFFFF),
                                ReadMaster(ulHandle, 0xE2, &ulValue),
                                SetMasterConfig(ulHandle, 0, MC_DATA1_LENGTH, 24),
                                GetMasterConfig(ulHandle, 0, MC_DATA1_LENGTH, &ulValue),
                                WriteMasterConfig(ulHandle, 1),
                                ReadMasterConfig(ulHandle),
                                InitBissComm(ulHandle),
                                ReadSlaveRegister(ulHandle, 0, 0, 32, &ulCount, &ucData),
                                WriteSlaveRegister(ulHandle, 0, 0, 0, &ulCount, &ucData, 0xFF),
                                CloseInterface(ulHandle)};
    EXPECT_EQ(0x5A5A5A5Au, ulValue);
    EXPECT_EQ(0x77, ucData);
    return vec;
}

// Runs first: the first handle of a process is 1. The table never takes back a slot below the newest,
// so this test leaves slot 0 idle and the tests after it count from their own first handle.
TEST_F(HandleTest, NumberedFromOneAndOnlyTheNewestIsReused)
{
    EXPECT_EQ(1u, ulOpen());
    EXPECT_EQ(2u, ulOpen(INTERFACE_NONE));
    EXPECT_EQ(BISS_OK, CloseInterface(2));
    EXPECT_EQ(2u, ulOpen(INTERFACE_NONE));
    ASSERT_EQ(BISS_OK, SetMasterConfig(2, 0, MC_DATA1_LENGTH, 13));
    EXPECT_EQ(BISS_OK, CloseInterface(1));
    EXPECT_EQ(3u, ulOpen()) << "the device went with handle 1, slot 0 stays idle";
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_OK, GetMasterConfig(2, 0, MC_DATA1_LENGTH, &ulValue));
    EXPECT_EQ(13u, ulValue) << "the neighbour keeps its own object";
}

TEST_F(HandleTest, HandlesNotOpenAreRefusedByEveryExport)
{
    const uint32_t hClosed = ulOpen();
    vCloseAll();
    const std::vector<int32_t> vecRefused(10, BISS_INVALID_HANDLE);
    EXPECT_EQ(vecRefused, vecAllResults(0));
    EXPECT_EQ(vecRefused, vecAllResults(hClosed));
    EXPECT_EQ(vecRefused, vecAllResults(200));
    // Above 255 a handle must not alias the slot its low bits name.
    const uint32_t hOpen = ulOpen();
    tbsim_clear_logs();
    EXPECT_EQ(vecRefused, vecAllResults(hOpen + 256));
    EXPECT_EQ(0u, tbsim_call_count());
}

TEST_F(HandleTest, KindsThatCannotWorkNeverReportSuccess)
{
    const std::string strSim = std::getenv("TARNBUS_FTD2XX");
    vSetEnv("TARNBUS_FTD2XX", "/nonexistent/libftd2xx.so");
    const uint32_t hNoDriver = ulOpen(INTERFACE_USB, BISS_INTERFACE_NOT_FOU);
    // A library that loads but is no D2XX driver is a missing driver too, not a missing adapter.
    vSetEnv("TARNBUS_FTD2XX", "libc.so.6");
    const uint32_t hNoD2xx = ulOpen(INTERFACE_USB, BISS_INTERFACE_NOT_FOU);
    vSetEnv("TARNBUS_FTD2XX", strSim.c_str());
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_INVALID_INTERFACE, ReadMaster(hNoD2xx, 0xE2, &ulValue));
    // The handle is filled in and open (not BISS_INVALID_HANDLE), but there is no adapter behind it.
    EXPECT_EQ(BISS_INVALID_INTERFACE, ReadMaster(hNoDriver, 0xE2, &ulValue));
    EXPECT_EQ(BISS_INVALID_INTERFACE, InitBissComm(hNoDriver));

    const uint32_t hBad = ulOpen(7, BISS_INVALID_INTERFACE);
    EXPECT_EQ(BISS_INVALID_INTERFACE, WriteMaster(hBad, 0xE2, 1, 0xFFFFFFFF))
        << "no interface is left selected";

    vSetEnv("TARNBUS_DLPORTIO", "/nonexistent/libdlportio.so");
    const uint32_t hLpt = ulOpen(INTERFACE_LPT2, BISS_INTERFACE_NOT_FOU, "0x278");
    EXPECT_EQ(BISS_INVALID_MASTERADR, WriteMaster(hLpt, 0x100, 0, 0xFFFFFFFF));
    EXPECT_EQ(BISS_INVALID_MASTERDAT, WriteMaster(hLpt, 0x10, 0x100, 0xFFFFFFFF));
    EXPECT_EQ(BISS_INVALID_INTERFACE, WriteMaster(hLpt, 0x10, 0x10, 0xFFFFFFFF));

    // Kind 5 is probed only: writes vanish and every register reads 1, so its test fails.
    vSetEnv("TARNBUS_SY2D", strSim.c_str());
    const uint32_t hSy2d = ulOpen(INTERFACE_SY2D, BISS_MASTERCOMM_FAILED);
    vUnsetEnv("TARNBUS_SY2D");
    vUnsetEnv("TARNBUS_DLPORTIO");
    EXPECT_EQ(BISS_OK, ReadMaster(hSy2d, 0xE2, &ulValue));
    EXPECT_EQ(1u, ulValue);
    EXPECT_EQ(0u, tbsim_call_count()) << "no device was touched";
}

TEST_F(HandleTest, DriverWithoutTheD2xxFunctionsIsAMissingDriver)
{
    // A library every machine has, loadable but without a single D2XX function.
#if defined(_WIN32)
    const char *strNoD2xx = "kernel32.dll";
#else
    const char *strNoD2xx = "libc.so.6";
#endif
    const std::string strSim = std::getenv("TARNBUS_FTD2XX");
    vSetEnv("TARNBUS_FTD2XX", strNoD2xx);
    const uint32_t h = ulOpen(INTERFACE_USB, BISS_INTERFACE_NOT_FOU);
    vSetEnv("TARNBUS_FTD2XX", strSim.c_str());
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_INVALID_INTERFACE, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0u, tbsim_call_count()) << "no device was touched";
    ulOpen(INTERFACE_USB, BISS_OK); // with the driver named again, the next opening comes up
}

TEST_F(HandleTest, NullPointersAreRefusedAndTakeNothing)
{
    const uint32_t hBefore = ulOpen(INTERFACE_NONE);
    EXPECT_EQ(BISS_INVALID_PARAMETER, OpenInterface(INTERFACE_USB, "", nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, tbsim_call_count());
    uint32_t h = 0;
    EXPECT_EQ(BISS_OK, OpenInterface(INTERFACE_USB, nullptr, nullptr, nullptr, &h)) << "a null text is empty";
    vecOpened.push_back(h);
    EXPECT_EQ(hBefore + 1, h) << "the refused open took no slot";
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadMaster(h, 0xEB, nullptr));
    EXPECT_EQ(BISS_INVALID_PARAMETER, GetMasterConfig(h, 0, MC_STORED_9, nullptr));
}

TEST_F(HandleTest, FullTableRefusesAndKeepsEveryHandle)
{
    const uint32_t hFirst = ulOpen(INTERFACE_NONE);
    for (uint32_t ulNext = hFirst + 1; ulNext <= 255; ++ulNext)
        ASSERT_EQ(ulNext, ulOpen(INTERFACE_NONE));
    uint32_t h = 0xDEAD;
    EXPECT_EQ(BISS_INVALID_HANDLE, OpenInterface(INTERFACE_NONE, "", nullptr, nullptr, &h));
    EXPECT_EQ(0u, h);
    for (uint32_t i = hFirst; i <= 255; ++i)
        ASSERT_EQ(BISS_OK, SetMasterConfig(i, 0, MC_STORED_9, 1)) << i;
    EXPECT_EQ(BISS_OK, CloseInterface(255));
    EXPECT_EQ(255u, ulOpen(INTERFACE_NONE)) << "room for exactly one again";
}

TEST_F(HandleTest, FreshHandleHoldsTheStartingConfiguration)
{
    const uint32_t h = ulOpen(INTERFACE_NONE);
    for (uint32_t ulSlave = 0; ulSlave < 8; ++ulSlave)
        for (uint32_t ulItem = 0; ulItem < 22; ++ulItem) {
            uint32_t ulValue = 0xFFFF;
            ASSERT_EQ(BISS_OK, GetMasterConfig(h, ulSlave, ulItem, &ulValue));
            const bool bOne =
                ulItem == MC_DATA1_CRCPOLY || ulItem == MC_DATA2_CRCPOLY || ulItem == MC_STORED_9;
            EXPECT_EQ(bOne ? 1u : 0u, ulValue) << "slave " << ulSlave << " item " << ulItem;
        }
    uint32_t ulValue = 0xABCD;
    EXPECT_EQ(BISS_INVALID_PARAMETER, GetMasterConfig(h, 0, 22, &ulValue));
    EXPECT_EQ(BISS_INVALID_PARAMETER, GetMasterConfig(h, 8, MC_DATA2_CRCPOLY, &ulValue));
    EXPECT_EQ(0xABCDu, ulValue);
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 0, 22, 1));
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 8, MC_DATA1_LENGTH, 24));
    // A data word is 1..64 bits long; 65 would turn into the flag bit of its length register.
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 1, MC_DATA2_LENGTH, 64));
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 1, MC_DATA2_LENGTH, 65));
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 1, MC_DATA1_LENGTH, 0xFFFFFFFF));
    EXPECT_EQ(BISS_OK, GetMasterConfig(h, 1, MC_DATA2_LENGTH, &ulValue));
    EXPECT_EQ(64u, ulValue);
    // Items of the master as a whole ignore the slave index, whatever it is.
    EXPECT_EQ(BISS_OK, SetMasterConfig(h, 200, MC_E6_LOW5, 4));
    EXPECT_EQ(BISS_OK, GetMasterConfig(h, 0, MC_E6_LOW5, &ulValue));
    EXPECT_EQ(4u, ulValue);
    EXPECT_EQ(BISS_OK, GetMasterConfig(h, 0xFFFFFFFF, MC_STORED_9, &ulValue));
    EXPECT_EQ(1u, ulValue);
}

} // namespace
