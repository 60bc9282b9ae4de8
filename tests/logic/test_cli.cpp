// rotaconf-cli run as a user would, on the simulated adapter. Every run is a fresh simulated world; a
// scenario with an EEPROM file carries the encoder's stored configuration from one run to the next.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <QThread>

#include <signal.h>

namespace {

struct CliRun {
    int status = -1;
    QString out, err;
};

class Cli : public ::testing::Test {
protected:
    // rotaconf-cli --simulate ARGS, in a world made of the scenario lines (the default one when empty).
    CliRun run(const QStringList &args, const QByteArray &scenario = QByteArray())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("TARNBUS_SIM_SCENARIO"));
        if (!scenario.isEmpty()) {
            QFile f(dir.filePath(QStringLiteral("scenario.txt")));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(scenario);
            env.insert(QStringLiteral("TARNBUS_SIM_SCENARIO"), f.fileName());
        }
        if (!configHome.isEmpty())
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ROTACONF_CLI), QStringList{QStringLiteral("--simulate")} + args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()).simplified(),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    QByteArray stored() const
    {
        return "encoder.eeprom_file = " + dir.filePath(QStringLiteral("enc")).toUtf8() + "\n";
    }
    QTemporaryDir dir;
    QString configHome; // XDG_CONFIG_HOME of the runs when set
};

#define SHOW(r) (r).status << "\nout: " << (r).out.toStdString() << "\nerr: " << (r).err.toStdString()

TEST_F(Cli, PlateAndList)
{
    const CliRun plate = run({QStringLiteral("plate")});
    ASSERT_EQ(plate.status, 0) << SHOW(plate);
    for (const char *shown :
         {"Article type 58 (ROTA 58, programmable, solid shaft) Basic resolution 4096",
          "Serial number 2612001 Order designation ROTA 58-4096-P-HTL Factory settings Pulse count 1024",
          "Current configuration Pulse count 2048 Interpolation code 4 Divider 2 "
          "Direction 1 (CHB lags CHA, CW) Zero pulse 3 (A HIGH)"})
        EXPECT_TRUE(plate.out.contains(QLatin1String(shown))) << shown << "\n" << SHOW(plate);

    const CliRun list = run({QStringLiteral("list")});
    ASSERT_EQ(list.status, 0) << SHOW(list);
    EXPECT_TRUE(list.out.contains(QStringLiteral("2048 4 2 12000 1 (current) 4096"))) << SHOW(list);
    EXPECT_FALSE(list.out.contains(QStringLiteral(" 360 "))); // another article type's pulse count
}

TEST_F(Cli, PlateThroughTheParallelPort)
{
    // The simulated port's adapter is the bit-serial one unless the scenario wires another.
    const CliRun serial = run({QStringLiteral("--interface"), QStringLiteral("3"), QStringLiteral("plate")});
    ASSERT_EQ(serial.status, 0) << SHOW(serial);
    EXPECT_TRUE(serial.out.contains(QLatin1String("Serial number 2612001"))) << SHOW(serial);
    const CliRun bus = run({QStringLiteral("--interface=1"), QStringLiteral("--port"),
                            QStringLiteral("0x278"), QStringLiteral("plate")},
                           "port.base = 0x278\nport.wiring = 1\n");
    ASSERT_EQ(bus.status, 0) << SHOW(bus);
    EXPECT_TRUE(bus.out.contains(QLatin1String("Product code RC5812"))) << SHOW(bus);
    // Another wiring than the port has, or no usable base: the adapter does not answer.
    const CliRun wrong = run({QStringLiteral("--interface"), QStringLiteral("2"), QStringLiteral("plate")});
    EXPECT_EQ(wrong.status, 1) << SHOW(wrong);
    EXPECT_TRUE(wrong.err.contains(QLatin1String("Parallel-port adapter (interface 2) at 0x378 not connected "
                                                 "(BISS_MASTERCOMM_FAILED)")) &&
                !wrong.err.contains(QLatin1String("USB")))
        << SHOW(wrong);
    const CliRun noBase = run({QStringLiteral("--interface"), QStringLiteral("3"), QStringLiteral("--port"),
                               QStringLiteral("0x"), QStringLiteral("plate")});
    EXPECT_EQ(noBase.status, 1) << SHOW(noBase);
    const CliRun badKind = run({QStringLiteral("--interface"), QStringLiteral("7"), QStringLiteral("plate")});
    EXPECT_EQ(badKind.status, 2) << SHOW(badKind);
}

