// The open driver loaded by path, as the library loads it, over Debian's libftdi1 and the USB model of
// the adapter, with a fresh simulated world and model per test.
#ifndef TARNBUS_TEST_DRIVER_FIXTURE_H
#define TARNBUS_TEST_DRIVER_FIXTURE_H

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

#include "d2xx.h"
#include "tarnbus_sim.h"
#include "usbmodel.h"

inline usbmodel_counters modelCounters()
{
    usbmodel_counters counters;
    usbmodel_get_counters(&counters);
    return counters;
}

inline std::vector<std::string> modelLog()
{
    std::vector<std::string> vec;
    for (size_t i = 0; i < usbmodel_log_count(); ++i)
        vec.emplace_back(usbmodel_log_get(i));
    return vec;
}

class OpenDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        usbmodel_reset();
        pLibrary = dlopen(TARNBUS_FTDI_DRIVER, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, pLibrary) << dlerror();
        bind("FT_Open", pOpen);
        bind("FT_Close", pClose);
        bind("FT_Read", pRead);
        bind("FT_Write", pWrite);
        bind("FT_Purge", pPurge);
        bind("FT_SetTimeouts", pSetTimeouts);
        bind("FT_SetLatencyTimer", pSetLatencyTimer);
        bind("FT_SetBitMode", pSetBitMode);
        bind("FT_EE_Read", pEeRead);
    }
    void TearDown() override
    {
        if (hDevice)
            pClose(hDevice);
        const usbmodel_counters counters = modelCounters();
        EXPECT_EQ(0, counters.open_handles) << "a libusb device handle was left open";
        EXPECT_EQ(0, counters.live_contexts) << "a libftdi1 context was left behind";
        if (pLibrary)
            dlclose(pLibrary);
    }

    template <typename T>
    void bind(const char *strName, T &pFunction)
    {
        pFunction = reinterpret_cast<T>(dlsym(pLibrary, strName));
        ASSERT_NE(nullptr, pFunction) << strName;
    }

    // Opened and set up as the library does it.
    void vOpenConfigured()
    {
        ASSERT_EQ(FT_OK, pOpen(0, &hDevice));
        ASSERT_EQ(FT_OK, pSetLatencyTimer(hDevice, 16));
        ASSERT_EQ(FT_OK, pSetBitMode(hDevice, 0, FT_BITMODE_RESET));
        ASSERT_EQ(FT_OK, pSetBitMode(hDevice, 0, FT_BITMODE_MPSSE));
        ASSERT_EQ(FT_OK, pSetTimeouts(hDevice, 1000, 1000));
    }

    FT_STATUS write(std::vector<uint8_t> vec, DWORD *pWritten = nullptr)
    {
        DWORD written = 0;
        const FT_STATUS status = pWrite(hDevice, vec.data(), static_cast<DWORD>(vec.size()), &written);
        if (pWritten)
            *pWritten = written;
        return status;
    }

    // One master register read frame, ending with send-immediate: three bytes come back.
    FT_STATUS writeReadFrame(uint8_t address)
    {
        return write({0x80, 0x10, 0x1B, 0x35, 0x02, 0x00, 0x03, address, 0x00, 0x80, 0x18, 0x1B, 0x87});
    }

    void *pLibrary = nullptr;
    FT_HANDLE hDevice = nullptr;
    FT_Open_t pOpen = nullptr;
    FT_Close_t pClose = nullptr;
    FT_Read_t pRead = nullptr;
    FT_Write_t pWrite = nullptr;
    FT_Purge_t pPurge = nullptr;
    FT_SetTimeouts_t pSetTimeouts = nullptr;
    FT_SetLatencyTimer_t pSetLatencyTimer = nullptr;
    FT_SetBitMode_t pSetBitMode = nullptr;
    FT_EE_Read_t pEeRead = nullptr;
};

#endif
