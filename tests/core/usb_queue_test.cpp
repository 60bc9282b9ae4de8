// The USB adapter's two prepared sensor cycles, on the adapter object itself (its sources are built into
// this test): queue 0 idles with control bit 0, queue 1 with control bit 1, each keeps its own prepared
// transfer, and a register frame in between leaves both usable.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_fixture.h"
#include "tarnbus/BissClass.h"
#include "usb_adapter.h"

namespace {

struct Cycle {
    int iCommand;
    int iCdm;
    bool operator==(const Cycle &other) const { return iCommand == other.iCommand && iCdm == other.iCdm; }
};

std::ostream &operator<<(std::ostream &os, const Cycle &cycle)
{
    return os << "{" << cycle.iCommand << ", cdm " << cycle.iCdm << "}";
}

std::vector<Cycle> vecCycles()
{
    std::vector<Cycle> vec;
    tbsim_cycle cycle;
    for (size_t i = 0; tbsim_cycle_log_get(i, &cycle) == 0; ++i)
        vec.push_back({cycle.command, cycle.cdm});
    return vec;
}

// The bytes of every FT_Write since the logs were cleared.
std::vector<Bytes> vecWrites()
{
    std::vector<Bytes> vec;
    for (size_t i = 0; i < tbsim_call_count(); ++i) {
        if (std::string(tbsim_call_name(i)) != "FT_Write")
            continue;
        Bytes bytes(tbsim_call_bytes(i, nullptr, 0));
        tbsim_call_bytes(i, bytes.data(), bytes.size());
        vec.push_back(bytes);
    }
    return vec;
}

class UsbQueueTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        // The master started as the program starts it, then left to this test's own adapter object.
        ulOpenStarted();
        vCloseAll();
        ASSERT_TRUE(adapter.bOpen());
        context = {&owner, 1, false};
        tbsim_clear_logs();
    }

    BissClass owner;
    UsbAdapterClass adapter{0};
    UsbCycleContext context{};
};

} // namespace

TEST_F(UsbQueueTest, EachQueueIdlesWithItsOwnControlBitAndKeepsItsTransfer)
{
    for (unsigned uiQueue : {1u, 1u, 0u, 1u}) {
        const BissReadSensClass record = adapter.RunUsbCycle(context, uiQueue, 0, 0, 0, 0);
        EXPECT_NE(11u, record.ulError) << "queue " << uiQueue;
    }
    EXPECT_EQ((std::vector<Cycle>{{2, 1}, {2, 1}, {4, 0}, {2, 1}}), vecCycles());

    // One device write per cycle; queue 1 sends the same prepared bytes again after queue 0 had its
    // turn, and the two transfers differ only in the cycle command.
    const std::vector<Bytes> vecSent = vecWrites();
    ASSERT_EQ(4u, vecSent.size());
    EXPECT_EQ(vecSent[0], vecSent[1]);
    EXPECT_EQ(vecSent[0], vecSent[3]);
    ASSERT_EQ(vecSent[0].size(), vecSent[2].size());
    size_t uiDiffering = 0;
    for (size_t i = 0; i < vecSent[0].size(); ++i)
        uiDiffering += vecSent[0][i] != vecSent[2][i];
    EXPECT_EQ(1u, uiDiffering);
}

TEST_F(UsbQueueTest, RegisterFramesBetweenCyclesLeaveQueueOnePrepared)
{
    adapter.RunUsbCycle(context, 1, 0, 0, 0, 0);
    uint8_t ucId = 0;
    ASSERT_TRUE(adapter.bReadMaster(0xEB, &ucId));
    EXPECT_EQ(tbsim_master_get(0xEB), ucId);
    ASSERT_TRUE(adapter.bWriteMaster(0xF4, 0x00));
    adapter.RunUsbCycle(context, 1, 0, 0, 0, 0);

    EXPECT_EQ((std::vector<Cycle>{{2, 1}, {2, 1}}), vecCycles());
    const std::vector<Bytes> vecSent = vecWrites();
    ASSERT_EQ(4u, vecSent.size());
    EXPECT_EQ(vecSent[0], vecSent[3]);
}

TEST_F(UsbQueueTest, NoSuchQueueSendsNothing)
{
    const BissReadSensClass record = adapter.RunUsbCycle(context, 2, 0, 0, 0, 0);
    EXPECT_EQ(11u, record.ulError);
    EXPECT_TRUE(vecWrites().empty());
    EXPECT_TRUE(vecCycles().empty());
}