TEST_F(Cli, SetWritesEepromThenRamAndTheEncoderKeepsIt)
{
    const CliRun set = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("1'024"),
                            QStringLiteral("0"), QStringLiteral("2")},
                           stored());
    ASSERT_EQ(set.status, 0) << SHOW(set);
    // A4 5A 61 0C 02 80 with code 4, divider 4, direction 0, zero-pulse mode 2, other bits kept.
    const auto eeprom = set.err.indexOf(QStringLiteral("--> 10: A4 5A 40 3C 04 80"));
    EXPECT_TRUE(eeprom > 0 && set.err.indexOf(QStringLiteral("--> 00: A4 5A 40 3C 04 80")) > eeprom)
        << SHOW(set);

    const CliRun plate = run({QStringLiteral("plate")}, stored()); // powered up from its EEPROM
    EXPECT_TRUE(
        plate.out.contains(QStringLiteral("Pulse count 1024 Interpolation code 4 Divider 4 Direction 0 "
                                          "(CHB lags CHA, CCW) Zero pulse 2 (A & B LOW)")))
        << SHOW(plate);

    // Direction and mode left out keep the encoder's; a shared pulse count takes the last entry.
    const CliRun shared =
        run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("4096")}, stored());
    EXPECT_TRUE(shared.err.contains(QStringLiteral("--> 00: A5 5A 40 3C 02 80"))) << SHOW(shared);

    const CliRun none = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("3000")});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("no pulse count 3000")) &&
                !none.err.contains(QStringLiteral("-->")));
    EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("1024"), QStringLiteral("2")}).status, 2);

    // A pulse count reads as the configuration window reads a typed one: blanks around it and
    // apostrophes are fine, anything else in it is refused before the encoder is touched.
    const CliRun blank = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral(" 2048")});
    EXPECT_EQ(blank.status, 0) << SHOW(blank);
    EXPECT_TRUE(blank.out.contains(QStringLiteral("Written: pulse count 2048 (code 4, divider 2)")))
        << SHOW(blank);
    const CliRun extra = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("2048 +1")});
    EXPECT_EQ(extra.status, 2) << SHOW(extra);
    EXPECT_FALSE(extra.err.contains(QStringLiteral("-->")));
}

// One port access lost on the way (the parallel port has no check of its own) must never end in
// "Written" with other bytes in the encoder: the block read back after writing tells, and the message
// names what it holds.
TEST_F(Cli, SetOnTheParallelPortIsReadBack)
{
    const QStringList set = {QStringLiteral("--interface"), QStringLiteral("1"), QStringLiteral("set"),
                             QStringLiteral("1024"),        QStringLiteral("0"), QStringLiteral("2")};
    const QString asked = QStringLiteral("A4 5A 40 3C 04 80");
    auto eeprom = [&] {
        QFile f(dir.filePath(QStringLiteral("enc")));
        f.open(QIODevice::ReadOnly);
        return QString::fromLatin1(f.readAll()).trimmed().split(QLatin1Char('\n')).last();
    };
    QString told;
    // The accesses of opening, configuring and reading come first; the write is among the later ones.
    for (int n = 1800; n < 8000 && told.isEmpty(); n += 7) {
        QFile::remove(dir.filePath(QStringLiteral("enc")));
        const CliRun r =
            run(set, stored() + "port.wiring = 1\nfault.port_access_lost = " + QByteArray::number(n) + "\n");
        if (r.status == 0) {
            ASSERT_EQ(eeprom(), asked) << n << ": " << SHOW(r);
        } else if (r.err.contains(QStringLiteral("reads back"))) {
            told = r.err;
        }
        if (r.err.contains(QStringLiteral("the EEPROM block reads back"))) {
            EXPECT_TRUE(r.err.contains(
                QStringLiteral("reads back %1 instead of the %2 written").arg(eeprom(), asked)))
                << n << ": " << SHOW(r);
        }
    }
    EXPECT_TRUE(told.contains(QStringLiteral("rotaconf-cli: writing the configuration failed: the ")))
        << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("partly written configuration; run set again")))
        << told.toStdString();
}

