// A master that reports more registers done than were asked for: the caller's count and buffer must
// stay within what the caller gave. The simulated master never answers so, hence the bare driver.
#include <gtest/gtest.h>

#include <vector>

#include "tarnbus/tarnbus.h"

extern "C" {
void fake_ftd2xx_reset();
void fake_ftd2xx_set(uint8_t ucAddress, uint8_t ucValue);
}

namespace {

class ReportedCountTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        fake_ftd2xx_reset();
        const bool bVersion1 = GetParam() == 1;
        fake_ftd2xx_set(0xEB, bVersion1 ? 0x3F : 0x81);
        ASSERT_EQ(BISS_OK, OpenInterface(INTERFACE_USB, "", nullptr, nullptr, &ulHandle));
        // Idle master, transfer broken off, and a done count far above the request.
        fake_ftd2xx_set(0xF0, 0x01);
        fake_ftd2xx_set(0xE0, 0x02);
        fake_ftd2xx_set(bVersion1 ? 0xE4 : 0xF3, 0x3F);
        for (int i = 0; i < 64; ++i)
            fake_ftd2xx_set(uint8_t((bVersion1 ? 0x40 : 0x80) + i), uint8_t(0xA0 + i));
    }
    void TearDown() override { CloseInterface(ulHandle); }
    uint32_t ulHandle = 0;
};

TEST_P(ReportedCountTest, NeverAboveTheCountAsked)
{
    std::vector<uint8_t> vecData(8, 0xEE);
    uint32_t ulCount = 2;
    EXPECT_EQ(BISS_COMM_FAILED, ReadSlaveRegister(ulHandle, 0, 0, 32, &ulCount, vecData.data()));
    EXPECT_EQ(2u, ulCount);
    EXPECT_EQ((std::vector<uint8_t>{0xA0, 0xA1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}), vecData);

    std::vector<uint8_t> vecBlock = {1, 2, 3};
    ulCount = 3;
    EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(ulHandle, 0, 0, 0, &ulCount, vecBlock.data(), 0xFF));
    EXPECT_EQ(3u, ulCount);
}

INSTANTIATE_TEST_SUITE_P(MasterVersions, ReportedCountTest, ::testing::Values(1, 2));

} // namespace
