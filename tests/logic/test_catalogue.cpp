// The catalogue reader on files built byte by byte: what it keeps, and what the user is told.
#include "catalogue_bytes.h"

#include <gtest/gtest.h>

namespace {

class Catalogue : public ::testing::Test {
protected:
    bool load(const CfgBytes &bytes) { return list.LoadFromFile(WriteTemp(dir, bytes.b)); }

    QTemporaryDir dir;
    TRecordedMessages messages;
    TConfigList list;
};

TEST_F(Catalogue, ReadsCommentsAndEntriesWithEveryField)
{
    CfgBytes f;
    f.header(1, 7, 3).i32(3).comment(58, "ROTA 58 Geh\xE4use").comment(36, "ROTA 36").comment(58, "second 58");
    f.i32(3).entry(58, 4096, 1024, 4, 4, 12000, 7, -5).entry(99, 70000, 100000, 31, 0x7FFF).entry(36, 1024, 360, 8, 46);
    f.u8(0xEE).u8(0xEE); // bytes after the last entry are ignored
    ASSERT_TRUE(load(f)) << messages.errors.join(QStringLiteral("|")).toStdString();
    EXPECT_TRUE(messages.errors.isEmpty());

    ASSERT_EQ(list.Comments.Count(), 3);
    EXPECT_EQ(list.Comments.At(0)->Text, QStringLiteral("ROTA 58 Geh") + QChar(0xE4) + QStringLiteral("use"));
    ASSERT_EQ(list.Count(), 3);
    const TConfig &e = *list.At(0);
    EXPECT_EQ(e.ArtType, 58);
    EXPECT_EQ(e.BaseCount, 4096u);
    EXPECT_EQ(e.PulseCount, 1024u);
    EXPECT_EQ(e.InterpolCode, 4);
    EXPECT_EQ(e.Divider, 4);
    EXPECT_EQ(e.Spare1, -1);
    EXPECT_EQ(e.Spare2, 0x12345678);
    EXPECT_EQ(e.ListValue, 12000u);
    EXPECT_EQ(e.Spare3, -5);
    EXPECT_EQ(e.ListByte, 7);
    // Duplicate ids: the first comment's text; no comment at all: "unknown".
    EXPECT_EQ(e.Comment, list.Comments.At(0)->Text);
    EXPECT_EQ(list.At(1)->Comment, QStringLiteral("unknown"));
    EXPECT_EQ(list.At(1)->BaseCount, 70000u);
    EXPECT_EQ(list.At(1)->PulseCount, 100000u);
    EXPECT_EQ(list.At(2)->Comment, QStringLiteral("ROTA 36"));
}

TEST_F(Catalogue, EmptyCatalogueIsValid)
{
    CfgBytes f;
    f.header().i32(0).i32(0);
    ASSERT_EQ(f.b.size(), 15u);
    EXPECT_TRUE(load(f));
    EXPECT_TRUE(messages.errors.isEmpty());
    EXPECT_EQ(list.Count(), 0);

    // Negative counts mean none as well.
    EXPECT_TRUE(load(CfgBytes().header().i32(-4).i32(-1)));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(Catalogue, FileAndHeaderMessages)
{
    const QString missing = dir.filePath(QStringLiteral("nothing.cfg"));
    EXPECT_FALSE(list.LoadFromFile(missing));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("File ") + missing + QStringLiteral(" not found"));

    const QString shortPath = WriteTemp(dir, CfgBytes().header().cut(6).b, QStringLiteral("short.cfg"));
    EXPECT_FALSE(list.LoadFromFile(shortPath));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Could not read from file ") + shortPath + QStringLiteral(" not found"));

    CfgBytes wrong;
    wrong.le(0x4352BEBF, 4).u8(1).u8(0).u8(0).i32(0).i32(0);
    EXPECT_FALSE(load(wrong));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Wrong file"));

    EXPECT_FALSE(load(CfgBytes().header(2, 0, 0).i32(0).i32(0)));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Configfile has Version 2.0.0\r"
                                                     "This application needs an update to read such a file!"));
    EXPECT_EQ(messages.errors.size(), 4);
}

TEST_F(Catalogue, FailedLoadEmptiesAnEarlierCatalogue)
{
    ASSERT_TRUE(load(CfgBytes().header().i32(1).comment(58, "x").i32(1).entry(58, 4096, 1024, 4, 4)));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_FALSE(load(CfgBytes().header(0, 9, 9)));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Comments.Count(), 0);
}

