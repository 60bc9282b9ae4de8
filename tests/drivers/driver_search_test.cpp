// Which driver the library loads for the USB adapter, and the library on the open driver: the USB model
// counts the interfaces the open driver claimed, the simulator every device however it was reached.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>

#include "tarnbus/tarnbus.h"
#include "tarnbus_sim.h"
#include "usbmodel.h"

namespace {

class DriverSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("TARNBUS_FTD2XX");
        tbsim_reset_default();
        usbmodel_reset();
    }
    void TearDown() override
    {
        if (ulHandle)
            CloseInterface(ulHandle);
        unsetenv("TARNBUS_FTD2XX");
    }
    int32_t lOpen() { return OpenInterface(INTERFACE_USB, "", nullptr, nullptr, &ulHandle); }
    uint64_t ullSimOpens()
    {
        tbsim_counters counters;
        tbsim_get_counters(&counters);
        return counters.opens;
    }
    uint64_t ullModelClaims()
    {
        usbmodel_counters counters;
        usbmodel_get_counters(&counters);
        return counters.claims;
    }
    uint32_t ulHandle = 0;
};

bool bVendorDriverInstalled()
{
    void *pLibrary = dlopen("libftd2xx.so", RTLD_NOW | RTLD_LOCAL);
    if (pLibrary)
        dlclose(pLibrary);
    return pLibrary != nullptr;
}

} // namespace

TEST_F(DriverSearch, WithoutFtdiDriverTheOpenDriverReachesTheEncoder)
{
    if (bVendorDriverInstalled())
        GTEST_SKIP() << "FTDI's libftd2xx.so is installed here and comes first";
    ASSERT_EQ(BISS_OK, lOpen());
    EXPECT_EQ(1u, ullModelClaims());
    ASSERT_EQ(BISS_OK, WriteMasterConfig(ulHandle, 1));
    ASSERT_EQ(BISS_OK, InitBissComm(ulHandle));
    uint8_t aucPlate[24] = {};
    uint32_t ulCount = sizeof aucPlate;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(ulHandle, 0, 0, 32, &ulCount, aucPlate));
    for (unsigned i = 0; i < sizeof aucPlate; ++i)
        EXPECT_EQ(tbsim_slave_get(0, 32 + i), aucPlate[i]) << "register " << 32 + i;

    uint8_t ucByte = 0x33;
    uint32_t ulOne = 1;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(ulHandle, 0, 0, 16, &ulOne, &ucByte, 0xFF));
    EXPECT_EQ(0x33, tbsim_slave_get(0, 16));
}

TEST_F(DriverSearch, NoAdapterOnTheBusIsTheAdapterNotConnectedPath)
{
    if (bVendorDriverInstalled())
        GTEST_SKIP() << "FTDI's libftd2xx.so is installed here and comes first";
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, lOpen()) << "the driver is there, the adapter is not";
    EXPECT_EQ(0u, ullModelClaims());
    uint8_t ucByte = 0;
    uint32_t ulOne = 1;
    EXPECT_NE(BISS_OK, ReadSlaveRegister(ulHandle, 0, 0, 32, &ulOne, &ucByte));
}

TEST_F(DriverSearch, AnAdapterUnpluggedWhileOpenFailsTheNextTransfer)
{
    if (bVendorDriverInstalled())
        GTEST_SKIP() << "FTDI's libftd2xx.so is installed here and comes first";
    ASSERT_EQ(BISS_OK, lOpen());
    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 1, 0);
    uint32_t ulValue = 0;
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadMaster(ulHandle, 0xEB, &ulValue));
    uint8_t ucByte = 0;
    uint32_t ulOne = 1;
    EXPECT_NE(BISS_OK, ReadSlaveRegister(ulHandle, 0, 0, 32, &ulOne, &ucByte));
}

TEST_F(DriverSearch, ANamedDriverIsUsedAloneEvenWhenItIsMissing)
{
    setenv("TARNBUS_FTD2XX", "/nonexistent/libftd2xx.so", 1);
    EXPECT_EQ(BISS_INTERFACE_NOT_FOU, lOpen()) << "no falling back to another driver";
    EXPECT_EQ(0u, ullModelClaims());
    EXPECT_EQ(0u, ullSimOpens());

    CloseInterface(ulHandle);
    ulHandle = 0;
    setenv("TARNBUS_FTD2XX", TARNBUS_FTDI_DRIVER, 1);
    EXPECT_EQ(BISS_OK, lOpen());
    EXPECT_EQ(1u, ullModelClaims());
}

// Run on its own with a libftd2xx.so on the search path (see CMakeLists.txt).
TEST_F(DriverSearch, DISABLED_VendorDriverComesBeforeTheOpenDriver)
{
    ASSERT_TRUE(bVendorDriverInstalled()) << "the test needs a libftd2xx.so on LD_LIBRARY_PATH";
    ASSERT_EQ(BISS_OK, lOpen());
    EXPECT_EQ(0u, ullModelClaims()) << "the open driver was not used";
    EXPECT_EQ(1u, ullSimOpens()) << "FTDI's driver (here the simulator) was";
}