TEST_F(Cli, FactoryAndRegisters)
{
    ASSERT_EQ(run({QStringLiteral("factory")}, stored()).status, 0);
    const CliRun regs = run({QStringLiteral("registers")}, stored());
    EXPECT_TRUE(regs.out.contains(QStringLiteral("RAM 00: A4 5A 40 0C 04 80"))) << SHOW(regs);
    EXPECT_TRUE(regs.out.contains(QStringLiteral("EEPROM 10: A4 5A 40 0C 04 80")));
}

TEST_F(Cli, FailuresNameTheLibraryResultCode)
{
    const CliRun noEncoder = run({QStringLiteral("plate")}, "slave0 = absent\n");
    EXPECT_EQ(noEncoder.status, 1);
    EXPECT_TRUE(noEncoder.err.contains(QStringLiteral("Encoder not connected")) &&
                noEncoder.err.contains(QStringLiteral("(BISS_COMM_FAILED)")))
        << SHOW(noEncoder);
    const CliRun noAdapter = run({QStringLiteral("registers")}, "fault.adapter_absent = on\n");
    EXPECT_EQ(noAdapter.status, 1);
    EXPECT_TRUE(noAdapter.err.contains(QStringLiteral("USB-Biss-Adaptor not connected (BISS_")) &&
                !noAdapter.err.contains(QStringLiteral("BISS_OK")))
        << SHOW(noAdapter);
    const QString missing = dir.filePath(QStringLiteral("none.cfg"));
    const CliRun noCatalogue =
        run({QStringLiteral("list"), QStringLiteral("--catalog"), missing}); // options may follow
    EXPECT_EQ(noCatalogue.status, 1);
    EXPECT_TRUE(noCatalogue.err.contains(QStringLiteral("File %1 not found").arg(missing)))
        << SHOW(noCatalogue);
    const CliRun unknown = run({QStringLiteral("frobnicate")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.startsWith(QLatin1String("rotaconf-cli: unknown command frobnicate\nUsage: ")))
        << SHOW(unknown);
}

// The command line changes no setting: the user's file stays as it is (comments and all), and a lock
// left behind by a killed run holds nothing up.
TEST_F(Cli, CommandsLeaveTheSettingsFileAlone)
{
    configHome = dir.filePath(QStringLiteral("cfg"));
    ASSERT_TRUE(QDir().mkpath(configHome));
    const QByteArray settings = "; my notes\n[System]\nLang=1\n";
    QFile ini(configHome + QStringLiteral("/Rotaconf.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly) && ini.write(settings) == settings.size());
    ini.close();
    QFile lock(ini.fileName() + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    QElapsedTimer timer;
    timer.start();
    const CliRun regs = run({QStringLiteral("registers")});
    EXPECT_EQ(regs.status, 0) << SHOW(regs);
    EXPECT_LT(timer.elapsed(), 20000) << "held up by the lock";
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), settings);
}

// A connection that half failed (one driver read failing while the adapter is opened or the master
// configured) is made once more: the samples are those of an undisturbed run, and register mode C is
// not quietly replaced by mode B.
TEST_F(Cli, ConnectionThatHalfFailedIsMadeAgain)
{
    const QStringList position = {QStringLiteral("position"), QStringLiteral("--count"), QStringLiteral("3")};
    auto cycles = [](const CliRun &r) { return r.out.left(r.out.indexOf(QStringLiteral(" 3 cycles in"))); };
    const CliRun clean = run(position);
    ASSERT_EQ(clean.status, 0) << SHOW(clean);
    ASSERT_TRUE(clean.out.contains(QStringLiteral("second"))) << SHOW(clean);
    for (const QByteArray n : {"2", "4", "6"}) {
        const CliRun r = run(position, "fault.device_read_fails = " + n + "\n");
        EXPECT_EQ(r.status, 0) << n.constData() << ": " << SHOW(r);
        EXPECT_EQ(cycles(r), cycles(clean)) << n.constData();
    }
    // An encoder whose control channel never gets ready answers in register mode B only.
    for (const QByteArray n : {"2", "4"}) {
        const CliRun deaf =
            run({QStringLiteral("--register-mode"), QStringLiteral("c"), QStringLiteral("plate")},
                stored() + "fault.control_never_ready = on\nfault.device_read_fails = " + n + "\n");
        EXPECT_EQ(deaf.status, 1) << n.constData() << ": " << SHOW(deaf);
        EXPECT_TRUE(deaf.err.contains(QStringLiteral("(BISS_TIMEOUT)"))) << SHOW(deaf);
    }
}

TEST_F(Cli, RegisterModeCConfiguresTheEncoderThroughControlFrames)
{
    // An encoder whose control channel never gets ready answers in register mode B only: the run with
    // --register-mode c must fail, so it went through control frames.
    const QByteArray deaf = stored() + "fault.control_never_ready = on\n";
    const CliRun refused =
        run({QStringLiteral("--register-mode"), QStringLiteral("c"), QStringLiteral("plate")}, deaf);
    EXPECT_EQ(refused.status, 1) << SHOW(refused);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("(BISS_TIMEOUT)"))) << SHOW(refused);
    EXPECT_EQ(run({QStringLiteral("plate")}, deaf).status, 0);

    const CliRun set = run({QStringLiteral("--register-mode=c"), QStringLiteral("set"),
                            QStringLiteral("1'024"), QStringLiteral("0"), QStringLiteral("2")},
                           stored());
    ASSERT_EQ(set.status, 0) << SHOW(set);
    const CliRun plate = run({QStringLiteral("plate")}, stored()); // register mode B, from its EEPROM
    EXPECT_TRUE(
        plate.out.contains(QStringLiteral("Pulse count 1024 Interpolation code 4 Divider 4 Direction 0 "
                                          "(CHB lags CHA, CCW) Zero pulse 2 (A & B LOW)")))
        << SHOW(plate);
    EXPECT_EQ(run({QStringLiteral("--register-mode"), QStringLiteral("x"), QStringLiteral("plate")}).status,
              2);
}

