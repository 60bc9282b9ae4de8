// Pulse counts as text, the one reading the configuration window and the command line share.
#include "PulseCountText.h"

#include <gtest/gtest.h>

namespace {

TEST(PulseCountText, GroupsOfThreeSplitByApostrophes)
{
    EXPECT_EQ(FormatPulseCount(0), QStringLiteral("0"));
    EXPECT_EQ(FormatPulseCount(999), QStringLiteral("999"));
    EXPECT_EQ(FormatPulseCount(1000), QStringLiteral("1'000"));
    EXPECT_EQ(FormatPulseCount(2000050), QStringLiteral("2'000'050"));
    EXPECT_EQ(FormatPulseCount(4294967295u), QStringLiteral("4'294'967'295"));
}

TEST(PulseCountText, ReadsDigitsWithApostrophesAndBlanksAroundThem)
{
    const std::pair<const char *, std::optional<uint32_t>> cases[] = {
        {"2048", 2048},
        {"2'048", 2048},
        {"1'000'500", 1000500},
        {" 2048", 2048},
        {"2048\t", 2048},
        {"4294967295", 4294967295u},
        // Refused: anything but digits and apostrophes inside, no digit, or more than 32 bits.
        {"2048 +1", std::nullopt},
        {"20 48", std::nullopt},
        {"+2048", std::nullopt},
        {"-5", std::nullopt},
        {"2048x", std::nullopt},
        {"none", std::nullopt},
        {"", std::nullopt},
        {"'", std::nullopt},
        {"4294967296", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(ParsePulseCount(QString::fromLatin1(text)), expected) << '"' << text << '"';
}

} // namespace
