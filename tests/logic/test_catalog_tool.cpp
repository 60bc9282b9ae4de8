// rotaconf-catalog as a user runs it: its files are what the program reads, dump and build give the
// same file back, and it refuses what the program could not use, naming the line.
#include "catalogue_bytes.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

int Tool(const QStringList &args, QString *err = nullptr, qint64 fileSizeLimit = 0)
{
    QProcess p;
    if (fileSizeLimit > 0) {
        // As on a full disk: writes beyond the limit fail (EFBIG) instead of stopping the tool.
        p.setChildProcessModifier([fileSizeLimit] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    p.start(QStringLiteral(CATALOG_TOOL), args);
    p.waitForFinished(30000);
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(CatalogTool, DumpAndBuildGiveTheSameFileBack)
{
    QTemporaryDir dir;
    CfgBytes f;
    f.header(1, 2, 3).i32(2).comment(42, "Geh\xE4use \"x\"\\\t").comment(-7, "");
    f.i32(2)
        .entry(42, 2048, 2500, 9, 26, 6000, 2, -1234567890123LL)
        .entry(-3, 0, 0, 31, 0x7FFF, 0xFFFFFFFF, 255);
    const QString original = WriteTemp(dir, f.b, QStringLiteral("orig.cfg"));
    const QString text = dir.filePath(QStringLiteral("orig.txt")),
                  again = dir.filePath(QStringLiteral("again.cfg"));
    ASSERT_EQ(Tool({QStringLiteral("dump"), original, text}), 0);
    { // as an editor that marks UTF-8 files would save it
        const QByteArray dumped = Contents(text);
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("\xEF\xBB\xBF" + dumped);
    }
    ASSERT_EQ(Tool({QStringLiteral("build"), text, again}), 0);
    EXPECT_EQ(Contents(again), Contents(original));
    EXPECT_TRUE(Contents(text).contains("Geh\xC3\xA4use")); // UTF-8 in the readable form

    QString err;
    const QString broken =
        WriteTemp(dir, CfgBytes().header().i32(0x7FFFFFFF).b, QStringLiteral("broken.cfg"));
    EXPECT_NE(Tool({QStringLiteral("dump"), broken}, &err), 0);
    EXPECT_TRUE(err.contains(QStringLiteral("more than the file holds"))) << err.toStdString();
}

TEST(CatalogTool, RefusesWhatTheProgramCouldNotUse)
{
    QTemporaryDir dir;
    const QByteArray good = "# c\narticle 58 \"ok\"\nentry type=58 base=4096 pulses=1024 code=4 divider=4\n";
    const std::pair<const char *, const char *> cases[] = {
        {"entry type=58 base=4096 pulses=1024 code=32 divider=4", "interpolation code"},
        {"entry type=58 base=4096 pulses=1024 code=4 divider=32768", "divider"},
        {"article 59 \"5 \xE2\x82\xAC\"", "8-bit"},
        {"entry type=58 base=4096 pulses=1024 code=4", "divider"},
        {"entry type=58 base=4096 pulses=4294967296 code=4 divider=4 colour=3", "pulses"},
    };
    const QString source = dir.filePath(QStringLiteral("bad.txt")),
                  out = dir.filePath(QStringLiteral("bad.cfg"));
    for (const auto &[line, says] : cases) {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(good + line + "\n");
        f.close();
        QString err;
        EXPECT_NE(Tool({QStringLiteral("build"), source, out}, &err), 0) << line;
        EXPECT_TRUE(err.contains(source + QStringLiteral(":4: ")) && err.contains(QLatin1String(says)))
            << err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << line;
    }

    // An output that cannot be opened is reported and left as it was.
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(good);
    f.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out.d")));
    QString err;
    EXPECT_EQ(Tool({QStringLiteral("build"), source, dir.filePath(QStringLiteral("out.d"))}, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("cannot write"))) << err.toStdString();
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("out.d"))).exists());
}

// A failed build or dump leaves the output as it was; an output that is the input, or no regular
// file, is refused before anything is written; an input that opens but cannot be read is an error.
TEST(CatalogTool, NeverLosesWhatItShouldKeep)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("src.txt")),
                  output = dir.filePath(QStringLiteral("out.cfg"));
    QByteArray text = "article 58 \"ok\"\n";
    for (int i = 0; i < 40; ++i)
        text += "entry type=58 base=4096 pulses=" + QByteArray::number(100 + i) + " code=4 divider=4\n";
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    f.close();
    ASSERT_EQ(Tool({QStringLiteral("build"), source, output}), 0);
    const QByteArray good = Contents(output);
    ASSERT_GT(good.size(), 1000);

    QString err;
    EXPECT_EQ(Tool({QStringLiteral("build"), source, output}, &err, 512), 1) << "the disk is full";
    EXPECT_TRUE(err.contains(QStringLiteral("cannot write"))) << err.toStdString();
    EXPECT_EQ(Contents(output), good);
    EXPECT_EQ(Tool({QStringLiteral("dump"), output, source}, &err, 512), 1);
    EXPECT_EQ(Contents(source), text);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 2)
        << "no temporary file is left";

    const QString sameSource = dir.path() + QStringLiteral("/./src.txt");
    EXPECT_EQ(Tool({QStringLiteral("build"), source, sameSource}, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("input"))) << err.toStdString();
    EXPECT_EQ(Contents(source), text);
    EXPECT_EQ(Tool({QStringLiteral("dump"), output, output}, &err), 1);
    EXPECT_EQ(Contents(output), good);
    EXPECT_EQ(Tool({QStringLiteral("dump"), output, QStringLiteral("/dev/null")}, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("not a regular file"))) << err.toStdString();
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/null")).exists());

    for (const char *command : {"build", "dump"}) {
        EXPECT_EQ(Tool({QLatin1String(command), dir.path(), dir.filePath(QStringLiteral("x"))}, &err), 1)
            << command << " from a directory";
        EXPECT_TRUE(err.contains(QStringLiteral("cannot read"))) << err.toStdString();
    }
}

} // namespace
