// Scenario files (round trip, the EEPROM file kept between runs, bad files) and the adapter faults.
#include "sim_wire.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string tempPath(const char *name)
{
    return ::testing::TempDir() + "tbsim_" + std::to_string(::getpid()) + "_" + name;
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::trunc) << text;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The files this test program made in the temporary folder.
size_t ownFiles()
{
    const std::string prefix = tempPath("");
    const auto slash = prefix.rfind('/');
    const std::string folder = prefix.substr(0, slash), stem = prefix.substr(slash + 1);
    size_t count = 0;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir))
            count += std::string(entry->d_name).rfind(stem, 0) == 0;
        ::closedir(dir);
    }
    return count;
}

class Scenario : public ::testing::Test {
protected:
    void SetUp() override { tbsim_reset_default(); }
    void TearDown() override
    {
        wire.close();
        for (const auto &f : files)
            std::remove(f.c_str());
        tbsim_reset_default();
    }
    std::string file(const char *name)
    {
        files.push_back(tempPath(name));
        return files.back();
    }
    SimWire wire;
    std::vector<std::string> files;
};

TEST_F(Scenario, FileDescribesMasterSlavesAndKeepsTheEepromBetweenRuns)
{
    const std::string path = file("world.scn");
    const std::string eeprom = file("enc.eeprom");
    writeFile(path, "# a version-1 master and a second slave\n"
                    "master.version = 1\n"
                    "master.id = 0x21\n"
                    "adapter.serial = XY42\n"
                    "slave0 = encoder\n"
                    "slave0.text.49 = 7654321   # serial number\n"
                    "slave0.16 = 01 02 03 04 05 06\n"
                    "slave1 = registers\n"
                    "slave1.0x10 = DE AD\n"
                    "encoder.eeprom_file = " +
                        eeprom + "\n");
    ASSERT_EQ(tbsim_load_scenario(path.c_str()), 0) << tbsim_last_error();
    EXPECT_EQ(tbsim_master_get(0xEB), 0x21);
    EXPECT_EQ(tbsim_slave_count(), 2);
    EXPECT_EQ(tbsim_slave_get(1, 0x11), 0xAD);
    EXPECT_EQ(tbsim_slave_get(0, 55), '1');
    EXPECT_EQ(tbsim_slave_get(0, 2), 0x03) << "RAM takes the EEPROM block at power-up";
    EXPECT_EQ(tbsim_slave_get(0, 33), 58) << "the rest is the default encoder";

    ASSERT_EQ(wire.open(), FT_OK);
    EXPECT_EQ(wire.transfer(1, 1, 0x10, 2, false) & 0x06, 0x06);
    EXPECT_EQ(wire.readMaster(0x40), 0xDE);
    wire.writeMaster(0x40, 0x99);
    wire.transfer(1, 0, 20, 1, true);
    wire.close();
    EXPECT_NE(readFile(eeprom).find("01 02 03 04 99 06"), std::string::npos) << readFile(eeprom);
    // The next run starts from the kept block, not from the scenario's.
    tbsim_reset_default();
    ASSERT_EQ(tbsim_load_scenario(path.c_str()), 0) << tbsim_last_error();
    EXPECT_EQ(tbsim_slave_get(0, 20), 0x99);
    EXPECT_EQ(tbsim_slave_get(0, 4), 0x99);

    // Each write has a temporary file of its own: one left in the way (by another world sharing the
    // file) does not stop it, and none is left behind.
    const std::string inTheWay = file("enc.eeprom.tmp");
    ASSERT_EQ(::mkdir(inTheWay.c_str(), 0755), 0);
    wire.open();
    wire.writeMaster(0x40, 0x98);
    wire.transfer(1, 0, 20, 1, true);
    wire.close();
    EXPECT_NE(readFile(eeprom).find("01 02 03 04 98 06"), std::string::npos) << readFile(eeprom);
    EXPECT_EQ(ownFiles(), 3u) << "the scenario, the EEPROM file and the directory in the way";
}

