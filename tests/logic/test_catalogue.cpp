// The catalogue reader on files built byte by byte: what it keeps, and what the user is told.
#include "catalogue_bytes.h"

#include <gtest/gtest.h>

namespace {

class Catalogue : public ::testing::Test {
protected:
    bool load(const CfgBytes &f) { return list.LoadFromFile(WriteTemp(dir, f.b)); }
    QString lastError() const { return messages.errors.value(messages.errors.size() - 1); }

    QTemporaryDir dir;
    TRecordedMessages messages;
    TConfigList list;
};

const QString kBroken = QStringLiteral("Error read ConfigFile");

TEST_F(Catalogue, ReadsEveryFieldAndLooksUpComments)
{
    CfgBytes f;
    f.header(1, 7, 3).i32(3).comment(58, "Geh\xE4use").comment(36, "ROTA 36").comment(58, "second 58");
    f.i32(2).entry(58, 4096, 1024, 4, 4, 12000, 7, -5).entry(99, 70000, 100000, 31, 0x7FFF);
    f.le(0xEEEE, 2); // bytes after the last entry are ignored
    ASSERT_TRUE(load(f)) << lastError().toStdString();
    EXPECT_TRUE(messages.errors.isEmpty());
    ASSERT_EQ(list.Count(), 2);
    const TConfig &e = *list.At(0);
    EXPECT_EQ(std::tie(e.ArtType, e.BaseCount, e.PulseCount, e.InterpolCode, e.Divider),
              std::make_tuple(58, 4096u, 1024u, int16_t(4), int16_t(4)));
    EXPECT_EQ(std::tie(e.Spare1, e.Spare2, e.ListValue, e.Spare3, e.ListByte),
              std::make_tuple(-1, 0x12345678, 12000u, int64_t(-5), uint8_t(7)));
    // Duplicate ids: the first text; no comment: "unknown".
    EXPECT_EQ(e.Comment, QStringLiteral("Geh") + QChar(0xE4) + QStringLiteral("use"));
    EXPECT_EQ(list.At(1)->Comment, QStringLiteral("unknown"));
    EXPECT_EQ(list.At(1)->PulseCount, 100000u);
}

TEST_F(Catalogue, FileAndHeaderMessages)
{
    EXPECT_TRUE(load(CfgBytes().header().i32(0).i32(0)));   // empty: 15 bytes
    EXPECT_TRUE(load(CfgBytes().header().i32(-4).i32(-1))); // negative counts mean none
    ASSERT_TRUE(load(CfgBytes().header().i32(0).i32(1).entry(58, 4096, 1024, 4, 4)));
    const QString missing = dir.filePath(QStringLiteral("nothing.cfg"));
    EXPECT_FALSE(list.LoadFromFile(missing));
    EXPECT_EQ(lastError(), QStringLiteral("File %1 not found").arg(missing));

    CfgBytes shortHeader = CfgBytes().header();
    shortHeader.b.pop_back();
    const QString shortPath = WriteTemp(dir, shortHeader.b, QStringLiteral("short.cfg"));
    EXPECT_FALSE(list.LoadFromFile(shortPath));
    EXPECT_EQ(lastError(), QStringLiteral("Could not read from file %1 not found").arg(shortPath));
    EXPECT_EQ(list.Count(), 0); // what was loaded before is gone

    EXPECT_FALSE(load(CfgBytes().le(0x4352BEBF, 4).header().i32(0).i32(0)));
    EXPECT_EQ(lastError(), QStringLiteral("Wrong file"));
    EXPECT_FALSE(load(CfgBytes().header(2, 0, 0).i32(0).i32(0)));
    EXPECT_EQ(lastError(),
              QStringLiteral(
                  "Configfile has Version 2.0.0\rThis application needs an update to read such a file!"));
    EXPECT_EQ(messages.errors.size(), 4);
}

TEST_F(Catalogue, ShortBodiesKeepWhatWasRead)
{
    EXPECT_FALSE(load(CfgBytes().header()));
    EXPECT_EQ(lastError(), kBroken);
    EXPECT_FALSE(load(CfgBytes().header().i32(0)));
    EXPECT_EQ(lastError(), kBroken);

    // Cut inside the second comment: the first stays, the second keeps its id, no entries are read.
    EXPECT_FALSE(load(CfgBytes().header().i32(2).comment(58, "ROTA 58 long text").i32(36).i32(40)));
    EXPECT_EQ(lastError(), kBroken);
    ASSERT_EQ(list.Comments.Count(), 2);
    EXPECT_EQ(list.Comments.At(0)->Text, QStringLiteral("ROTA 58 long text"));
    EXPECT_EQ(list.Comments.At(1)->Id, 36);
    EXPECT_TRUE(list.Comments.At(1)->Text.isEmpty());
    EXPECT_EQ(list.Count(), 0);
}

// Counts and lengths beyond what the file still holds make a broken file: what the file does hold
// is kept (the program goes on with it), but no room is set aside for what it only announces.
TEST_F(Catalogue, AnnouncedSizesBeyondTheFileAreRefused)
{
    EXPECT_FALSE(load(CfgBytes().header().i32(0x7FFFFFFF).comment(1, "a").i32(0)));
    ASSERT_GE(list.Comments.Count(), 1);
    EXPECT_LE(list.Comments.Count(), 2);
    EXPECT_EQ(list.Comments.At(0)->Text, QStringLiteral("a"));
    EXPECT_FALSE(load(CfgBytes().header().i32(1).i32(58).i32(0x7FFFFFF0).i32(0)));
    EXPECT_EQ(list.Comments.Count(), 1);
    // Cut inside the second entry: the first is complete, with its comment; the second keeps the
    // fields read before the cut.
    CfgBytes halfEntry = CfgBytes().header().i32(1).comment(58, "ROTA 58").i32(2).entry(58, 4096, 1024, 4, 4);
    halfEntry.entry(58, 4096, 2048, 4, 2);
    halfEntry.b.resize(halfEntry.b.size() - 20);
    EXPECT_FALSE(load(halfEntry));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(std::tie(list.At(0)->PulseCount, list.At(0)->Divider), std::make_tuple(1024u, int16_t(4)));
    EXPECT_EQ(list.At(0)->Comment, QStringLiteral("ROTA 58"));
    EXPECT_EQ(std::tie(list.At(1)->PulseCount, list.At(1)->Divider), std::make_tuple(2048u, int16_t(2)));
    EXPECT_TRUE(list.At(1)->Comment.isEmpty());
    EXPECT_FALSE(load(CfgBytes().header().i32(0).i32(0x7FFFFFFF).entry(58, 4096, 1024, 4, 4)));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0)->PulseCount, 1024u);
    EXPECT_EQ(messages.errors, QStringList(4, kBroken));
}

TEST_F(Catalogue, FiltersFindsAndResolutionTexts)
{
    CfgBytes f;
    f.header().i32(1).comment(58, "ROTA 58").i32(4).entry(58, 1024, 256, 4, 4).entry(36, 2048, 512, 5, 4);
    f.entry(58, 2048, 2048, 4, 1).entry(58, 1024, 2048, 4, 1);
    ASSERT_TRUE(load(f));
    TConfigList of58, scratch;
    list.FilterByArtType(58, of58);
    ASSERT_EQ(of58.Count(), 3);
    EXPECT_TRUE(of58.At(0)->Comment.isEmpty()); // copies carry no comment
    QStringList texts;
    of58.BaseCountTexts(texts);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("1024"), QStringLiteral("2048")}));
    of58.FilterByBaseCount(scratch, -1);
    EXPECT_EQ(scratch.Count(), 0);
    of58.FilterByBaseCount(of58, 1024); // into itself
    EXPECT_EQ(of58.Count(), 2);
    EXPECT_EQ(list.FindBySetting(4, 1), list.At(2)); // the first in file order wins
    EXPECT_EQ(list.FindByPulseCount(2048), list.At(2));
    EXPECT_EQ(list.FindByPulseCount(3), nullptr);
}

} // namespace
