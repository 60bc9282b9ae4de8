// Control frames on the cycle steps through the master's instruction register (the path of the
// parallel-port kinds), driven through the class interface on the simulated adapter: a register
// request, the cycle run that counts completed registers, and the control results.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tarnbus/BissClass.h"
#include "tarnbus_sim.h"

namespace {

class ModeCCycleStepsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        ASSERT_EQ(BISS_OK, biss.eSetInterface(INTERFACE_USB, ""));
        biss.eSetMasterConfig(0, MC_E5_LOW_BITS, 1);
        biss.eSetMasterConfig(0, MC_E6_LOW5, 4);
        biss.eSetMasterConfig(0, MC_SLAVE_MODE_C, 1);
        ASSERT_EQ(BISS_OK, biss.eWriteMasterConfig(1));
        ASSERT_EQ(BISS_OK, biss.eInitBissComm());
    }

    // Hands over a request of ulCount registers from ulAddress (bytes for a write).
    BissEnum eRequest(uint32_t ulAddress, uint32_t ulCount, const std::vector<uint8_t> &vecWrite = {})
    {
        std::vector<DATAITEM> vecItems(ulCount > 0 ? ulCount : 1);
        for (size_t i = 0; i < vecWrite.size(); ++i)
            vecItems[i].ucData = vecWrite[i];
        vecItems[0].ulCount = ulCount;
        DATAITEM *pItems = vecItems.data();
        WRITEDATA8 request{};
        request.ulCount = 1;
        request.ulAddress = ulAddress;
        request.ulRegCount = ulCount;
        request.bWrite = vecWrite.empty() ? 0 : 1;
        request.ppItems = &pItems;
        WRITEDATA8 *pRequest = &request;
        return biss.eWriteData(nullptr, nullptr, &pRequest);
    }

    // The control results of the last transfer: (byte, valid) per completed register.
    std::vector<std::pair<uint8_t, uint32_t>> results()
    {
        READDATA1 *pScd = nullptr;
        READDATA5 *pMcd = nullptr;
        READDATA8 *pCtr = nullptr;
        std::vector<std::pair<uint8_t, uint32_t>> vec;
        if (biss.eReadData(&pScd, &pMcd, &pCtr) == BISS_OK && pCtr)
            for (uint32_t i = 0; i < pCtr[0].ulCount; ++i)
                vec.emplace_back(pCtr[i].ucData, pCtr[i].ulValid);
        ReleaseDataLists(pScd, pMcd, pCtr);
        return vec;
    }

    BissClass biss;
};

} // namespace

TEST_F(ModeCCycleStepsTest, ChainedReadAndWriteThroughTheRequest)
{
    ASSERT_EQ(BISS_OK, eRequest(49, 3));
    ASSERT_EQ(BISS_OK, biss.eStartBissTransfer(3, 1));
    std::vector<std::pair<uint8_t, uint32_t>> vecExpected;
    for (unsigned a = 49; a < 52; ++a)
        vecExpected.emplace_back(tbsim_slave_get(0, a), 1);
    EXPECT_EQ(vecExpected, results());
    ASSERT_EQ(BISS_OK, eRequest(0, 0)); // cancel

    ASSERT_EQ(BISS_OK, eRequest(17, 2, {0x5C, 0xC5}));
    ASSERT_EQ(BISS_OK, biss.eStartBissTransfer(2, 1));
    EXPECT_EQ(2u, results().size());
    EXPECT_EQ(0x5C, tbsim_slave_get(0, 17));
    EXPECT_EQ(0xC5, tbsim_slave_get(0, 18));
    EXPECT_NE(0x5C, tbsim_slave_get(0, 16));
}

TEST_F(ModeCCycleStepsTest, FailuresEndTheRunInsteadOfLoopingOn)
{
    // No acknowledge from the slave: the cycle that found it ends the run.
    tbsim_set_fault(TBSIM_CONTROL_FOREIGN_ID, 1, 2);
    ASSERT_EQ(BISS_OK, eRequest(32, 1));
    EXPECT_EQ(BISS_COMM_FAILED, biss.eStartBissTransfer(1, 1));
    tbsim_set_fault(TBSIM_CONTROL_FOREIGN_ID, 0, 0);

    // A slave that never gets ready keeps the frame at its start: the run gives up after the time
    // limit.
    tbsim_set_fault(TBSIM_CONTROL_NEVER_READY, 1, 0);
    ASSERT_EQ(BISS_OK, eRequest(32, 1));
    EXPECT_EQ(BISS_TIMEOUT, biss.eStartBissTransfer(1, 1));
}

TEST_F(ModeCCycleStepsTest, ARegisterCallLeavesNothingForLaterSensorRuns)
{
    uint8_t auc[2] = {};
    uint32_t ulCount = 2;
    ASSERT_EQ(BISS_OK, biss.eReadSlaveRegister(0, 0, 32, &ulCount, auc));
    EXPECT_EQ(tbsim_slave_get(0, 33), auc[1]);
    // A plain sensor run afterwards carries no register frame.
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, biss.eStartBissTransfer(30, 0));
    EXPECT_EQ(0u, tbsim_control_log_count());
}
