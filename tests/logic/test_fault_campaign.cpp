// rotaconf-cli against a USB device that fails: every driver call of a command, in turn, fails in each
// of the ways a device fails (error, short read, short write, time-out, unplugged from then on). No run
// may crash or hang, and a run may exit 0 only when the encoder holds what was asked and printed.
//
// The runs share this process, in which the program, the library, the stand-in driver and the
// simulated adapter are loaded once, so that a run costs about a millisecond. A crash ends the test;
// a hang ends it after a minute, naming the run.
#include "cli_context.h"
#include "ftd2xx_faulty.h"
#include "tarnbus/tarnbus.h"
#include "tarnbus_sim.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Registers = std::array<uint8_t, 32>; // the encoder's RAM (0..15) and EEPROM (16..31) blocks

struct CliRun {
    int status = -1;
    std::string out, err, calls;
    Registers regs{};
};

const char *const kModeNames[FAULTY_MODE_COUNT] = {"error", "short read", "short write", "timeout", "unplug"};

// A run still going after this long hangs.
constexpr unsigned kHangSeconds = 60;
std::string hangWhere;

void onHang(int)
{
    const std::string text = "rotaconf-cli hangs: " + hangWhere + "\n";
    (void)!::write(2, text.data(), text.size());
    std::_Exit(3);
}

class FaultCampaign : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::signal(SIGALRM, onHang);
        ::setenv("TARNBUS_FTD2XX", FAULTY_DRIVER, 1);
        ::unsetenv("TARNBUS_SIM_SCENARIO");
        ::setenv("XDG_CONFIG_HOME", (::testing::TempDir() + "fault_campaign_config").c_str(), 1);
        tbsim_reset_default();
        for (unsigned a = 0; a < initial.size(); ++a)
            initial[a] = tbsim_slave_get(0, a);
        for (auto *fd : {&outFd, &errFd}) {
            std::string name = ::testing::TempDir() + "fault_campaign_XXXXXX";
            *fd = ::mkstemp(name.data());
            ASSERT_GE(*fd, 0);
            ::unlink(name.c_str());
        }
    }
    void TearDown() override
    {
        for (int fd : {outFd, errFd})
            if (fd >= 0)
                ::close(fd);
        std::signal(SIGALRM, SIG_DFL);
    }

    static std::string contents(int fd)
    {
        std::string text;
        char buffer[4096];
        ::lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }

    // rotaconf-cli ARGS with driver call n (0: none) spoiled in the given way, in a fresh simulated
    // world. Its output is caught in files; the handles it leaves open (the program closes none at
    // exit) are closed afterwards, so that every run finds the handle table as the first one did.
    CliRun run(const std::vector<std::string> &args, uint32_t n, int mode)
    {
        for (int fd : {outFd, errFd})
            EXPECT_TRUE(::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0);
        std::vector<char *> argv{const_cast<char *>("rotaconf-cli")};
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);

        std::fflush(stdout);
        std::fflush(stderr);
        const int savedOut = ::dup(1), savedErr = ::dup(2);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        ::alarm(kHangSeconds);
        faulty_arm(n, mode);
        CliRun r;
        r.status = RunCli(static_cast<int>(argv.size() - 1), argv.data());
        r.calls = faulty_calls();
        faulty_arm(0, FAULTY_ERROR);
        ::alarm(0);
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(savedOut, 1);
        ::dup2(savedErr, 2);
        ::close(savedOut);
        ::close(savedErr);

        r.out = contents(outFd);
        r.err = contents(errFd);
        for (unsigned a = 0; a < r.regs.size(); ++a)
            r.regs[a] = tbsim_slave_get(0, a);
        for (uint32_t h = 1; h <= 255; ++h)
            CloseInterface(h);
        tbsim_reset_default();
        return r;
    }

    // Every call position of the fault-free run, in every mode that applies to the call there.
    template <typename Check>
    size_t campaign(const std::vector<std::string> &args, Check check)
    {
        hangWhere = "no fault";
        const CliRun clean = run(args, 0, FAULTY_ERROR);
        EXPECT_EQ(clean.status, 0) << clean.err;
        check(clean, "no fault");
        const std::string calls = clean.calls;
        EXPECT_GT(calls.size(), 50u);
        size_t runs = 0;
        for (int mode = 0; mode < FAULTY_MODE_COUNT; ++mode) {
            for (uint32_t n = 1; n <= calls.size(); ++n) {
                const char kind = calls[n - 1];
                if ((mode == FAULTY_SHORT_READ && kind != 'R') ||
                    (mode == FAULTY_SHORT_WRITE && kind != 'W') ||
                    (mode == FAULTY_TIMEOUT && kind != 'R' && kind != 'W'))
                    continue;
                const std::string where =
                    std::string(kModeNames[mode]) + " at call " + std::to_string(n) + " (" + kind + ")";
                hangWhere = where;
                const CliRun r = run(args, n, mode);
                ++runs;
                EXPECT_TRUE(r.status == 0 || r.status == 1) << where << ": exit " << r.status << "\n"
                                                            << r.err;
                EXPECT_GE(r.calls.size(), n) << where << ": the spoiled call was not made";
                check(r, where);
                if (::testing::Test::HasFailure())
                    return runs;
            }
        }
        return runs;
    }

    int outFd = -1, errFd = -1;
    Registers initial{};
};

