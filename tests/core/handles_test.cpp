// The handle table as callers see it: numbering, reuse, exhaustion and refusals.
#include "sim_fixture.h"

namespace {

using HandleTest = SimTest;

// Every export but OpenInterface, called with one handle; all must refuse a handle that is not open.
std::vector<int32_t> vecAllResults(uint32_t ulHandle)
{
    uint32_t ulValue = 0x5A5A5A5A;
    uint32_t ulCount = 1;
    uint8_t ucData = 0x77;
    std::vector<int32_t> vec = {
        WriteMaster(ulHandle, 0xE2, 1, 0xFFFFFFFF),
        ReadMaster(ulHandle, 0xE2, &ulValue),
        SetMasterConfig(ulHandle, 0, MC_DATA1_LENGTH, 24),
        GetMasterConfig(ulHandle, 0, MC_DATA1_LENGTH, &ulValue),
        WriteMasterConfig(ulHandle, 1),
        ReadMasterConfig(ulHandle),
        InitBissComm(ulHandle),
        ReadSlaveRegister(ulHandle, 0, 0, 32, &ulCount, &ucData),
        WriteSlaveRegister(ulHandle, 0, 0, 0, &ulCount, &ucData, 0xFF),
        CloseInterface(ulHandle),
    };
    EXPECT_EQ(0x5A5A5A5Au, ulValue) << "a refused call wrote its result";
    EXPECT_EQ(0x77, ucData) << "a refused call wrote slave data";
    return vec;
}

// Runs first in this program: the first handle of a process is 1. The table never takes back a slot
// below the newest, so this test leaves slot 0 idle and the tests after it count from their first
// handle.
TEST_F(HandleTest, NumberedFromOneAndTheLastClosedIsReused)
{
    uint32_t h1 = ulOpenUsb(), h2 = ulOpen(INTERFACE_NONE, BISS_OK);
    EXPECT_EQ(1u, h1);
    EXPECT_EQ(2u, h2);
    EXPECT_EQ(BISS_OK, CloseInterface(h2));
    EXPECT_EQ(2u, ulOpen(INTERFACE_NONE, BISS_OK)) << "closing the newest handle hands it out again";
    ASSERT_EQ(BISS_OK, SetMasterConfig(2, 0, MC_DATA1_LENGTH, 13));

    EXPECT_EQ(BISS_OK, CloseInterface(h1));
    uint32_t h3 = ulOpenUsb();
    EXPECT_EQ(3u, h3) << "a closed handle below the newest stays idle";
    // The handle that stayed open still works, and keeps its own object, after its neighbour went.
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_OK, GetMasterConfig(2, 0, MC_DATA1_LENGTH, &ulValue));
    EXPECT_EQ(13u, ulValue);
    EXPECT_EQ(BISS_OK, ReadMaster(h3, 0xEB, &ulValue)) << "the device was released with its handle";
}

TEST_F(HandleTest, HandlesNotOpenAreRefusedByEveryExport)
{
    uint32_t h = ulOpenUsb();
    ASSERT_EQ(BISS_OK, CloseInterface(h));
    const std::vector<int32_t> vecRefused(10, BISS_INVALID_HANDLE);
    EXPECT_EQ(vecRefused, vecAllResults(0));
    EXPECT_EQ(vecRefused, vecAllResults(h)) << "closed";
    EXPECT_EQ(vecRefused, vecAllResults(200)) << "never issued";

    // A handle above 255 must not alias the slot its low bits name.
    uint32_t hOpen = ulOpenUsb();
    tbsim_clear_logs();
    EXPECT_EQ(vecRefused, vecAllResults(hOpen + 256));
    EXPECT_EQ(0u, tbsim_call_count());
}

TEST_F(HandleTest, MissingDriverLeavesAnOpenHandleWithoutAdapter)
{
    const char *strSaved = std::getenv("TARNBUS_FTD2XX");
    const std::string strDriver = strSaved ? strSaved : "";
    setenv("TARNBUS_FTD2XX", "/nonexistent/libftd2xx.so", 1);
    uint32_t h = 0;
    EXPECT_EQ(BISS_INTERFACE_NOT_FOU, OpenInterface(INTERFACE_USB, "", nullptr, nullptr, &h));
    setenv("TARNBUS_FTD2XX", strDriver.c_str(), 1);
    EXPECT_NE(0u, h) << "the handle is filled in all the same";
    EXPECT_EQ(0u, tbsim_call_count()) << "no device call without a driver";
    // The handle is open but has no adapter behind it: master access is refused, not attempted.
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_INVALID_INTERFACE, WriteMaster(h, 0xE2, 1, 0xFFFFFFFF));
    EXPECT_EQ(BISS_INVALID_INTERFACE, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(BISS_INVALID_INTERFACE, InitBissComm(h));
    EXPECT_EQ(BISS_OK, CloseInterface(h));
}

