// Sensor cycles of the simulated master, seen from the SPI link: how long a cycle lasts, what it leaves
// in the data memory and status registers, automatic cycles and hold, the control bits, and the CRC
// the slaves send.
#include "crc.h"
#include "sim_wire.h"

#include <gtest/gtest.h>

namespace {

// BiSS C position CRC, x^6 + x + 1: the CRC of every 6-bit value, as published for table-driven
// masters (entries 0, 1, 0x15, 0x20, 0x2A and 0x3F).
TEST(SlaveCrc, MatchesThePublishedCrc6TableAndTheControlFrameCrc4)
{
    auto bits = [](uint32_t value, unsigned count) {
        std::vector<bool> v;
        for (unsigned i = count; i-- > 0;)
            v.push_back((value >> i) & 1);
        return v;
    };
    const std::pair<uint32_t, uint32_t> table[] = {{0, 0},       {1, 0x03},    {0x15, 0x3F},
                                                   {0x20, 0x23}, {0x2A, 0x3D}, {0x3F, 0x02}};
    for (auto [value, crc] : table)
        EXPECT_EQ(crc, tbsim::crcOf(bits(value, 6), 0x43)) << value;
    EXPECT_EQ(6u, tbsim::crcWidth(0x43));
    // Control frame header: start bit, CTS, id 0, address 0 / 0x20 -> CRC 1001 / 0011 (x^4 + x + 1).
    EXPECT_EQ(0x9u, tbsim::crcOf(bits(0x400, 11), 0x13));
    EXPECT_EQ(0x3u, tbsim::crcOf(bits(0x420, 11), 0x13));
    // A word followed by its CRC divides evenly.
    std::vector<bool> word = bits(0x2C5A7, 20);
    const uint32_t crc = tbsim::crcOf(word, 0x43);
    const std::vector<bool> tail = bits(crc, 6);
    word.insert(word.end(), tail.begin(), tail.end());
    EXPECT_EQ(0u, tbsim::crcOf(word, 0x43));
    EXPECT_EQ(0x21u, tbsim::polynomialFromRegister(0x21) >> 1);
}

class SensorCycles : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        ASSERT_EQ(wire.open(), FT_OK);
    }
    void TearDown() override { wire.close(); }

    // Slot 0 of a version-2 master: word lengths and CRC registers (polynomial without x^0).
    void slotV2(unsigned slot, unsigned length1, uint8_t crc1, unsigned length2, uint8_t crc2)
    {
        wire.writeMaster(uint8_t(0xC0 + 4 * slot), uint8_t(length1 ? length1 + 63 : 0));
        wire.writeMaster(uint8_t(0xC1 + 4 * slot), crc1);
        wire.writeMaster(uint8_t(0xC2 + 4 * slot), uint8_t(length2 ? length2 + 63 : 0));
        wire.writeMaster(uint8_t(0xC3 + 4 * slot), crc2);
    }
    // Starts a cycle with command and counts the accesses until end of transmission returns.
    int cycle(uint8_t command, uint8_t instruction = 0xF4)
    {
        wire.writeMaster(instruction, command);
        for (int i = 0; i < 200; ++i)
            if (wire.readMaster(0xF0) & 1)
                return i;
        return -1;
    }
    uint64_t memory(uint8_t from, unsigned bytes, bool littleEndian)
    {
        uint64_t value = 0;
        for (unsigned i = 0; i < bytes; ++i) {
            const uint64_t b =
                static_cast<uint64_t>(wire.readMaster(uint8_t(from + (littleEndian ? i : 7 - i))));
            value = littleEndian ? value | (b << (8 * i)) : (value << 8) | b;
        }
        return value;
    }
    static tbsim_cycle lastCycle()
    {
        tbsim_cycle c{};
        EXPECT_EQ(0, tbsim_cycle_log_get(tbsim_cycle_log_count() - 1, &c));
        return c;
    }

    SimWire wire;
};