TEST_F(Catalogue, ShortBodies)
{
    // Only the header.
    EXPECT_FALSE(load(CfgBytes().header()));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Error read ConfigFile"));

    // Cut inside the second comment: the first stays, the second keeps its id, entries are not read.
    CfgBytes f;
    f.header().i32(2).comment(58, "ROTA 58 long text").i32(36).i32(40);
    EXPECT_FALSE(load(f));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Error read ConfigFile"));
    ASSERT_EQ(list.Comments.Count(), 2);
    EXPECT_EQ(list.Comments.At(0)->Text, QStringLiteral("ROTA 58 long text"));
    EXPECT_EQ(list.Comments.At(1)->Id, 36);
    EXPECT_TRUE(list.Comments.At(1)->Text.isEmpty());
    EXPECT_EQ(list.Count(), 0);

    // Entry count missing.
    EXPECT_FALSE(load(CfgBytes().header().i32(0)));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Error read ConfigFile"));
}

// Counts and lengths are checked against what the file still holds: a broken file is refused
// without setting aside room for what it announces.
TEST_F(Catalogue, AnnouncedSizesBeyondTheFileAreRefused)
{
    EXPECT_FALSE(load(CfgBytes().header().i32(0x7FFFFFFF).comment(1, "a").i32(0)));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Error read ConfigFile"));
    EXPECT_EQ(list.Comments.Count(), 0);

    EXPECT_FALSE(load(CfgBytes().header().i32(1).i32(58).i32(0x7FFFFFF0).i32(0)));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Error read ConfigFile"));
    ASSERT_EQ(list.Comments.Count(), 1);
    EXPECT_TRUE(list.Comments.At(0)->Text.isEmpty());

    // Two entries announced, one and a half present.
    CfgBytes f;
    f.header().i32(0).i32(2).entry(58, 4096, 1024, 4, 4).entry(58, 4096, 2048, 4, 2);
    f.cut(f.b.size() - 20);
    EXPECT_FALSE(load(f));
    EXPECT_EQ(messages.errors.last(), QStringLiteral("Error read ConfigFile"));
    EXPECT_EQ(list.Count(), 0);

    EXPECT_FALSE(load(CfgBytes().header().i32(0).i32(0x7FFFFFFF).entry(58, 4096, 1024, 4, 4)));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(messages.errors.size(), 4);
}

TEST_F(Catalogue, FiltersFindsAndResolutionTexts)
{
    CfgBytes f;
    f.header().i32(1).comment(58, "ROTA 58").i32(6);
    f.entry(58, 1024, 256, 4, 4).entry(36, 2048, 512, 5, 4).entry(58, 2048, 2048, 4, 1);
    f.entry(58, 1024, 1024, 4, 1).entry(58, 2048, 2048, 5, 2).entry(58, 1024, 999, 4, 1);
    ASSERT_TRUE(load(f));

    TConfigList of58, scratch;
    list.FilterByArtType(58, of58);
    ASSERT_EQ(of58.Count(), 5);
    EXPECT_EQ(of58.At(1)->PulseCount, 2048u);
    EXPECT_TRUE(of58.At(0)->Comment.isEmpty()); // copies carry no comment
    EXPECT_EQ(of58.Comments.Count(), 0);

    QStringList texts;
    of58.BaseCountTexts(texts);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("1024"), QStringLiteral("2048")}));

    of58.FilterByBaseCount(scratch, 2048);
    ASSERT_EQ(scratch.Count(), 2);
    EXPECT_EQ(scratch.At(1)->InterpolCode, 5);
    of58.FilterByBaseCount(scratch, -1);
    EXPECT_EQ(scratch.Count(), 0);
    // Filtering a list into itself keeps the matches.
    of58.FilterByBaseCount(of58, 1024);
    EXPECT_EQ(of58.Count(), 3);

    // The first entry in file order wins.
    ASSERT_NE(list.FindBySetting(4, 1), nullptr);
    EXPECT_EQ(list.FindBySetting(4, 1)->PulseCount, 2048u);
    EXPECT_EQ(list.FindBySetting(6, 1), nullptr);
    ASSERT_NE(list.FindByPulseCount(2048), nullptr);
    EXPECT_EQ(list.FindByPulseCount(2048)->InterpolCode, 4);
    EXPECT_EQ(list.FindByPulseCount(3), nullptr);

    TConfig *added = scratch.AddCopy(*list.At(4));
    EXPECT_EQ(added->Divider, 2);
    EXPECT_EQ(scratch.At(0), added);
}

} // namespace
