// rotaconf-cli on the adapter's real road, library -> open driver -> Debian's libftdi1 -> libusb (the
// USB model of the adapter) -> simulated adapter, master chip and encoder, compared with the same
// command on the simulated D2XX driver (--simulate). LD_LIBRARY_PATH makes the model the libusb that
// libftdi1 loads; USBMODEL_FAULTS switches the model's faults on for one run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string strRead(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs of blanks and line ends folded into one space, as a reader sees the columns.
std::string strSimplified(const std::string &text)
{
    std::string result;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\t';
        if (!blank)
            result += c;
        else if (!result.empty() && result.back() != ' ')
            result += ' ';
    }
    return result;
}

class CliOnOpenDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        char acTemplate[] = "/tmp/tarnbus-cli-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(acTemplate));
        dir = acTemplate;
        unsetenv("TARNBUS_FTD2XX");
    }
    void TearDown() override { fs::remove_all(dir); }

    // rotaconf-cli ARGS in a fresh world made of the scenario text; through the open driver unless
    // simulate is set; with the given environment variables set on top.
    CliRun run(bool simulate, std::vector<std::string> args, const std::string &scenario,
               const std::vector<std::pair<std::string, std::string>> &env = {})
    {
        const fs::path scenarioFile = dir / "scenario.txt";
        std::ofstream(scenarioFile) << scenario;
        setenv("TARNBUS_SIM_SCENARIO", scenarioFile.c_str(), 1);
        if (simulate)
            args.insert(args.begin(), "--simulate");
        args.insert(args.begin(), ROTACONF_CLI);
        const fs::path out = dir / "out.txt", err = dir / "err.txt";
        const pid_t pid = fork();
        if (pid == 0) {
            const int fdOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int fdErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fdOut, 1);
            dup2(fdErr, 2);
            for (const auto &[name, value] : env)
                setenv(name.c_str(), value.c_str(), 1);
            std::vector<char *> argv;
            for (auto &arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        CliRun r;
        r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        r.out = strRead(out);
        r.err = strRead(err);
        return r;
    }
    std::string stored(const char *name) const
    {
        return "encoder.eeprom_file = " + (dir / name).string() + "\n";
    }
    fs::path dir;
};

#define SHOW(r) "status " << (r).status << "\nout: " << (r).out << "\nerr: " << (r).err

} // namespace

TEST_F(CliOnOpenDriver, PlateReadsTheSameAsOnTheSimulatedDriver)
{
    const CliRun viaDriver = run(false, {"plate"}, "");
    const CliRun simulated = run(true, {"plate"}, "");
    ASSERT_EQ(0, viaDriver.status) << SHOW(viaDriver);
    EXPECT_NE(std::string::npos, viaDriver.out.find("2612001")) << SHOW(viaDriver);
    EXPECT_EQ(simulated.out, viaDriver.out);
    EXPECT_EQ(simulated.status, viaDriver.status);
}

TEST_F(CliOnOpenDriver, SetReachesTheEncoderAsOnTheSimulatedDriver)
{
    const CliRun viaDriver = run(false, {"set", "1'024", "0", "2"}, stored("open.eeprom"));
    const CliRun simulated = run(true, {"set", "1'024", "0", "2"}, stored("sim.eeprom"));
    ASSERT_EQ(0, viaDriver.status) << SHOW(viaDriver);
    EXPECT_EQ(simulated.out, viaDriver.out);
    EXPECT_EQ(strRead(dir / "sim.eeprom"), strRead(dir / "open.eeprom")) << "the encoder stored the same";

    // Powered up again from what the open driver wrote.
    const CliRun plate = run(true, {"plate"}, stored("open.eeprom"));
    EXPECT_NE(std::string::npos,
              strSimplified(plate.out).find("Current configuration Pulse count 1024 Interpolation code 4 "
                                            "Divider 4 Direction 0 (CHB lags CHA, CCW) Zero pulse 2"))
        << SHOW(plate);
}

