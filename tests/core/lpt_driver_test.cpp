// The parallel-port transport on a bare port driver: what the library makes of the status lines
// alone, and a driver library it must not call.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tarnbus/tarnbus.h"

extern "C" void fake_dlportio_set_status(uint8_t ucValue);
extern "C" uint64_t fake_dlportio_calls();

namespace {

uint32_t ulOpenExpect(uint32_t ulKind, int32_t lExpected)
{
    uint32_t h = 0;
    EXPECT_EQ(lExpected, OpenInterface(ulKind, "0x378", nullptr, nullptr, &h));
    return h;
}

TEST(LptDriver, SerialReadTakesStatusBit7Inverted)
{
    setenv("TARNBUS_DLPORTIO", FAKE_DLPORTIO, 1);
    // Nothing answers the communication test on a bare port, but the handle is open.
    const uint32_t h = ulOpenExpect(INTERFACE_LPT3, BISS_MASTERCOMM_FAILED);
    uint32_t ulValue = 0x1234;
    fake_dlportio_set_status(0xFF);
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0x00u, ulValue) << "bit 7 set at every sample";
    fake_dlportio_set_status(0x7F);
    EXPECT_EQ(BISS_OK, ReadMaster(h, 0xE2, &ulValue));
    EXPECT_EQ(0xFFu, ulValue) << "bit 7 clear at every sample";
    // End of transmission is bit 5 alone: every other bit set does not make the master idle.
    fake_dlportio_set_status(0xDF);
    EXPECT_EQ(BISS_INIT_FAILED, InitBissComm(h));
    CloseInterface(h);
}

TEST(LptDriver, DriverLackingAFunctionIsNeverCalled)
{
    setenv("TARNBUS_DLPORTIO", INCOMPLETE_DLPORTIO, 1);
    // Its write function aborts the test if the library ever calls it. No driver, as when the file
    // is missing: not a port that does not answer.
    const uint32_t h = ulOpenExpect(INTERFACE_LPT1, BISS_INTERFACE_NOT_FOU);
    EXPECT_EQ(BISS_INVALID_INTERFACE, WriteMaster(h, 0xE2, 0x01, 0xFFFFFFFF));
    EXPECT_EQ(BISS_INVALID_INTERFACE, InitBissComm(h));
    CloseInterface(h);
}

} // namespace