TEST_F(Scenario, BadFilesAreRefusedWithAMessageAndLeaveTheWorld)
{
    const std::string path = file("bad.scn");
    tbsim_master_set(0x30, 0x77);
    const struct {
        const char *text;
        const char *expected;
    } cases[] = {
        {"master.version = 2\nmaster.colour = red\n", ":2: unknown key 'master.colour'"},
        {"master.version = 3\n", ":1: bad value '3' for master.version"},
        {"slave2.5 = 01\n", ":1: registers given for an absent slave"},
        {"slave0.120 = 01 02 03 04 05 06 07 08 09\n", "past address 127"},
        {"slave0.0 = 0G\n", "hexadecimal bytes"},
        {"just words\n", ":1: expected key = value"},
        {"fault.meltdown = on\n", "unknown fault 'meltdown'"},
        {"master.id = 0x21\n", "bit 7 or 6 set"},
    };
    for (const auto &c : cases) {
        writeFile(path, c.text);
        EXPECT_EQ(tbsim_load_scenario(path.c_str()), -1) << c.text;
        const std::string error = tbsim_last_error();
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
    // Control bytes in the file are shown, not passed on: a zero byte would cut the message short.
    writeFile(path, std::string("master.revision = 1\0x\x1b\n", 23));
    EXPECT_EQ(tbsim_load_scenario(path.c_str()), -1);
    EXPECT_NE(std::string(tbsim_last_error()).find("'1\\x00x\\x1B' for master.revision"), std::string::npos)
        << tbsim_last_error();

    // Damaged copies of the shipped example load or are refused with a message; none may crash.
    std::ifstream example(TBSIM_EXAMPLE_SCENARIO, std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(example)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(good.empty());
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 200; ++round) {
        std::string damaged = good;
        for (int n = 1 + next() % 12; n > 0 && !damaged.empty(); --n) {
            const size_t at = next() % damaged.size();
            switch (next() % 3) {
            case 0:
                damaged[at] = static_cast<char>(next());
                break;
            case 1:
                damaged.erase(at, 1 + next() % 16);
                break;
            default:
                damaged.insert(at, std::string(1 + next() % 8, static_cast<char>(next())));
                break;
            }
        }
        writeFile(path, damaged);
        if (tbsim_load_scenario(path.c_str()) != 0) {
            EXPECT_EQ(std::string(tbsim_last_error()).rfind(path, 0), 0u) << tbsim_last_error();
        }
    }
    tbsim_reset_default();
    tbsim_master_set(0x30, 0x77);

    EXPECT_EQ(tbsim_load_scenario(tempPath("missing.scn").c_str()), -1);
    EXPECT_NE(std::string(tbsim_last_error()).find("cannot be read"), std::string::npos);

    const std::string eeprom = file("short.eeprom");
    writeFile(eeprom, "A4 5A\n");
    writeFile(path, "encoder.eeprom_file = " + eeprom + "\n");
    EXPECT_EQ(tbsim_load_scenario(path.c_str()), -1);
    EXPECT_NE(std::string(tbsim_last_error()).find("6"), std::string::npos) << tbsim_last_error();

    EXPECT_EQ(tbsim_master_get(0x30), 0x77) << "a refused file leaves the running world alone";
}

TEST_F(Scenario, ShippedExampleLoadsAsTheDefault)
{
    uint8_t defaults[128];
    for (unsigned a = 0; a < 128; ++a)
        defaults[a] = tbsim_slave_get(0, a);
    ASSERT_EQ(tbsim_load_scenario(TBSIM_EXAMPLE_SCENARIO), 0) << tbsim_last_error();
    EXPECT_EQ(tbsim_master_get(0xEB), 0x82);
    EXPECT_EQ(tbsim_slave_count(), 1);
    for (unsigned a = 0; a < 128; ++a)
        EXPECT_EQ(tbsim_slave_get(0, a), defaults[a]) << "register " << a;
}

TEST_F(Scenario, EnvironmentScenarioIsReadAtResetAndABadOneLeavesNoAdapter)
{
    const std::string path = file("env.scn");
    writeFile(path, "fault.encoder_absent = on\nmaster.revision = 0x07\n");
    ::setenv("TARNBUS_SIM_SCENARIO", path.c_str(), 1);
    tbsim_reset();
    EXPECT_EQ(tbsim_master_get(0xEA), 0x07);
    ASSERT_EQ(wire.open(), FT_OK);
    EXPECT_EQ(wire.transfer(2, 0, 32, 1, false) & 0x48, 0x40) << "fault switched on by the scenario";
    wire.close();

    // A bad file does not run some other world: there is no adapter, and the message says why.
    writeFile(path, "master.revision = lots\n");
    tbsim_reset();
    ::unsetenv("TARNBUS_SIM_SCENARIO");
    EXPECT_NE(std::string(tbsim_last_error()).find("lots"), std::string::npos);
    EXPECT_EQ(wire.open(), FT_DEVICE_NOT_FOUND);
    tbsim_reset();
    EXPECT_EQ(wire.open(), FT_OK) << "without the variable the built-in scenario runs";
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        ASSERT_EQ(wire.open(), FT_OK);
    }
    void TearDown() override
    {
        wire.close();
        tbsim_reset_default();
    }
    SimWire wire;
};