// The simulated encoder's first word starts at 100 and moves by 3 (10 bits), its second at 5000 by 1,
// one step per cycle it answers. Checks a record: the header, then one complete row per cycle of the
// single slave, following that sequence from cycle 1 on; returns the number of rows.
int CheckRecord(const QString &File)
{
    QFile f(File);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << File.toStdString();
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines.first(), "cycle,time_us,slave,word1,word2,valid,error");
    EXPECT_TRUE(lines.last().isEmpty()) << "the last row is cut off";
    qint64 lastTime = 0;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const uint64_t cycle = static_cast<uint64_t>(i);
        const QList<QByteArray> cells = lines[i].split(',');
        if (cells.size() != 7 || cells[0].toULongLong() != cycle || cells[2] != "0" ||
            cells[3].toUInt() != (100 + 3 * (cycle - 1)) % 1024 ||
            cells[4].toULongLong() != 5000 + cycle - 1 || cells[5] != "1" || !cells[6].isEmpty() ||
            cells[1].toLongLong() < lastTime) {
            ADD_FAILURE() << "row " << i << ": " << lines[i].toStdString();
            break;
        }
        lastTime = cells[1].toLongLong();
    }
    return static_cast<int>(lines.size() - 2);
}

TEST_F(Cli, PositionStreamsCyclesIntoACsvRecord)
{
    const QString csv = dir.filePath(QStringLiteral("p.csv"));
    const CliRun counted = run({QStringLiteral("position"), QStringLiteral("--count"), QStringLiteral("300"),
                                QStringLiteral("--csv"), csv});
    ASSERT_EQ(counted.status, 0) << SHOW(counted);
    EXPECT_EQ(CheckRecord(csv), 300);
    // No CRC is configured for the encoder's words: they are valid, not "CRC ok".
    EXPECT_TRUE(counted.out.startsWith(
        QStringLiteral("cycle 1 slave 0: 100 (valid) second 5000 (valid) cycle 2 slave 0: 103 (valid)")))
        << SHOW(counted);
    EXPECT_FALSE(counted.out.contains(QStringLiteral("CRC ok")));
    EXPECT_TRUE(counted.out.contains(
        QStringLiteral("cycle 300 slave 0: 997 (valid) second 5299 (valid) 300 cycles in")))
        << SHOW(counted);

    QElapsedTimer timer;
    timer.start();
    const CliRun timed = run({QStringLiteral("position"), QStringLiteral("--duration"), QStringLiteral("1.5"),
                              QStringLiteral("--summary"), QStringLiteral("--csv"), csv});
    EXPECT_GE(timer.elapsed(), 1500);
    EXPECT_LT(timer.elapsed(), 6000);
    ASSERT_EQ(timed.status, 0) << SHOW(timed);
    EXPECT_TRUE(
        timed.out.contains(QStringLiteral(" cycles in 1.5")) &&
        timed.out.contains(QStringLiteral("failed cycles: 0 (no answer 0, CRC 0, time-out 0, adapter 0)")) &&
        !timed.out.contains(QStringLiteral("slave 0")))
        << SHOW(timed);
    EXPECT_GT(CheckRecord(csv), 1000);

    // Failed cycles: their rows name the kind, the summary counts them, the status is 1. The record on
    // standard output leaves the summary to standard error.
    const CliRun failing = run({QStringLiteral("position"), QStringLiteral("--count"), QStringLiteral("3"),
                                QStringLiteral("--csv"), QStringLiteral("-")},
                               "fault.no_start_bit = on\n");
    EXPECT_EQ(failing.status, 1) << SHOW(failing);
    EXPECT_TRUE(failing.out.startsWith(QStringLiteral("cycle,time_us,slave,word1,word2,valid,error 1,")))
        << SHOW(failing);
    EXPECT_EQ(failing.out.count(QStringLiteral(",0,,,0,no answer")), 3) << SHOW(failing);
    EXPECT_TRUE(
        failing.err.contains(QStringLiteral("failed cycles: 3 (no answer 3, CRC 0, time-out 0, adapter 0)")))
        << SHOW(failing);

    // A file that cannot be written is refused before the adapter is touched.
    const CliRun badPath = run({QStringLiteral("--log"), QStringLiteral("position"), QStringLiteral("--csv"),
                                dir.filePath(QStringLiteral("none/p.csv"))});
    EXPECT_EQ(badPath.status, 1) << SHOW(badPath);
    EXPECT_TRUE(badPath.err.startsWith(QStringLiteral("rotaconf-cli: cannot write the CSV file ")) &&
                !badPath.err.contains(QStringLiteral("Check")) && badPath.out.isEmpty())
        << SHOW(badPath);
    EXPECT_EQ(run({QStringLiteral("position"), QStringLiteral("--count"), QStringLiteral("5"),
                   QStringLiteral("--follow")})
                  .status,
              2);
    EXPECT_EQ(run({QStringLiteral("plate"), QStringLiteral("--summary")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("position"), QStringLiteral("--duration"), QStringLiteral("0")}).status, 2);
}

// --follow runs until Ctrl+C, which ends it cleanly: the record complete up to the last cycle, the
// summary printed, status 0 as no cycle failed.
TEST_F(Cli, PositionFollowEndsCleanlyOnInterrupt)
{
    const QString csv = dir.filePath(QStringLiteral("f.csv"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TARNBUS_SIM_SCENARIO"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ROTACONF_CLI),
            {QStringLiteral("--simulate"), QStringLiteral("position"), QStringLiteral("--follow"),
             QStringLiteral("--summary"), QStringLiteral("--csv"), csv});
    ASSERT_TRUE(p.waitForStarted());
    QFile record(csv);
    QElapsedTimer timer;
    timer.start();
    while (record.size() < 100000 && timer.elapsed() < 20000)
        QThread::msleep(20);
    EXPECT_EQ(p.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const int rows = CheckRecord(csv);
    EXPECT_GT(rows, 1000);
    EXPECT_TRUE(out.startsWith(QStringLiteral("%1 cycles in ").arg(rows)) &&
                out.contains(QStringLiteral("(interrupted)")) &&
                out.contains(QStringLiteral("failed cycles: 0 (no answer 0, CRC 0, time-out 0, adapter 0)")))
        << out.toStdString();
}

} // namespace
