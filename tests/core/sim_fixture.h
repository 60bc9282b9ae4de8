// Shared by the library's tests: a fresh simulated world per test, the handles a test opened closed
// again at its end, and readable views of what reached the device and the master chip.
#ifndef TARNBUS_TEST_SIM_FIXTURE_H
#define TARNBUS_TEST_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tarnbus/tarnbus.h"
#include "tarnbus_sim.h"

struct DeviceCall {
    std::string strName;
    std::vector<uint8_t> vecBytes;
};

struct MasterAccess {
    char cOp;
    uint8_t ucAddress;
    uint8_t ucValue;
    bool operator==(const MasterAccess &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const MasterAccess &a)
{
    char ac[16];
    std::snprintf(ac, sizeof ac, "%c %02X %02X", a.cOp, a.ucAddress, a.ucValue);
    return os << ac;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { tbsim_reset_default(); }

    void TearDown() override
    {
        // Newest first, so that the table hands out the same numbers to the next test.
        for (auto it = vecOpened.rbegin(); it != vecOpened.rend(); ++it)
            CloseInterface(*it);
    }

    // Opens the simulated USB adapter and expects it to come up.
    uint32_t ulOpenUsb()
    {
        uint32_t ulHandle = 0;
        EXPECT_EQ(BISS_OK, OpenInterface(INTERFACE_USB, "", nullptr, nullptr, &ulHandle));
        vecOpened.push_back(ulHandle);
        return ulHandle;
    }

    uint32_t ulOpen(uint32_t ulKind, int32_t lExpected, const char *strText = "")
    {
        uint32_t ulHandle = 0;
        EXPECT_EQ(lExpected, OpenInterface(ulKind, strText, nullptr, nullptr, &ulHandle));
        vecOpened.push_back(ulHandle);
        return ulHandle;
    }

    // A handle opened and brought to a started master, as the configuration program does it.
    uint32_t ulOpenStarted()
    {
        uint32_t ulHandle = ulOpenUsb();
        EXPECT_EQ(BISS_OK, WriteMasterConfig(ulHandle, 1));
        EXPECT_EQ(BISS_OK, InitBissComm(ulHandle));
        tbsim_clear_logs();
        return ulHandle;
    }

    static std::vector<DeviceCall> vecCalls()
    {
        std::vector<DeviceCall> vec;
        for (size_t i = 0; i < tbsim_call_count(); ++i) {
            DeviceCall call{tbsim_call_name(i), {}};
            call.vecBytes.resize(4096);
            call.vecBytes.resize(std::min<size_t>(tbsim_call_bytes(i, call.vecBytes.data(), 4096), 4096));
            vec.push_back(std::move(call));
        }
        return vec;
    }

    static std::vector<std::string> vecCallNames()
    {
        std::vector<std::string> vec;
        for (const auto &call : vecCalls())
            vec.push_back(call.strName);
        return vec;
    }

    static std::vector<MasterAccess> vecMasterLog()
    {
        std::vector<MasterAccess> vec;
        tbsim_master_access a;
        for (size_t i = 0; tbsim_master_log_get(i, &a) == 0; ++i)
            vec.push_back({a.op, a.address, a.value});
        return vec;
    }

    // The master log with repeated identical reads folded into one: polling loops run as often as the
    // timing allows, the order of distinct steps is what matters.
    static std::vector<MasterAccess> vecMasterSteps()
    {
        std::vector<MasterAccess> vec;
        for (const auto &a : vecMasterLog())
            if (vec.empty() || a.cOp != 'R' || !(vec.back() == a))
                vec.push_back(a);
        return vec;
    }

    // Only the writes, in order.
    static std::vector<MasterAccess> vecMasterWrites()
    {
        std::vector<MasterAccess> vec;
        for (const auto &a : vecMasterLog())
            if (a.cOp == 'W')
                vec.push_back(a);
        return vec;
    }

    static tbsim_counters counters()
    {
        tbsim_counters c;
        tbsim_get_counters(&c);
        return c;
    }

    std::vector<uint32_t> vecOpened;
};

#endif