TEST_F(Faults, AbsentAndUnpluggedAdapter)
{
    wire.close();
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(FT_Open(0, &h), FT_DEVICE_NOT_FOUND);
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 0, 0);
    ASSERT_EQ(wire.open(), FT_OK);

    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 1, 0);
    uint8_t b = 0x87;
    DWORD n = 7;
    EXPECT_EQ(FT_Write(wire.handle, &b, 1, &n), FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(FT_Read(wire.handle, &b, 1, &n), FT_IO_ERROR);
    EXPECT_EQ(FT_Purge(wire.handle, FT_PURGE_RX), FT_IO_ERROR);
    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 0, 0);
    EXPECT_EQ(wire.readMaster(0xEB), 0x82) << "plugged in again, the handle works";
}

TEST_F(Faults, ShortDeviceReadAndWrite)
{
    wire.writeMaster(0x30, 0x42);
    tbsim_set_fault(TBSIM_SHORT_DEVICE_READ, 1, 1);
    EXPECT_EQ(wire.readMaster(0x30), -1) << "one byte per read";
    EXPECT_EQ(wire.read(8).size(), 1u) << "the rest stays queued";
    tbsim_set_fault(TBSIM_SHORT_DEVICE_READ, 0, 0);
    wire.read(8);

    tbsim_set_fault(TBSIM_SHORT_DEVICE_WRITE, 1, 0);
    EXPECT_EQ(wire.write({0x80, 0x10, 0x1B, 0x11, 0x02, 0x00, 0x02, 0x30, 0x55, 0x80, 0x18, 0x1B}), 11u);
    tbsim_set_fault(TBSIM_SHORT_DEVICE_WRITE, 0, 0);
    EXPECT_EQ(tbsim_master_get(0x30), 0x55) << "the frame's data came before the lost byte";
    EXPECT_EQ(wire.readMaster(0x30), -1) << "the unfinished deselect swallows the next frame";
}

TEST_F(Faults, DeviceWriteFailsAfterItsAllowanceAndEepromReadFails)
{
    tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 2);
    uint8_t cmd[] = {0x87};
    DWORD n = 0;
    EXPECT_EQ(FT_Write(wire.handle, cmd, 1, &n), FT_OK);
    EXPECT_EQ(FT_Write(wire.handle, cmd, 1, &n), FT_OK);
    uint8_t bad[] = {0xAB};
    EXPECT_EQ(FT_Write(wire.handle, bad, 1, &n), FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(wire.read(2).empty()) << "a failed write reaches nothing";
    tbsim_counters c{};
    tbsim_get_counters(&c);
    EXPECT_EQ(c.bytes_written, 10u + 2u) << "open's set-up bytes and the two that went";

    FT_PROGRAM_DATA data{};
    data.Signature2 = 0xFFFFFFFF;
    tbsim_set_fault(TBSIM_EEPROM_READ_FAILS, 1, 0);
    EXPECT_EQ(FT_EE_Read(wire.handle, &data), FT_EEPROM_READ_FAILED);
}

} // namespace
