// rotaconf-cli run as a user would, on the simulated adapter. Each run is a fresh simulated world;
// a scenario file with an EEPROM file carries the encoder's stored configuration from run to run.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

struct CliRun {
    int status = -1;
    QString out, err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Runs rotaconf-cli --simulate with the given scenario lines (none: the built-in encoder).
    CliRun run(const QStringList &args, const QByteArray &scenario = QByteArray())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("TARNBUS_SIM_SCENARIO"));
        if (!scenario.isEmpty()) {
            const QString path = dir.filePath(QStringLiteral("scenario.txt"));
            QFile f(path);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(scenario);
            env.insert(QStringLiteral("TARNBUS_SIM_SCENARIO"), path);
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ROTACONF_CLI), QStringList{QStringLiteral("--simulate")} + args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
    }
    QByteArray storedEeprom() const { return "encoder.eeprom_file = " + dir.filePath(QStringLiteral("enc.eeprom")).toUtf8() + "\n"; }

    QTemporaryDir dir;
};

#define SHOW(r) "status " << (r).status << "\nout:\n" << (r).out.toStdString() << "\nerr:\n" << (r).err.toStdString()

TEST_F(Cli, HelpNamesEveryCommandAndOption)
{
    const CliRun r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.status, 0);
    for (const char *word : {"plate", "list", "set", "factory", "registers", "--simulate", "--log", "--catalog",
                             "BISS_COMM_FAILED", "Exit status"})
        EXPECT_TRUE(r.out.contains(QLatin1String(word))) << word;
    EXPECT_EQ(run({QStringLiteral("frobnicate")}).status, 2);
    EXPECT_EQ(run({}).status, 2);
}

TEST_F(Cli, PlateShowsPlateFactoryAndCurrentConfiguration)
{
    const CliRun r = run({QStringLiteral("plate")});
    ASSERT_EQ(r.status, 0) << SHOW(r);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    auto has = [&](const QString &label, const QString &value) {
        for (const QString &l : lines)
            if (l.simplified() == (label + QLatin1Char(' ') + value).simplified())
                return true;
        return false;
    };
    EXPECT_TRUE(has(QStringLiteral("Article type"), QStringLiteral("58 (ROTA 58, programmable, solid shaft)"))) << SHOW(r);
    EXPECT_TRUE(has(QStringLiteral("Basic resolution"), QStringLiteral("4096")));
    EXPECT_TRUE(has(QStringLiteral("Serial number"), QStringLiteral("2612001")));
    EXPECT_TRUE(has(QStringLiteral("Order designation"), QStringLiteral("ROTA 58-4096-P-HTL")));
    const int factory = r.out.indexOf(QStringLiteral("Factory settings"));
    const int current = r.out.indexOf(QStringLiteral("Current configuration"));
    ASSERT_TRUE(factory > 0 && current > factory);
    EXPECT_TRUE(r.out.mid(factory, current - factory).contains(QStringLiteral("1024")));
    const QString cur = r.out.mid(current).simplified();
    EXPECT_TRUE(cur.contains(QStringLiteral("Pulse count 2048 Interpolation code 4 Divider 2"))) << cur.toStdString();
    EXPECT_TRUE(cur.contains(QStringLiteral("Direction 1 (CHB lags CHA, CW) Zero pulse 3 (A HIGH)")));
}

TEST_F(Cli, ListOffersTheCatalogueEntriesOfThisEncoder)
{
    const CliRun r = run({QStringLiteral("list")});
    ASSERT_EQ(r.status, 0) << SHOW(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("2048     4        2")) && r.out.contains(QStringLiteral("(current)")))
        << SHOW(r);
    // Exactly the pulse counts of type 58 on 4096 lines, in catalogue order (4096 twice).
    QStringList pulses;
    for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        pulses << line.simplified().section(QLatin1Char(' '), 0, 0);
    EXPECT_EQ(pulses.join(QLatin1Char(',')), QStringLiteral("256,512,1024,2048,4096,4096,8192,16384,65536"));
}

