// rotaconf-cli run as a user would, on the simulated adapter. Every run is a fresh simulated world; a
// scenario with an EEPROM file carries the encoder's stored configuration from one run to the next.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

} // namespace
