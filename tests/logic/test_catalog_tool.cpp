// rotaconf-catalog run as a user would: the files it makes are what the program reads, its dump
// gives the same file back, and it refuses what the program could not use.
#include "catalogue_bytes.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace {

struct ToolRun {
    int status = -1;
    QString out, err;
};

ToolRun tool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(CATALOG_TOOL), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text);
}

class CatalogTool : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TRecordedMessages messages;
};

TEST_F(CatalogTool, SampleCatalogueHoldsTheSimulatedEncoder)
{
    const QString cfg = dir.filePath(QStringLiteral("Encoder.cfg"));
    const ToolRun r = tool({QStringLiteral("build"), QStringLiteral(SAMPLE_SOURCE), cfg});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    TConfigList list;
    ASSERT_TRUE(list.LoadFromFile(cfg)) << messages.errors.join(QStringLiteral("|")).toStdString();
    TConfigList of58, possible;
    list.FilterByArtType(58, of58);
    of58.FilterByBaseCount(possible, 4096);
    ASSERT_NE(possible.FindBySetting(4, 4), nullptr);
    EXPECT_EQ(possible.FindBySetting(4, 4)->PulseCount, 1024u);
    ASSERT_NE(possible.FindBySetting(4, 2), nullptr);
    EXPECT_EQ(possible.FindBySetting(4, 2)->PulseCount, 2048u);
    EXPECT_EQ(possible.FindByPulseCount(1024)->Divider, 4);
    EXPECT_NE(list.Comments.TextOf(58), QStringLiteral("unknown"));

    // Some pulse count is offered by two entries; every code and divider fits the encoder.
    int shared = 0;
    for (int i = 0; i < possible.Count(); ++i)
        for (int j = i + 1; j < possible.Count(); ++j)
            shared += possible.At(i)->PulseCount == possible.At(j)->PulseCount;
    EXPECT_GE(shared, 1);
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_TRUE(list.At(i)->InterpolCode >= 0 && list.At(i)->InterpolCode < 32);
        EXPECT_GE(list.At(i)->Divider, 1);
    }
}

TEST_F(CatalogTool, DumpAndBuildGiveTheSameFileBack)
{
    // A file made byte by byte, with every field set and a text with 8-bit and control characters.
    CfgBytes f;
    f.header(1, 2, 3).i32(2).comment(42, "Flanschgeh\xE4use \"x\"\\\t").comment(-7, "");
    f.i32(2).entry(42, 2048, 2500, 9, 26, 6000, 2, -1234567890123LL).entry(-3, 0, 0, 0, 0, 0xFFFFFFFF, 255);
    const QString original = WriteTemp(dir, f.b, QStringLiteral("orig.cfg"));
    const QString text = dir.filePath(QStringLiteral("orig.txt"));
    const QString again = dir.filePath(QStringLiteral("again.cfg"));

    const ToolRun dump = tool({QStringLiteral("dump"), original, text});
    ASSERT_EQ(dump.status, 0) << dump.err.toStdString();
    const ToolRun build = tool({QStringLiteral("build"), text, again});
    ASSERT_EQ(build.status, 0) << build.err.toStdString();
    EXPECT_EQ(readAll(again), readAll(original));
    EXPECT_TRUE(readAll(text).contains("Flanschgeh\xC3\xA4use")); // UTF-8 in the readable form

    // Standard output when no output file is named.
    const ToolRun toStdout = tool({QStringLiteral("dump"), original});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_TRUE(toStdout.out.contains(QStringLiteral("version 1.2.3")));

    // A broken file is named as such rather than dumped.
    const QString broken = WriteTemp(dir, CfgBytes().header().i32(0x7FFFFFFF).b, QStringLiteral("broken.cfg"));
    const ToolRun bad = tool({QStringLiteral("dump"), broken});
    EXPECT_NE(bad.status, 0);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("more than the file holds"))) << bad.err.toStdString();
}

TEST_F(CatalogTool, RefusesWhatTheProgramCouldNotUseNamingTheLine)
{
    const QString good = QStringLiteral("# c\narticle 58 \"ok\"\nentry type=58 base=4096 pulses=1024 code=4 divider=4\n");
    const struct {
        const char *line;
        const char *says;
    } cases[] = {
        {"entry type=58 base=4096 pulses=1024 code=32 divider=4", "interpolation code"},
        {"entry type=58 base=4096 pulses=1024 code=-1 divider=4", "interpolation code"},
        {"entry type=58 base=4096 pulses=1024 code=4 divider=32768", "divider"},
        {"article 59 \"Preis 5 \xE2\x82\xAC\"", "8-bit"},
        {"entry type=58 base=4096 pulses=1024 code=4", "divider"},
        {"entry type=58 base=4096 pulses=1024 code=4 divider=4 colour=3", "colour"},
        {"entry type=58 base=4096 pulses=4294967296 code=4 divider=4", "pulses"},
        {"article 59 \"unterminated", "quote"},
        {"version 1.0", "version"},
    };
    for (const auto &c : cases) {
        const QString source = dir.filePath(QStringLiteral("bad.txt"));
        const QString out = dir.filePath(QStringLiteral("bad.cfg"));
        QFile::remove(out);
        writeText(source, good.toUtf8() + c.line + "\n");
        const ToolRun r = tool({QStringLiteral("build"), source, out});
        EXPECT_NE(r.status, 0) << c.line;
        EXPECT_TRUE(r.err.contains(source + QStringLiteral(":4:"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.says))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.line;
    }
    // The largest values that fit are taken.
    writeText(dir.filePath(QStringLiteral("edge.txt")),
              good.toUtf8() + "entry type=58 base=4096 pulses=7 code=31 divider=0x7FFF\narticle 1 \"\xC3\xBF\"\n");
    EXPECT_EQ(tool({QStringLiteral("build"), dir.filePath(QStringLiteral("edge.txt")),
                    dir.filePath(QStringLiteral("edge.cfg"))})
                  .status,
              0);
}

} // namespace