TEST_F(SensorCycles, ACycleLastsAsLongAsTheClockSettingSaysAndLeavesTheWordsLittleEndian)
{
    slotV2(0, 10, 0x21, 24, 0x21);
    tbsim_slave_sensor_set(0, 0, 10, 0x2AB, 5, TBSIM_CRC_FROM_SLOT);
    tbsim_slave_sensor_set(0, 1, 24, 0x123456, 1, TBSIM_CRC_FROM_SLOT);
    for (uint8_t clock : {uint8_t(3), uint8_t(9), uint8_t(0x12)}) {
        wire.writeMaster(0xE6, clock);
        const int expected = (clock & 0x0F) * ((clock & 0x10) ? 10 : 1);
        // The poll that takes the command does not count; the cycle ends at the expected access.
        EXPECT_EQ(expected, cycle(4)) << int(clock);
    }
    EXPECT_EQ(0x73, wire.readMaster(0xF0)) << "valid, both words valid, second words came, idle";
    EXPECT_EQ(0x03, wire.readMaster(0xF1)) << "slot 0: both words";

    EXPECT_EQ(0x2AB + 10u, memory(0x00, 2, true)) << "third cycle: two steps on";
    EXPECT_EQ(0x123458u, memory(0x40, 3, true));
    EXPECT_EQ(3u, tbsim_cycle_log_count());
    EXPECT_EQ(0x2AB + 15u, tbsim_slave_sensor_value(0, 0)) << "the next cycle's value";

    // A slow line: every cycle lasts that many accesses more than the clock gives, and carries its
    // own value as any other.
    tbsim_set_fault(TBSIM_SLOW_LINE, 1, 150);
    EXPECT_EQ(2 * 10 + 150, cycle(4)) << "clock 0x12 and the slow line";
    EXPECT_EQ(0x2AB + 15u, memory(0x00, 2, true));
    EXPECT_EQ(4u, tbsim_cycle_log_count());
}

TEST_F(SensorCycles, AWordWithAWrongCrcIsMarkedInItsSlotOnly)
{
    slotV2(0, 10, 0x21, 24, 0x21);
    tbsim_set_fault(TBSIM_CRC_ERROR, 1, 0);
    cycle(4);
    EXPECT_EQ(0x63, wire.readMaster(0xF0)) << "first words not all valid";
    EXPECT_EQ(0x02, wire.readMaster(0xF1)) << "slot 0: second word only";
    EXPECT_EQ(0u, lastCycle().slot_valid);
    tbsim_set_fault(TBSIM_CRC_ERROR, 1, 8);
    cycle(4);
    EXPECT_EQ(0x53, wire.readMaster(0xF0)) << "second words not all valid";
    EXPECT_EQ(0x01, wire.readMaster(0xF1));

    // The slave's own polynomial differs from the slot's: the master misreads the stream.
    tbsim_set_fault(TBSIM_CRC_ERROR, 0, 0);
    tbsim_slave_sensor_set(0, 0, 10, 0x1A5, 1, 0x43);
    slotV2(0, 10, 0x09, 24, 0x21); // the slot expects x^4 + x + 1
    cycle(4);
    EXPECT_EQ(0x00, wire.readMaster(0xF1));

    // A master slot one bit longer than the slave's word misreads the stream.
    slotV2(0, 11, 0, 0, 0);
    tbsim_slave_sensor_set(0, 0, 10, 0x155, 0, 0);
    tbsim_slave_sensor_set(0, 1, 0, 0, 0, 0);
    cycle(4);
    EXPECT_EQ(0x155u << 1, memory(0x00, 2, true)) << "the bit after the word is read as the lowest";
}

TEST_F(SensorCycles, VersionOneKeepsTheBitsAsTheyCameWithCrcAndTrailBit)
{
    tbsim_set_master(1, 0x3F, 0);
    wire.writeMaster(0x80, 16 + 63); // slot 0: 16 bits, CRC-6
    wire.writeMaster(0x88, 0x21);
    wire.writeMaster(0x90, 12 + 63); // second word: 12 bits, no CRC
    wire.writeMaster(0x98, 0);
    tbsim_slave_sensor_set(0, 0, 16, 0xBEEF, 0, TBSIM_CRC_FROM_SLOT);
    tbsim_slave_sensor_set(0, 1, 12, 0xABC, 0, TBSIM_CRC_FROM_SLOT);
    wire.writeMaster(0xE1, 0x02);
    int polls = 0;
    while (!(wire.readMaster(0xE0) & 0x01) && polls < 20)
        ++polls;
    EXPECT_EQ(2, polls);
    EXPECT_EQ(0x04, wire.readMaster(0xE0) & 0x04) << "valid";
    EXPECT_EQ(0x40, wire.readMaster(0xE0) & 0x40) << "ready for the next command";
    // 16 data bits, a 7-bit CRC field (the complemented CRC below a 0), one trail bit: 24 bits.
    std::vector<bool> data;
    for (int i = 15; i >= 0; --i)
        data.push_back((0xBEEF >> i) & 1);
    const uint32_t crc = tbsim::crcOf(data, 0x43) ^ 0x3F;
    EXPECT_EQ((uint64_t(0xBEEF) << 8) | (crc << 1), memory(0x00, 8, false) >> 40);
    EXPECT_EQ(0xBEu, memory(0x00, 8, false) >> 56) << "most significant byte at the top of the block";
    // 12 bits: one whole byte at the top, the last four bits in the high half of the next byte down.
    EXPECT_EQ(0xAB, wire.readMaster(0x47));
    EXPECT_EQ(0xC0, wire.readMaster(0x46));
}