TEST_F(Cli, SetWritesEepromThenRamAndTheEncoderKeepsIt)
{
    const CliRun set = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("1'024"), QStringLiteral("0"),
                            QStringLiteral("2")},
                           storedEeprom());
    ASSERT_EQ(set.status, 0) << SHOW(set);
    // A4 5A 61 0C 02 80 with code 4, divider 4, direction 0, zero-pulse mode 2; other bits kept.
    const int eeprom = set.err.indexOf(QStringLiteral("--> 10: A4 5A 40 3C 04 80"));
    const int ram = set.err.indexOf(QStringLiteral("--> 00: A4 5A 40 3C 04 80"));
    EXPECT_TRUE(eeprom > 0 && ram > eeprom) << SHOW(set);

    // The next run powers the encoder up from its EEPROM.
    const CliRun plate = run({QStringLiteral("plate")}, storedEeprom());
    ASSERT_EQ(plate.status, 0) << SHOW(plate);
    const QString cur = plate.out.mid(plate.out.indexOf(QStringLiteral("Current configuration"))).simplified();
    EXPECT_TRUE(cur.contains(QStringLiteral("Pulse count 1024 Interpolation code 4 Divider 4 Direction 0"))) << SHOW(plate);
    EXPECT_TRUE(cur.contains(QStringLiteral("Zero pulse 2 (A & B LOW)")));

    // Direction and mode left out keep the encoder's.
    const CliRun keep = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("2048")}, storedEeprom());
    ASSERT_EQ(keep.status, 0) << SHOW(keep);
    EXPECT_TRUE(keep.err.contains(QStringLiteral("--> 00: A4 5A 40 3C 02 80"))) << SHOW(keep);
}

TEST_F(Cli, SetOfASharedPulseCountWritesTheLastEntry)
{
    const CliRun r = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("4096")});
    ASSERT_EQ(r.status, 0) << SHOW(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--> 10: A5 5A 61 0C 02 80"))) << SHOW(r);
}

TEST_F(Cli, SetRefusesWhatTheCatalogueDoesNotAllow)
{
    const CliRun none = run({QStringLiteral("--log"), QStringLiteral("set"), QStringLiteral("3000")});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("no pulse count 3000"))) << SHOW(none);
    EXPECT_FALSE(none.err.contains(QStringLiteral("-->")));
    EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("abc")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("1024"), QStringLiteral("2")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("1024"), QStringLiteral("1"), QStringLiteral("7")}).status, 2);
}

TEST_F(Cli, FactoryRestoresTheFactoryConfiguration)
{
    const CliRun r = run({QStringLiteral("factory")}, storedEeprom());
    ASSERT_EQ(r.status, 0) << SHOW(r);
    const CliRun regs = run({QStringLiteral("registers")}, storedEeprom());
    ASSERT_EQ(regs.status, 0) << SHOW(regs);
    // Code 4, factory divider 4, direction 0, zero-pulse mode 1.
    EXPECT_TRUE(regs.out.contains(QStringLiteral("RAM    00: A4 5A 40 0C 04 80"))) << SHOW(regs);
    EXPECT_TRUE(regs.out.contains(QStringLiteral("EEPROM 10: A4 5A 40 0C 04 80")));

    // A catalogue without the factory pulse count: nothing is written.
    const QString source = dir.filePath(QStringLiteral("small.txt"));
    const QString cfg = dir.filePath(QStringLiteral("small.cfg"));
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("entry type=58 base=4096 pulses=2048 code=4 divider=2\n");
    f.close();
    ASSERT_EQ(QProcess::execute(QStringLiteral(CATALOG_TOOL), {QStringLiteral("build"), source, cfg}), 0);
    const CliRun none = run({QStringLiteral("--log"), QStringLiteral("--catalog"), cfg, QStringLiteral("factory")});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("factory pulse count 1024"))) << SHOW(none);
    EXPECT_FALSE(none.err.contains(QStringLiteral("-->")));
}

TEST_F(Cli, FailuresNameTheLibraryResultCode)
{
    const CliRun noEncoder = run({QStringLiteral("plate")}, "slave0 = absent\n");
    EXPECT_EQ(noEncoder.status, 1);
    EXPECT_TRUE(noEncoder.err.contains(QStringLiteral("Encoder not connected"))) << SHOW(noEncoder);
    EXPECT_TRUE(noEncoder.err.contains(QStringLiteral("(BISS_COMM_FAILED)"))) << SHOW(noEncoder);

    const CliRun noAdapter = run({QStringLiteral("registers")}, "fault.adapter_absent = on\n");
    EXPECT_EQ(noAdapter.status, 1);
    EXPECT_TRUE(noAdapter.err.contains(QStringLiteral("USB-Biss-Adaptor not connected (BISS_"))) << SHOW(noAdapter);
    EXPECT_FALSE(noAdapter.err.contains(QStringLiteral("BISS_OK")));

    const QString missing = dir.filePath(QStringLiteral("none.cfg"));
    const CliRun noCatalogue = run({QStringLiteral("--catalog"), missing, QStringLiteral("list")});
    EXPECT_EQ(noCatalogue.status, 1);
    EXPECT_TRUE(noCatalogue.err.contains(QStringLiteral("File ") + missing + QStringLiteral(" not found"))) << SHOW(noCatalogue);
}

} // namespace
