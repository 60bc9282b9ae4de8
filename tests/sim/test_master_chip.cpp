// The master chip as the SPI link sees it: register frames, read-only registers, the instruction
// register's hand-over, start-up, the short forms, and both master versions.
#include "sim_wire.h"

#include <gtest/gtest.h>

namespace {

class MasterChip : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        ASSERT_EQ(wire.open(), FT_OK);
    }
    void TearDown() override { wire.close(); }

    // Polls end of transmission; returns how many polls saw it clear, or -1 when it never came.
    int pollsUntilEot()
    {
        for (int i = 0; i < 50; ++i)
            if (wire.readMaster(0xF0) & 1)
                return i;
        return -1;
    }

    SimWire wire;
};

TEST_F(MasterChip, WriteFrameThenReadFrameReturnsTheValueAndIsLogged)
{
    wire.writeMaster(0xE2, 0x5A);
    EXPECT_EQ(wire.readMaster(0xE2), 0x5A);
    EXPECT_EQ(tbsim_master_get(0xE2), 0x5A);
    wire.writeMaster(0x10, 0xA5);
    EXPECT_EQ(wire.readMaster(0x10), 0xA5);
    EXPECT_EQ(wire.readMaster(0xE2), 0x5A) << "a write to another register must not disturb it";

    ASSERT_EQ(tbsim_master_log_count(), 5u);
    tbsim_master_access a{};
    ASSERT_EQ(tbsim_master_log_get(0, &a), 0);
    EXPECT_EQ(a.op, 'W');
    EXPECT_EQ(a.address, 0xE2);
    EXPECT_EQ(a.value, 0x5A);
    ASSERT_EQ(tbsim_master_log_get(1, &a), 0);
    EXPECT_EQ(a.op, 'R');
    EXPECT_EQ(a.value, 0x5A);
    EXPECT_EQ(tbsim_master_log_get(5, &a), -1);
}

TEST_F(MasterChip, IdAndRevisionAreReadOnlyAndGiveTheVersion)
{
    EXPECT_EQ(wire.readMaster(0xEB), 0x82);
    wire.writeMaster(0xEA, 0x00); // the version check writes the revision register first
    EXPECT_EQ(wire.readMaster(0xEA), 0x01);
    wire.writeMaster(0xEB, 0x00);
    EXPECT_EQ(wire.readMaster(0xEB), 0x82);
}

TEST_F(MasterChip, InstructionIsVisibleForOneReadThenTakenAndStartUpCompletes)
{
    EXPECT_EQ(wire.readMaster(0xF0) & 1, 1) << "idle after power-up";
    EXPECT_EQ(wire.readMaster(0xF8) & 1, 0) << "not started after power-up";
    wire.writeMaster(0xF4, 0x10);
    EXPECT_EQ(wire.readMaster(0xF4), 0x10);
    EXPECT_EQ(wire.readMaster(0xF4), 0x00);
    const int busyPolls = pollsUntilEot();
    EXPECT_GE(busyPolls, 1) << "end of transmission must stay clear for at least one poll";
    EXPECT_LE(busyPolls, 3);
    EXPECT_EQ(wire.readMaster(0xF8) & 1, 1);
}

TEST_F(MasterChip, AbortIsTakenWithoutBeingPolledAndStopsATransfer)
{
    wire.writeMaster(0xE3, 0);
    wire.writeMaster(0xE2, 32);
    wire.writeMaster(0xE5, 0);
    wire.writeMaster(0xF4, 0x08);
    EXPECT_EQ(wire.readMaster(0xF0) & 1, 0) << "the next access takes the transfer instruction";
    wire.writeMaster(0xF4, 0x80);
    EXPECT_EQ(wire.readMaster(0xF0) & 1, 1) << "abort ends the transmission at once";
    EXPECT_EQ(wire.readMaster(0xF4), 0);
    EXPECT_NE(wire.readMaster(0x80), 0x01) << "an aborted read must not fill the data window";
}

TEST_F(MasterChip, ShortFormsWriteTheInstructionAndReadTheStatus)
{
    // 0x07 data: instruction register; 0x05: status register, its value in the second byte.
    wire.write({0x80, 0x10, 0x1B, 0x11, 0x01, 0x00, 0x07, 0x10, 0x80, 0x18, 0x1B});
    EXPECT_EQ(tbsim_master_get(0xF4), 0x10);
    wire.write({0x80, 0x10, 0x1B, 0x35, 0x01, 0x00, 0x05, 0x00, 0x80, 0x18, 0x1B, 0x87});
    const auto answer = wire.read(2);
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_EQ(answer[1] & 1, 0) << "the status read took the pending start-up: busy";
    EXPECT_EQ(pollsUntilEot() >= 0, true);
    EXPECT_EQ(wire.readMaster(0xF8) & 1, 1);
}

TEST_F(MasterChip, VersionOneUsesItsOwnInstructionAndStartUpRegisters)
{
    wire.close();
    tbsim_set_master(1, 0x21, 0x00);
    ASSERT_EQ(wire.open(), FT_OK);
    EXPECT_EQ(wire.readMaster(0xEB), 0x21);
    EXPECT_EQ(wire.readMaster(0xE0) & 0x80, 0);
    wire.writeMaster(0xF4, 0x10);
    EXPECT_EQ(wire.readMaster(0xF0) & 1, 1) << "0xF4 is plain storage on a version-1 master";
    wire.writeMaster(0xE1, 0x08);
    EXPECT_EQ(wire.readMaster(0xE1), 0x08);
    EXPECT_EQ(wire.readMaster(0xE1), 0x00);
    EXPECT_GE(pollsUntilEot(), 1);
    EXPECT_EQ(wire.readMaster(0xE0) & 0x80, 0x80);
}

TEST_F(MasterChip, SilentMasterAnswersFFAndIgnoresWrites)
{
    wire.writeMaster(0x20, 0x12);
    tbsim_set_fault(TBSIM_MASTER_SILENT, 1, 0);
    EXPECT_EQ(wire.readMaster(0x20), 0xFF);
    wire.writeMaster(0x20, 0x34);
    tbsim_set_fault(TBSIM_MASTER_SILENT, 0, 0);
    EXPECT_EQ(wire.readMaster(0x20), 0x12);
}

TEST_F(MasterChip, InstructionNotTakenStaysAndNothingRuns)
{
    tbsim_set_fault(TBSIM_INSTRUCTION_NOT_TAKEN, 1, 0);
    wire.writeMaster(0xF4, 0x10);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(wire.readMaster(0xF4), 0x10);
    EXPECT_EQ(wire.readMaster(0xF0) & 1, 1);
    EXPECT_EQ(wire.readMaster(0xF8) & 1, 0);
}

TEST_F(MasterChip, NoEotKeepsTheMasterBusyEvenWhenIdle)
{
    tbsim_set_fault(TBSIM_NO_EOT, 1, 0);
    EXPECT_EQ(pollsUntilEot(), -1);
    tbsim_set_fault(TBSIM_NO_EOT, 0, 0);
    EXPECT_EQ(pollsUntilEot(), 0);
}

} // namespace