TEST_F(CliOnOpenDriver, RegisterModeCAndPositionReadTheSameAsOnTheSimulatedDriver)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--register-mode", "c", "plate"}, {"position", "--count", "20"}}) {
        SCOPED_TRACE(args.back());
        const CliRun viaDriver = run(false, args, "");
        const CliRun simulated = run(true, args, "");
        ASSERT_EQ(0, viaDriver.status) << SHOW(viaDriver);
        // A position run ends with the rate reached, which differs from run to run: compare the
        // lines before it.
        const auto body = [](const std::string &out) { return out.substr(0, out.find(" cycles in ")); };
        EXPECT_EQ(body(simulated.out), body(viaDriver.out));
        EXPECT_GT(viaDriver.out.size(), 200u) << SHOW(viaDriver);
    }
}

TEST_F(CliOnOpenDriver, TheRealLibftdiIsLoadedOverTheModel)
{
    const CliRun r = run(false, {"plate"}, "", {{"LD_DEBUG", "libs"}});
    ASSERT_EQ(0, r.status) << SHOW(r);
    const std::string model = fs::canonical(USBMODEL_LIBRARY).string();
    EXPECT_TRUE(r.err.find("calling init: /usr/lib/x86_64-linux-gnu/libftdi1.so.2") != std::string::npos ||
                r.err.find("calling init: /lib/x86_64-linux-gnu/libftdi1.so.2") != std::string::npos)
        << "Debian's libftdi1";
    EXPECT_NE(std::string::npos, r.err.find("calling init: " + model)) << "the model's libusb";
    EXPECT_EQ(std::string::npos, r.err.find("calling init: /usr/lib/x86_64-linux-gnu/libusb-1.0"));
    EXPECT_EQ(std::string::npos, r.err.find("calling init: /lib/x86_64-linux-gnu/libusb-1.0"));
}

TEST_F(CliOnOpenDriver, AMissingAdapterIsReportedAsOnTheSimulatedDriver)
{
    const CliRun viaDriver = run(false, {"plate"}, "fault.adapter_absent = on\n");
    const CliRun simulated = run(true, {"plate"}, "fault.adapter_absent = on\n");
    EXPECT_EQ(1, viaDriver.status) << SHOW(viaDriver);
    EXPECT_EQ(simulated.out, viaDriver.out);
    EXPECT_EQ(simulated.err, viaDriver.err);
    EXPECT_NE(std::string::npos, viaDriver.err.find("BISS_MASTERCOMM_FAILED")) << SHOW(viaDriver);
}

TEST_F(CliOnOpenDriver, EveryFaultOfTheAdapterEndsInAFailureNeverInWrongData)
{
    const CliRun good = run(true, {"plate"}, "");
    // Unplugged at once, while the master starts, while the plate is read.
    for (const char *fault : {"unplugged", "unplugged=40", "unplugged=300", "busy", "stall", "silent",
                              "silent=100", "out_timeout=5", "bitmode"}) {
        SCOPED_TRACE(fault);
        const auto start = std::chrono::steady_clock::now();
        const CliRun r = run(false, {"plate"}, "", {{"USBMODEL_FAULTS", fault}, {"TARNBUS_TRACE", "1"}});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60)) << "no hang";
        EXPECT_EQ(1, r.status) << SHOW(r);
        EXPECT_NE(std::string::npos, r.err.find("(BISS_MASTERCOMM_FAILED)")) << SHOW(r);
        EXPECT_EQ(std::string::npos, r.out.find("Current configuration")) << SHOW(r);
        if (std::string(fault) == "busy") {
            EXPECT_NE(std::string::npos, r.err.find("FT_Open failed: status 3"))
                << "a busy adapter is told from a missing one (status 2)\n"
                << SHOW(r);
        }
    }
    // Unplugged while cycles run: the run ends there, with the cycles before it shown.
    const CliRun position = run(false, {"position", "--count", "100000", "--summary"}, "",
                                {{"USBMODEL_FAULTS", "unplugged=300"}});
    EXPECT_EQ(1, position.status) << SHOW(position);
    EXPECT_NE(std::string::npos, position.err.find("the adapter stopped answering after")) << SHOW(position);
    EXPECT_NE(std::string::npos,
              position.out.find("failed cycles: 1 (no answer 0, CRC 0, time-out 0, adapter 1)"))
        << SHOW(position);
    // Packets that carry one byte each still bring the whole answer.
    const CliRun shortPackets = run(false, {"plate"}, "", {{"USBMODEL_FAULTS", "short=1"}});
    EXPECT_EQ(0, shortPackets.status) << SHOW(shortPackets);
    EXPECT_EQ(good.out, shortPackets.out);
}
