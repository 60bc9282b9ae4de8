// "Rotaconf.ini" in a temporary configuration directory, and the two-language texts.
#include "RC_Def.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/cfg")));
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
    void ini(const QByteArray &text)
    {
        QFile f(dir.path() + QStringLiteral("/cfg/Rotaconf.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QTemporaryDir dir;
    TRC_Option o;
};

TEST_F(Options, DefaultsValuesAndTheLanguageClamp)
{
    o.Top = o.Left = o.LangBase = -9;
    o.Load(); // no file, not even its directory
    EXPECT_EQ(std::tie(o.Top, o.Left, o.LangBase), std::make_tuple(200, 300, 0));
    o.Save(); // makes the directory
    ini("[Main]\nTop=12\nLeft=abc\n[System]\nLang=7\n");
    o.Load();
    EXPECT_EQ(std::tie(o.Top, o.Left, o.LangBase), std::make_tuple(12, 300, 1000));
    ini("[System]\nLang=-3\n");
    o.Load();
    EXPECT_EQ(o.LangBase, 0);
}

TEST_F(Options, SaveWritesTheThreeKeys)
{
    o.Top = -40;
    o.Left = 1234;
    o.LangBase = 1000;
    o.Save();
    QFile f(TRC_Option::FilePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("[Main]") && text.contains("Top=-40") && text.contains("Left=1234"))
        << text.data();
    EXPECT_TRUE(text.contains("[System]") && text.contains("Lang=1")) << text.data();
    TRC_Option back;
    back.Load();
    EXPECT_EQ(std::tie(back.Top, back.Left, back.LangBase), std::make_tuple(-40, 1234, 1000));
}

TEST_F(Options, ALockLeftEmptyByAKilledRunDoesNotHoldTheSave)
{
    o.Save();
    QFile lock(TRC_Option::FilePath() + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime);
    lock.close();
    o.Top = 77;
    QElapsedTimer timer;
    timer.start();
    o.Save();
    EXPECT_LT(timer.elapsed(), 15000) << "the empty lock was waited on until it counted as stale";
    TRC_Option back;
    back.Load();
    EXPECT_EQ(back.Top, 77);
}

TEST_F(Options, ARelativeConfigurationHomeIsIgnored)
{
    qputenv("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(TRC_Option::FilePath(), QDir::homePath() + QStringLiteral("/.config/Rotaconf.ini"));
    qputenv("XDG_CONFIG_HOME", "");
    EXPECT_EQ(TRC_Option::FilePath(), QDir::homePath() + QStringLiteral("/.config/Rotaconf.ini"));
}

TEST(Texts, BothLanguagesAndNothingOutside)
{
    TRC_Option o;
    EXPECT_EQ(o.Text(32), QStringLiteral("USB-Biss-Adaptor not connected"));
    EXPECT_EQ(o.Text(11), QStringLiteral("Kein Nullimpuls")); // German in both tables
    o.LangBase = 1000;
    EXPECT_EQ(o.Text(20), QStringLiteral("Grundaufl") + QChar(0xF6) + QStringLiteral("sung"));
    EXPECT_EQ(o.Text(34), QStringLiteral("Fehler Initialisierung  Rotaconf"));
    EXPECT_EQ(TRC_Option::TextOf(1027), QStringLiteral("Signalg") + QChar(0xFC) + QStringLiteral("te"));
    EXPECT_EQ(o.Text(36), QStringLiteral("Drehgeber enth") + QChar(0xE4) +
                              QStringLiteral("lt andere Konfiguration als geschrieben"));
    EXPECT_EQ(TRC_Option::TextOf(36), QStringLiteral("Encoder holds another configuration than written"));
    for (int id : {0, 7, 37, 1000, 1006, 1037})
        EXPECT_TRUE(TRC_Option::TextOf(id).isEmpty()) << id;
}

} // namespace