// The bytes after "NAME   AA: " on the line of that block, as printed by the registers command.
bool printedBlock(const std::string &out, const std::string &name, std::vector<uint8_t> &bytes)
{
    const auto line = out.find(name + " ");
    if (line == std::string::npos || (line > 0 && out[line - 1] != '\n'))
        return false;
    const auto colon = out.find(": ", line);
    const auto newline = out.find('\n', line);
    const size_t end = newline == std::string::npos ? out.size() : newline;
    if (colon == std::string::npos || colon > end)
        return false;
    bytes.clear();
    for (size_t i = colon + 2; i + 2 <= end; i += 3)
        bytes.push_back(static_cast<uint8_t>(std::stoul(out.substr(i, 2), nullptr, 16)));
    return true;
}

TEST_F(FaultCampaign, RegistersPrintsOnlyWhatTheEncoderHolds)
{
    const auto started = std::chrono::steady_clock::now();
    const size_t runs = campaign({"registers"}, [&](const CliRun &r, const std::string &where) {
        if (r.status != 0)
            return;
        std::vector<uint8_t> ram, eeprom;
        ASSERT_TRUE(printedBlock(r.out, "RAM", ram) && printedBlock(r.out, "EEPROM", eeprom)) << where << "\n"
                                                                                              << r.out;
        EXPECT_EQ(ram, std::vector<uint8_t>(r.regs.begin(), r.regs.begin() + 16)) << where << "\n" << r.out;
        EXPECT_EQ(eeprom, std::vector<uint8_t>(r.regs.begin() + 16, r.regs.end())) << where << "\n" << r.out;
    });
    std::printf("registers: %zu runs in %.1f s\n", runs,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

TEST_F(FaultCampaign, SetSucceedsOnlyWhenTheEncoderHoldsTheNewConfiguration)
{
    // Pulse count 1024 (code 4, divider 4), direction 0, zero-pulse mode 2 on the default encoder,
    // whose other bits stay.
    const std::vector<uint8_t> asked = {0xA4, 0x5A, 0x40, 0x3C, 0x04, 0x80};
    const std::vector<uint8_t> before(initial.begin() + 16, initial.begin() + 22);
    ASSERT_NE(asked, before);
    const auto started = std::chrono::steady_clock::now();
    const size_t runs = campaign(
        {"--catalog", ENCODER_CFG, "set", "1024", "0", "2"}, [&](const CliRun &r, const std::string &where) {
            const std::vector<uint8_t> ram(r.regs.begin(), r.regs.begin() + 6),
                eeprom(r.regs.begin() + 16, r.regs.begin() + 22);
            if (r.status == 0) {
                EXPECT_EQ(eeprom, asked) << where << "\n" << r.out;
                EXPECT_EQ(ram, asked) << where << "\n" << r.out;
                EXPECT_NE(r.out.find("Written: pulse count 1024"), std::string::npos) << where << "\n"
                                                                                      << r.out;
            } else {
                // A write that failed tells the user what the encoder holds, as read back after it, or
                // that it may hold a partly written configuration when it could not be read back.
                const auto said = [&](const char *text) { return r.err.find(text) != std::string::npos; };
                const bool unknown = said("may hold a partly written configuration; run set again");
                const bool untouched =
                    eeprom == before && ram == std::vector<uint8_t>(initial.begin(), initial.begin() + 6);
                if (!said("writing the configuration failed"))
                    EXPECT_TRUE(untouched) << where << ": failed before writing\n" << r.err;
                else if (untouched)
                    EXPECT_TRUE(unknown || said("configuration is unchanged")) << where << "\n" << r.err;
                else if (eeprom == asked && ram == asked)
                    EXPECT_TRUE(unknown || said("both blocks read back the new configuration"))
                        << where << "\n"
                        << r.err;
                else
                    EXPECT_TRUE(said("partly written configuration; run set again")) << where << "\n"
                                                                                     << r.err;
            }
        });
    std::printf("set: %zu runs in %.1f s\n", runs,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

} // namespace
