// The FTDI device through D2XX: statuses, MPSSE command decoding, the receive queue, the EEPROM
// record, and what the counters and call log say about the traffic.
#include "sim_wire.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>

namespace {

class Device : public ::testing::Test {
protected:
    void SetUp() override { tbsim_reset_default(); }
    void TearDown() override { wire.close(); }
    SimWire wire;
};

TEST_F(Device, OpenCloseAndHandleStatuses)
{
    FT_HANDLE h = nullptr;
    EXPECT_EQ(FT_Open(1, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(FT_Open(0, nullptr), FT_INVALID_PARAMETER);
    ASSERT_EQ(FT_Open(0, &h), FT_OK);
    FT_HANDLE second = nullptr;
    EXPECT_EQ(FT_Open(0, &second), FT_DEVICE_NOT_OPENED) << "device already in use";
    DWORD n = 0;
    EXPECT_EQ(FT_Write(h, nullptr, 4, &n), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_Close(h), FT_OK);

    // A closed handle, and one from an earlier opening, are no longer valid.
    uint8_t b = 0x87;
    EXPECT_EQ(FT_Write(h, &b, 1, &n), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_Close(h), FT_INVALID_HANDLE);
    FT_HANDLE again = nullptr;
    ASSERT_EQ(FT_Open(0, &again), FT_OK);
    EXPECT_NE(again, h);
    EXPECT_EQ(FT_SetLatencyTimer(h, 16), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_SetLatencyTimer(again, 16), FT_OK);
    EXPECT_EQ(FT_Close(again), FT_OK);
}

TEST_F(Device, UnknownOpcodeAnswersBadCommandOnlyInMpsseMode)
{
    FT_HANDLE h = nullptr;
    ASSERT_EQ(FT_Open(0, &h), FT_OK);
    wire.handle = h;
    EXPECT_EQ(wire.write({0xAB, 0x80, 0x10, 0x1B}), 4u);
    EXPECT_TRUE(wire.read(4).empty()) << "outside MPSSE the bytes mean nothing";

    FT_SetBitMode(h, 0x00, 0x00);
    FT_SetBitMode(h, 0x00, 0x02);
    wire.write({0xAB, 0x87, 0xC0});
    // A read asking for more returns what is there, with status FT_OK (the D2XX time-out case).
    EXPECT_EQ(wire.read(8), (std::vector<uint8_t>{0xFA, 0xAB, 0xFA, 0xC0}));
    wire.write({0xAB});
    EXPECT_EQ(FT_Purge(h, FT_PURGE_RX), FT_OK);
    EXPECT_TRUE(wire.read(2).empty()) << "a receive purge drops what was queued";
    // Known commands answer nothing, and their parameters are not taken for opcodes.
    wire.write({0x80, 0xAA, 0x1B, 0x86, 0xAB, 0x00, 0x85, 0x87});
    DWORD queued = 99;
    EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
    EXPECT_EQ(queued, 0u);
}

TEST_F(Device, CommandsSplitAcrossWritesContinue)
{
    ASSERT_EQ(wire.open(), FT_OK);
    wire.writeMaster(0x30, 0x6C);
    const std::vector<uint8_t> frame{0x80, 0x10, 0x1B, 0x35, 0x02, 0x00, 0x03,
                                     0x30, 0x00, 0x80, 0x18, 0x1B, 0x87};
    for (size_t cut = 1; cut < frame.size(); ++cut) {
        wire.write(std::vector<uint8_t>(frame.begin(), frame.begin() + cut));
        wire.write(std::vector<uint8_t>(frame.begin() + cut, frame.end()));
        const auto answer = wire.read(3);
        ASSERT_EQ(answer.size(), 3u) << "cut at " << cut;
        EXPECT_EQ(answer[2], 0x6C) << "cut at " << cut;
    }
}

TEST_F(Device, WrongBitOrderEdgeOrChipSelectDoesNotReachTheRegister)
{
    ASSERT_EQ(wire.open(), FT_OK);
    wire.writeMaster(0x30, 0x00);
    // Least significant bit first (0x19), data out on the rising edge (0x10), chip select left high.
    wire.write({0x80, 0x10, 0x1B, 0x19, 0x02, 0x00, 0x02, 0x30, 0x55, 0x80, 0x18, 0x1B});
    wire.write({0x80, 0x10, 0x1B, 0x10, 0x02, 0x00, 0x02, 0x30, 0x55, 0x80, 0x18, 0x1B});
    wire.write({0x80, 0x18, 0x1B, 0x11, 0x02, 0x00, 0x02, 0x30, 0x55, 0x80, 0x18, 0x1B});
    EXPECT_EQ(wire.readMaster(0x30), 0x00);
    // Data in taken on the rising edge (0x31) reads each bit a clock late.
    wire.writeMaster(0x30, 0x81);
    wire.write({0x80, 0x10, 0x1B, 0x31, 0x02, 0x00, 0x03, 0x30, 0x00, 0x80, 0x18, 0x1B, 0x87});
    const auto answer = wire.read(3);
    ASSERT_EQ(answer.size(), 3u);
    EXPECT_NE(answer[2], 0x81);
    // Bit-mode shifts carry the same frames, a byte as eight clocked bits.
    wire.write({0x80, 0x10, 0x1B, 0x13, 0x07, 0x02, 0x13, 0x07, 0x30, 0x13, 0x03, 0xA0, 0x13, 0x03, 0x50,
                0x80, 0x18, 0x1B});
    wire.write(
        {0x80, 0x10, 0x1B, 0x37, 0x07, 0x03, 0x37, 0x07, 0x30, 0x37, 0x07, 0x00, 0x80, 0x18, 0x1B, 0x87});
    EXPECT_EQ(wire.read(4), (std::vector<uint8_t>{0xFF, 0xFF, 0xA5})) << "0xA5 sent as two four-bit shifts";
    // Loop-back returns what was sent and the chip answers nothing.
    wire.write({0x84, 0x80, 0x10, 0x1B, 0x35, 0x02, 0x00, 0x03, 0x30, 0x00, 0x80, 0x18, 0x1B, 0x85});
    EXPECT_EQ(wire.read(3), (std::vector<uint8_t>{0x03, 0x30, 0x00}));
}

// Least-significant-bit-first shifts put each byte on the wire backwards: a host that reverses its
// bytes reaches the register, and reads the answer reversed.
TEST_F(Device, LeastSignificantBitFirstShiftsReverseEveryByte)
{
    ASSERT_EQ(wire.open(), FT_OK);
    // 0x02 0x30 0xA6 reversed: 0x40 0x0C 0x65.
    wire.write({0x80, 0x10, 0x1B, 0x19, 0x02, 0x00, 0x40, 0x0C, 0x65, 0x80, 0x18, 0x1B});
    EXPECT_EQ(wire.readMaster(0x30), 0xA6);
    wire.write({0x80, 0x10, 0x1B, 0x3D, 0x02, 0x00, 0xC0, 0x0C, 0x00, 0x80, 0x18, 0x1B, 0x87});
    const auto answer = wire.read(3);
    ASSERT_EQ(answer.size(), 3u);
    EXPECT_EQ(answer[2], 0x65);
}

TEST_F(Device, EepromRecordGivesTheSerialNumber)
{
    ASSERT_EQ(wire.open(), FT_OK);
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    char manufacturer[32], id[16], description[64], serial[16];
    data.Signature1 = 0;
    data.Signature2 = 0xFFFFFFFF;
    data.Version = 2;
    data.Manufacturer = manufacturer;
    data.ManufacturerId = id;
    data.Description = description;
    data.SerialNumber = serial;
    EXPECT_EQ(FT_EE_Read(wire.handle, &data), FT_OK);
    EXPECT_STREQ(serial, "TB000001");
    EXPECT_EQ(data.VendorId, 0x0403);

    data.Signature2 = 0;
    EXPECT_EQ(FT_EE_Read(wire.handle, &data), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_EE_Read(wire.handle, nullptr), FT_INVALID_PARAMETER);
}

TEST_F(Device, CountersAndCallLogShowARegisterReadCost)
{
    ASSERT_EQ(wire.open(), FT_OK);
    wire.writeMaster(0x30, 0x42);
    tbsim_clear_logs();
    EXPECT_EQ(wire.readMaster(0x30), 0x42);
    tbsim_counters c{};
    tbsim_get_counters(&c);
    EXPECT_EQ(c.writes, 1u);
    EXPECT_EQ(c.bytes_written, 13u);
    EXPECT_EQ(c.reads, 1u);
    EXPECT_EQ(c.bytes_read, 3u);
    ASSERT_EQ(tbsim_call_count(), 2u);
    EXPECT_STREQ(tbsim_call_name(0), "FT_Write");
    EXPECT_STREQ(tbsim_call_name(1), "FT_Read");
    uint8_t bytes[16] = {};
    ASSERT_EQ(tbsim_call_bytes(1, bytes, sizeof bytes), 3u);
    EXPECT_EQ(bytes[2], 0x42);
    EXPECT_EQ(tbsim_call_bytes(0, nullptr, 0), 13u);
    EXPECT_EQ(tbsim_call_name(2), nullptr);
}

// Loaded and unloaded at run time, then left with a device that is closed only after the simulator
// has been torn down at exit: nothing may leak and the late close must find the device gone.
TEST(DeviceLifetime, UnloadAndExitLeaveNothingBehindAndLateCloseIsSafe)
{
    const std::string command = std::string("'") + TBSIM_EXIT_HELPER + "' '" + TBSIM_LIBRARY + "' 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("late close 1\n"), std::string::npos) << "FT_INVALID_HANDLE expected: " << output;
    EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
}

} // namespace