TEST_F(SensorCycles, AutomaticCyclesRunUntilStoppedAndHoldFreezesThem)
{
    slotV2(0, 10, 0, 0, 0);
    wire.writeMaster(0xE6, 2);
    tbsim_slave_sensor_set(0, 0, 10, 0, 1, TBSIM_CRC_FROM_SLOT);
    wire.writeMaster(0xF4, 0x01);
    for (int i = 0; i < 20; ++i)
        wire.readMaster(0xF0);
    const size_t running = tbsim_cycle_log_count();
    EXPECT_GE(running, 5u) << "cycles follow one another";

    wire.writeMaster(0xF4, 0x41);
    const uint64_t held = memory(0x00, 2, true);
    for (int i = 0; i < 20; ++i)
        wire.readMaster(0xF0);
    EXPECT_EQ(held, memory(0x00, 2, true)) << "the data stay while held";
    const size_t atHold = tbsim_cycle_log_count();
    EXPECT_LE(atHold, running + 2);

    wire.writeMaster(0xF4, 0x01);
    for (int i = 0; i < 20; ++i)
        wire.readMaster(0xF0);
    EXPECT_GT(tbsim_cycle_log_count(), atHold + 3) << "released";
    EXPECT_NE(held, memory(0x00, 2, true));

    wire.writeMaster(0xF4, 0x00);
    for (int i = 0; i < 5; ++i)
        wire.readMaster(0xF0);
    const size_t stopped = tbsim_cycle_log_count();
    for (int i = 0; i < 20; ++i)
        wire.readMaster(0xF0);
    EXPECT_EQ(stopped, tbsim_cycle_log_count()) << "0 stops them";
    EXPECT_EQ(1, wire.readMaster(0xF0) & 1);

    wire.writeMaster(0xF4, 0x01);
    wire.readMaster(0xF0);
    wire.writeMaster(0xF4, 0x80);
    EXPECT_EQ(1, wire.readMaster(0xF0) & 1) << "abort ends them at once";
}

TEST_F(SensorCycles, TheControlChannelIsReadyAfterFourteenCyclesWithCdmZero)
{
    slotV2(0, 10, 0, 0, 0);
    for (int i = 0; i < 13; ++i)
        cycle(4);
    EXPECT_EQ(0x00, wire.readMaster(0xF3));
    cycle(6);
    EXPECT_EQ(0x80, wire.readMaster(0xF3)) << "ready, CDS 0 (no control channel)";
    cycle(2);
    EXPECT_EQ(0x00, wire.readMaster(0xF3)) << "CDM 1 leaves the idle state";
    EXPECT_EQ(1, lastCycle().cdm);
    tbsim_set_fault(TBSIM_CDS_STUCK, 1, 1);
    cycle(4);
    EXPECT_EQ(0x40, wire.readMaster(0xF3));
    EXPECT_EQ(1, lastCycle().cds);
    EXPECT_EQ(0, lastCycle().cdm);
    EXPECT_EQ(1, lastCycle().valid);
    EXPECT_EQ(4, lastCycle().command);
}

TEST_F(SensorCycles, FaultsOfTheLine)
{
    slotV2(0, 10, 0x21, 0, 0);
    tbsim_set_fault(TBSIM_NO_START_BIT, 1, 0);
    const uint64_t before = tbsim_slave_sensor_value(0, 0);
    EXPECT_GE(cycle(4), 0);
    EXPECT_EQ(0x01, wire.readMaster(0xF0)) << "ended, nothing valid";
    EXPECT_EQ(0, lastCycle().valid);
    EXPECT_EQ(before, tbsim_slave_sensor_value(0, 0)) << "a slave that did not answer did not move on";
    tbsim_set_fault(TBSIM_NO_START_BIT, 0, 0);

    tbsim_set_fault(TBSIM_CYCLE_NEVER_ENDS, 1, 0);
    EXPECT_EQ(-1, cycle(4));
    wire.writeMaster(0xF4, 0x80);
    EXPECT_EQ(1, wire.readMaster(0xF0) & 1) << "abort ends it";
}

} // namespace
