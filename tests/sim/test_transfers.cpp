// Register transfers the master runs on the BiSS line: data window, status bits and partial counts
// of both master versions, the encoder's protected plate, power cycle and the replaced encoder.
#include "sim_wire.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Transfers : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        ASSERT_EQ(wire.open(), FT_OK);
    }
    void TearDown() override { wire.close(); }

    void useVersion1()
    {
        wire.close();
        tbsim_set_master(1, 0x21, 0x00);
        ASSERT_EQ(wire.open(), FT_OK);
    }
    std::string windowText(uint8_t start, unsigned n)
    {
        std::string s;
        for (unsigned i = 0; i < n; ++i)
            s += static_cast<char>(wire.readMaster(static_cast<uint8_t>(start + i)));
        return s;
    }

    SimWire wire;
};

TEST_F(Transfers, ReadMovesSlaveRegistersIntoTheWindowOnBothVersions)
{
    // Version 2: window at 0x80, success is status bit 3 set with bit 6 clear.
    const int status = wire.transfer(2, 0, 32, 24, false);
    ASSERT_GE(status, 0);
    EXPECT_EQ(status & 0x48, 0x08);
    EXPECT_EQ(wire.readMaster(0x80), 0x01);
    EXPECT_EQ(wire.readMaster(0x81), 58);
    EXPECT_EQ(windowText(0x80 + 5, 6), "RC5812");
    EXPECT_EQ(windowText(0x80 + 17, 7), "2612001");

    // Version 1: window at 0x40, success is status bits 2 and 1 set.
    useVersion1();
    const int status1 = wire.transfer(1, 0, 16, 6, false);
    ASSERT_GE(status1, 0);
    EXPECT_EQ(status1 & 0x06, 0x06);
    const uint8_t eeprom[6] = {0xA4, 0x5A, 0x61, 0x0C, 0x02, 0x80};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(wire.readMaster(static_cast<uint8_t>(0x40 + i)), eeprom[i]) << "byte " << i;
}

TEST_F(Transfers, WriteMovesTheWindowIntoTheSlaveButNotIntoThePlate)
{
    wire.writeMaster(0x80, 0x11);
    wire.writeMaster(0x81, 0x22);
    EXPECT_EQ(wire.transfer(2, 0, 16, 2, true) & 0x48, 0x08);
    EXPECT_EQ(tbsim_slave_get(0, 16), 0x11);
    EXPECT_EQ(tbsim_slave_get(0, 17), 0x22);
    EXPECT_EQ(tbsim_slave_get(0, 18), 0x61) << "only the count given is written";

    // The rating plate is protected: the transfer goes through and changes nothing.
    wire.writeMaster(0x80, 0x00);
    wire.transfer(2, 0, 32, 1, true);
    EXPECT_EQ(tbsim_slave_get(0, 32), 0x01);
    wire.writeMaster(0x80, 'X');
    wire.transfer(2, 0, 103, 1, true);
    EXPECT_EQ(tbsim_slave_get(0, 103), 0x00);
    wire.transfer(2, 0, 104, 1, true);
    EXPECT_EQ(tbsim_slave_get(0, 104), 'X') << "the register after the plate is writable";
}

TEST_F(Transfers, AbsentSlaveGivesNoAnswerStatus)
{
    EXPECT_EQ(wire.transfer(2, 3, 0, 1, false) & 0x48, 0x40) << "nothing at slave 3";
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    EXPECT_EQ(wire.transfer(2, 0, 32, 1, false) & 0x48, 0x40);

    useVersion1();
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    EXPECT_EQ(wire.transfer(1, 0, 32, 1, false) & 0x06, 0x04) << "bit 2 set, bit 1 clear";
}

TEST_F(Transfers, ShortTransferReportsThePartialCount)
{
    tbsim_set_fault(TBSIM_SHORT_TRANSFER, 1, 5);
    EXPECT_EQ(wire.transfer(2, 0, 32, 24, false) & 0x48, 0x00);
    EXPECT_EQ(wire.readMaster(0xF3), 5);
    EXPECT_EQ(wire.readMaster(0x84), 0x00) << "register 36 came";
    EXPECT_NE(wire.readMaster(0x85), 'R') << "register 37 did not";

    wire.writeMaster(0x80, 1), wire.writeMaster(0x81, 2), wire.writeMaster(0x82, 3);
    tbsim_set_fault(TBSIM_SHORT_TRANSFER, 1, 2);
    wire.transfer(2, 0, 0, 3, true);
    EXPECT_EQ(tbsim_slave_get(0, 1), 2);
    EXPECT_EQ(tbsim_slave_get(0, 2), 0x61) << "the third register was not written";

    // An arg at least the count is a whole transfer.
    tbsim_set_fault(TBSIM_SHORT_TRANSFER, 1, 24);
    EXPECT_EQ(wire.transfer(2, 0, 32, 24, false) & 0x48, 0x08);

    useVersion1();
    tbsim_set_fault(TBSIM_SHORT_TRANSFER, 1, 3);
    EXPECT_EQ(wire.transfer(1, 0, 32, 8, false) & 0x06, 0x02) << "bit 2 clear, data readable";
    EXPECT_EQ(wire.readMaster(0xE4) & 0x3F, 3);
    EXPECT_EQ(wire.readMaster(0x42), 0x00);
}

TEST_F(Transfers, WindowHoldsAtMost64Registers)
{
    // A longer transfer would run into the configuration registers after the window.
    wire.writeMaster(0xC0, 0x49);
    EXPECT_EQ(wire.transfer(2, 0, 0, 100, false) & 0x48, 0x00);
    EXPECT_EQ(wire.readMaster(0xF3), 64);
    EXPECT_EQ(wire.readMaster(0xC0), 0x49);
}

TEST_F(Transfers, PowerCycleLoadsRamFromEeprom)
{
    wire.writeMaster(0x80, 0x1F);
    wire.transfer(2, 0, 0, 1, true); // RAM
    wire.writeMaster(0x80, 0x07);
    wire.transfer(2, 0, 16, 1, true); // EEPROM
    EXPECT_EQ(tbsim_slave_get(0, 0), 0x1F) << "RAM keeps its value until power-up";
    tbsim_encoder_power_cycle();
    EXPECT_EQ(tbsim_slave_get(0, 0), 0x07);
    EXPECT_EQ(tbsim_slave_get(0, 5), 0x80);
}

TEST_F(Transfers, ReplacedEncoderHasAnotherSerialNumberAndItsOwnRegisters)
{
    wire.writeMaster(0x80, 0x33);
    wire.transfer(2, 0, 1, 1, true);
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
    wire.transfer(2, 0, 32, 24, false);
    EXPECT_EQ(windowText(0x80 + 17, 7), "2612002");
    EXPECT_EQ(wire.readMaster(0x81), 58) << "same article type";
    wire.transfer(2, 0, 1, 1, false);
    EXPECT_EQ(wire.readMaster(0x80), 0x5A);
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 0, 0);
    wire.transfer(2, 0, 1, 1, false);
    EXPECT_EQ(wire.readMaster(0x80), 0x33) << "the first encoder is back as it was";
}

} // namespace
