// Shared by the library's tests: a fresh simulated world per test, the handles a test opened closed
// again (newest first, so the table hands out the same numbers next time), and compact views of what
// reached the device and the master chip.
#ifndef TARNBUS_TEST_SIM_FIXTURE_H
#define TARNBUS_TEST_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tarnbus/tarnbus.h"
#include "tarnbus_sim.h"

using Bytes = std::vector<uint8_t>;

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { tbsim_reset_default(); }
    void TearDown() override { vCloseAll(); }

    void vCloseAll()
    {
        for (auto it = vecOpened.rbegin(); it != vecOpened.rend(); ++it)
            CloseInterface(*it);
        vecOpened.clear();
    }

    uint32_t ulOpen(uint32_t ulKind = INTERFACE_USB, int32_t lExpected = BISS_OK, const char *strText = "")
    {
        uint32_t ulHandle = 0;
        EXPECT_EQ(lExpected, OpenInterface(ulKind, strText, nullptr, nullptr, &ulHandle));
        vecOpened.push_back(ulHandle);
        return ulHandle;
    }

    // Opened and started as the configuration program does it; the logs start empty.
    uint32_t ulOpenStarted()
    {
        uint32_t ulHandle = ulOpen();
        EXPECT_EQ(BISS_OK, WriteMasterConfig(ulHandle, 1));
        EXPECT_EQ(BISS_OK, InitBissComm(ulHandle));
        tbsim_clear_logs();
        return ulHandle;
    }

    // One encoder on the line, its cycles polled 4 times, slave 0 in register mode C or B, and the
    // master configured and started; Items come first (slave 0's data words, for example).
    static void vStartLine(uint32_t h, bool bModeC,
                           std::initializer_list<std::pair<MasterConfigEnum, uint32_t>> Items = {})
    {
        for (const auto &[eItem, ulValue] : Items)
            EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, eItem, ulValue));
        EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E5_LOW_BITS, 1));
        EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E6_LOW5, 4));
        EXPECT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_SLAVE_MODE_C, bModeC ? 1 : 0));
        EXPECT_EQ(BISS_OK, WriteMasterConfig(h, 1));
        EXPECT_EQ(BISS_OK, InitBissComm(h));
    }

    // The master log as text: its writes as "E3=01 E2=28 ...", or every access as "WE3 RF0 ..." with
    // repeated reads of one register (polling) folded into one.
    static std::string strMaster(bool bWritesOnly)
    {
        std::string str, strPrevious;
        tbsim_master_access a;
        for (size_t i = 0; tbsim_master_log_get(i, &a) == 0; ++i) {
            char ac[12];
            if (bWritesOnly)
                std::snprintf(ac, sizeof ac, " %02X=%02X", a.address, a.value);
            else
                std::snprintf(ac, sizeof ac, " %c%02X", a.op, a.address);
            if (a.op == 'W' || (!bWritesOnly && strPrevious != ac))
                str += ac;
            strPrevious = ac;
        }
        return str.empty() ? str : str.substr(1);
    }
    static std::string strWrites() { return strMaster(true); }
    static std::string strSteps() { return strMaster(false); }

    static std::string strAccess(unsigned uiAddress, unsigned uiValue)
    {
        char ac[12];
        std::snprintf(ac, sizeof ac, " %02X=%02X", uiAddress, uiValue);
        return ac;
    }

    static Bytes encoder(unsigned uiAddress, unsigned uiCount)
    {
        Bytes vec;
        for (unsigned i = 0; i < uiCount; ++i)
            vec.push_back(tbsim_slave_get(0, uiAddress + i));
        return vec;
    }

    std::vector<uint32_t> vecOpened;
};

#endif