TEST_F(HandleTest, KindsWithoutTransportNeverReportSuccess)
{
    uint32_t hBad = ulOpen(7, BISS_INVALID_INTERFACE);
    EXPECT_NE(0u, hBad);
    // The refused kind leaves no interface: master access answers so.
    EXPECT_EQ(BISS_INVALID_INTERFACE, WriteMaster(hBad, 0xE2, 1, 0xFFFFFFFF));

    // Kind 0 selects nothing and touches no hardware.
    ulOpen(INTERFACE_NONE, BISS_OK);
    EXPECT_EQ(0u, tbsim_call_count());

    // The parallel-port kinds: without a port driver they are not found; master access never
    // pretends to succeed either way.
    setenv("TARNBUS_DLPORTIO", "/nonexistent/libdlportio.so", 1);
    uint32_t hLpt = ulOpen(INTERFACE_LPT2, BISS_INTERFACE_NOT_FOU, "0x278");
    unsetenv("TARNBUS_DLPORTIO");
    EXPECT_EQ(BISS_INVALID_MASTERADR, WriteMaster(hLpt, 0x100, 0, 0xFFFFFFFF));
    EXPECT_EQ(BISS_INVALID_MASTERDAT, WriteMaster(hLpt, 0x10, 0x100, 0xFFFFFFFF));
    EXPECT_EQ(BISS_INVALID_INTERFACE, WriteMaster(hLpt, 0x10, 0x10, 0xFFFFFFFF));

    // Kind 5 is probed only: writes vanish and every register reads 1, so its test fails.
    setenv("TARNBUS_SY2D", std::getenv("TARNBUS_FTD2XX"), 1); // any loadable library passes the probe
    uint32_t hSy2d = ulOpen(INTERFACE_SY2D, BISS_MASTERCOMM_FAILED);
    unsetenv("TARNBUS_SY2D");
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_OK, ReadMaster(hSy2d, 0xE2, &ulValue));
    EXPECT_EQ(1u, ulValue);
    EXPECT_EQ(0u, tbsim_call_count()) << "kind 5 never touches the USB device";
}

TEST_F(HandleTest, NullPointersAreRefusedAndWriteNothing)
{
    EXPECT_EQ(BISS_INVALID_PARAMETER, OpenInterface(INTERFACE_USB, "", nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, tbsim_call_count()) << "nothing opened for a caller who cannot get the handle";
    uint32_t hProbe = ulOpen(INTERFACE_NONE, BISS_OK);
    EXPECT_EQ(BISS_INVALID_PARAMETER, OpenInterface(INTERFACE_USB, "", nullptr, nullptr, nullptr));
    // A null text counts as empty.
    uint32_t h = 0;
    EXPECT_EQ(BISS_OK, OpenInterface(INTERFACE_USB, nullptr, nullptr, nullptr, &h));
    vecOpened.push_back(h);
    EXPECT_EQ(hProbe + 1, h) << "the refused open took no slot";
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadMaster(h, 0xEB, nullptr));
    EXPECT_EQ(BISS_INVALID_PARAMETER, GetMasterConfig(h, 0, MC_STORED_9, nullptr));
}

TEST_F(HandleTest, ExhaustedTableRefusesAndKeepsEveryHandle)
{
    const uint32_t ulFirst = ulOpen(INTERFACE_NONE, BISS_OK);
    for (uint32_t i = ulFirst + 1; i <= 255; ++i) {
        uint32_t h = ulOpen(INTERFACE_NONE, BISS_OK);
        ASSERT_EQ(i, h);
    }
    uint32_t h = 0xDEAD;
    EXPECT_EQ(BISS_INVALID_HANDLE, OpenInterface(INTERFACE_NONE, "", nullptr, nullptr, &h));
    EXPECT_EQ(0u, h);
    for (uint32_t i = ulFirst; i <= 255; ++i) {
        uint32_t ulValue = 0;
        ASSERT_EQ(BISS_OK, GetMasterConfig(i, 0, MC_STORED_9, &ulValue)) << "handle " << i;
        ASSERT_EQ(1u, ulValue);
    }
    // Closing the newest makes room for exactly one more.
    EXPECT_EQ(BISS_OK, CloseInterface(255));
    EXPECT_EQ(255u, ulOpen(INTERFACE_NONE, BISS_OK));
}

TEST_F(HandleTest, FreshHandleHoldsTheStartingConfiguration)
{
    uint32_t h = ulOpen(INTERFACE_NONE, BISS_OK);
    for (uint32_t ulSlave = 0; ulSlave < 8; ++ulSlave) {
        for (uint32_t ulItem = 0; ulItem < 22; ++ulItem) {
            uint32_t ulValue = 0xFFFF;
            ASSERT_EQ(BISS_OK, GetMasterConfig(h, ulSlave, ulItem, &ulValue));
            const bool bOne = ulItem == MC_DATA1_CRCPOLY || ulItem == MC_DATA2_CRCPOLY || ulItem == MC_STORED_9;
            EXPECT_EQ(bOne ? 1u : 0u, ulValue) << "slave " << ulSlave << " item " << ulItem;
        }
    }
    uint32_t ulValue = 0xABCD;
    EXPECT_EQ(BISS_INVALID_PARAMETER, GetMasterConfig(h, 0, 22, &ulValue));
    EXPECT_EQ(BISS_INVALID_PARAMETER, GetMasterConfig(h, 8, MC_STORED_9, &ulValue));
    EXPECT_EQ(0xABCDu, ulValue);
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 0, 22, 1));
    EXPECT_EQ(BISS_INVALID_PARAMETER, SetMasterConfig(h, 8, MC_DATA1_LENGTH, 24));
    // The refused index did not wrap onto slave 0.
    EXPECT_EQ(BISS_OK, GetMasterConfig(h, 0, MC_DATA1_LENGTH, &ulValue));
    EXPECT_EQ(0u, ulValue);
}

} // namespace
