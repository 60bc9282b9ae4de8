// "Rotaconf.ini" in a temporary configuration directory, and the two-language texts.
#include "RC_Def.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = qEnvironmentVariable("XDG_CONFIG_HOME");
        hadSaved = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    }
    void TearDown() override
    {
        if (hadSaved)
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(saved));
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    void writeIni(const QByteArray &text)
    {
        QFile f(dir.filePath(QStringLiteral("Rotaconf.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray readIni()
    {
        QFile f(dir.filePath(QStringLiteral("Rotaconf.ini")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString saved;
    bool hadSaved = false;
};

TEST_F(Options, DefaultsWithoutAFile)
{
    TRC_Option o;
    o.Top = o.Left = o.LangBase = -9;
    o.Load();
    EXPECT_EQ(o.Top, 200);
    EXPECT_EQ(o.Left, 300);
    EXPECT_EQ(o.LangBase, 0);
    EXPECT_EQ(TRC_Option::FilePath(), dir.filePath(QStringLiteral("Rotaconf.ini")));
}

TEST_F(Options, ValuesDefaultsAndTheLanguageClamp)
{
    writeIni("[Main]\nTop=12\nLeft=abc\n[System]\nLang=7\n");
    TRC_Option o;
    o.Load();
    EXPECT_EQ(o.Top, 12);
    EXPECT_EQ(o.Left, 300); // not a number: the default
    EXPECT_EQ(o.LangBase, 1000);

    writeIni("[System]\nLang=-3\n");
    o.Load();
    EXPECT_EQ(o.Top, 200);
    EXPECT_EQ(o.LangBase, 0);

    writeIni("[System]\nLang=1\n");
    o.Load();
    EXPECT_EQ(o.LangBase, 1000);
    EXPECT_EQ(o.Text(20), QStringLiteral("Grundaufl") + QChar(0xF6) + QStringLiteral("sung"));
}

TEST_F(Options, SaveWritesAllThreeKeysAndReadsBack)
{
    // The directory does not exist yet: it is made.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("new/sub"))));
    TRC_Option o;
    o.Top = -40;
    o.Left = 1234;
    o.LangBase = 1000;
    o.Save();
    QFile f(dir.filePath(QStringLiteral("new/sub/Rotaconf.ini")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("[Main]") && text.contains("Top=-40") && text.contains("Left=1234"));
    EXPECT_TRUE(text.contains("[System]") && text.contains("Lang=1"));

    TRC_Option back;
    back.Load();
    EXPECT_EQ(back.Top, -40);
    EXPECT_EQ(back.Left, 1234);
    EXPECT_EQ(back.LangBase, 1000);

    back.LangBase = 0; // the English button saves at once
    back.Save();
    back.Load();
    EXPECT_EQ(back.LangBase, 0);
}

TEST_F(Options, RelativeConfigHomeFallsBackToHome)
{
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(TRC_Option::FilePath(), QDir::homePath() + QStringLiteral("/.config/Rotaconf.ini"));
}

TEST(Texts, BothLanguagesByIdAndNothingOutside)
{
    EXPECT_EQ(TRC_Option::TextOf(2), QStringLiteral("Quit"));
    EXPECT_EQ(TRC_Option::TextOf(1002), QStringLiteral("Beenden"));
    EXPECT_EQ(TRC_Option::TextOf(35), QStringLiteral("Communication"));
    EXPECT_EQ(TRC_Option::TextOf(1035), QStringLiteral("Kommunikation"));
    EXPECT_EQ(TRC_Option::TextOf(11), TRC_Option::TextOf(1011)); // German in both tables
    EXPECT_EQ(TRC_Option::TextOf(12), QStringLiteral("A & B HIGH"));
    EXPECT_EQ(TRC_Option::TextOf(1013), QStringLiteral("A* & B* ausgetastet"));
    EXPECT_EQ(TRC_Option::TextOf(1034), QStringLiteral("Fehler Initialisierung  Rotaconf"));
    EXPECT_EQ(TRC_Option::TextOf(1027), QStringLiteral("Signalg") + QChar(0xFC) + QStringLiteral("te"));
    for (int id : {0, 6, 7, 8, 36, 999, 1000, 1006, 1036, -1})
        EXPECT_TRUE(TRC_Option::TextOf(id).isNull() || TRC_Option::TextOf(id).isEmpty()) << id;

    TRC_Option o;
    o.LangBase = 1000;
    EXPECT_EQ(o.Text(31), QStringLiteral("Drehgeber nicht richtig angeschlossen"));
    o.LangBase = 0;
    EXPECT_EQ(o.Text(32), QStringLiteral("USB-Biss-Adaptor not connected"));
}

} // namespace
