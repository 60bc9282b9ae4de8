// 64-bit values: bit counts, carries and borrows, shifts, bit fields and texts as a host sees them.
#include <gtest/gtest.h>

#include <climits>

#include "tarnbus/DatalibClass.h"
#include "tarnbus/UL64Class.h"

namespace {

// The bit count is visible as the length of the automatic binary text.
std::size_t uBits(const UL64Class &v) { return v.strGetValue(FORMAT_BIN, 0, true).size(); }

void vExpect(const UL64Class &v, uint32_t ulHigh, uint32_t ulLow)
{
    EXPECT_EQ(v.ulGetValueH(), ulHigh);
    EXPECT_EQ(v.ulGetValueL(), ulLow);
}

} // namespace

TEST(UL64, BitCountFollowsTheValue)
{
    EXPECT_EQ(uBits(UL64Class()), 1u);
    EXPECT_EQ(uBits(UL64Class(0, 1)), 1u);
    EXPECT_EQ(uBits(UL64Class(0, 0x7FFFFFFF)), 31u);
    EXPECT_EQ(uBits(UL64Class(0, 0x80000000)), 32u);
    EXPECT_EQ(uBits(UL64Class(1, 0)), 33u);
    EXPECT_EQ(uBits(UL64Class(0x80000000, 0)), 64u);

    UL64Class v(0, 5);
    v.vSetValueH(2);
    vExpect(v, 2, 5);
    EXPECT_EQ(uBits(v), 34u);
    v.vSetValueL(7);
    vExpect(v, 2, 7);
    uint32_t ulHigh = 0, ulLow = 0;
    v.vGetValue(&ulHigh, &ulLow);
    EXPECT_EQ(ulHigh, 2u);
    EXPECT_EQ(ulLow, 7u);
}

TEST(UL64, SumsAndDifferencesCarryAcrossTheHalves)
{
    vExpect(UL64Class(0, 0xFFFFFFFF) + 1, 1, 0);
    vExpect(UL64Class(0, 0xFFFFFFFF) + 1u, 1, 0);
    vExpect(UL64Class(0, 0xFFFFFFFF) + UL64Class(0, 0xFFFFFFFF), 1, 0xFFFFFFFE);
    vExpect(UL64Class(0xFFFFFFFF, 0xFFFFFFFF) + UL64Class(0, 2), 0, 1);  // wraps modulo 2^64
    vExpect(UL64Class(0, 0) - 1u, 0xFFFFFFFF, 0xFFFFFFFF);
    vExpect(UL64Class(1, 0) - UL64Class(0, 1), 0, 0xFFFFFFFF);
    vExpect(UL64Class(5, 3) - UL64Class(2, 4), 2, 0xFFFFFFFF);
    vExpect(UL64Class(3, 9) + 0, 3, 9);
    vExpect(UL64Class(1, 0) + (-1), 0, 0xFFFFFFFF);
    vExpect(UL64Class(1, 0) + INT32_MIN, 0, 0x80000000);
    // The sum's bit count is recomputed.
    EXPECT_EQ(uBits(UL64Class(0, 0xFFFFFFFF) + 1), 33u);
    const UL64Class a(1, 2);
    (void)(a + 5);
    vExpect(a, 1, 2);
}

TEST(UL64, ComparisonsUseBothHalves)
{
    EXPECT_TRUE(UL64Class(1, 2) == UL64Class(1, 2));
    EXPECT_TRUE(UL64Class(1, 2) != UL64Class(2, 2));
    EXPECT_FALSE(UL64Class(1, 5) == 5u);
    EXPECT_TRUE(UL64Class(0, 5) == 5u);
    EXPECT_TRUE(UL64Class(1, 5) != 5u);
    EXPECT_TRUE(UL64Class(0, 0xFFFFFFFF) < UL64Class(1, 0));
    EXPECT_TRUE(UL64Class(1, 0) > UL64Class(0, 0xFFFFFFFF));
    EXPECT_TRUE(UL64Class(2, 1) < UL64Class(2, 3));
    EXPECT_FALSE(UL64Class(2, 3) < UL64Class(2, 3));
    EXPECT_FALSE(UL64Class(2, 3) > UL64Class(2, 3));
    // A value whose count was kept by the text setter still equals the same value built fresh.
    UL64Class text(0, 0xFFFF);
    text.vSetValue(std::string("101"));
    EXPECT_TRUE(text == UL64Class(0, 5));
}

TEST(UL64, ShiftsMoveBitsBetweenTheHalves)
{
    UL64Class v(0, 0x12345678);
    vExpect(v <<= 32, 0x12345678, 0);
    vExpect(v, 0x12345678, 0);
    v = UL64Class(0, 0xF0000001);
    vExpect(v <<= 4, 0xF, 0x10);
    EXPECT_EQ(uBits(v), 32u);  // the left shift keeps the count
    v = UL64Class(0x80000001, 1);
    vExpect(v <<= 63, 0x80000000, 0);
    vExpect(v <<= 0, 0x80000000, 0);
    vExpect(v <<= -3, 0x80000000, 0);
    vExpect(v <<= 64, 0, 0);

    v = UL64Class(0x0000AB00, 0);
    vExpect(v >>= 40, 0, 0xAB);
    EXPECT_EQ(uBits(v), 8u);  // the right shift recomputes it
    v = UL64Class(1, 0);
    vExpect(v >>= 1, 0, 0x80000000);
    v = UL64Class(0x12345678, 0x9ABCDEF0);
    vExpect(v >>= 0, 0x12345678, 0x9ABCDEF0);
    vExpect(v >>= 4, 0x01234567, 0x89ABCDEF);
    vExpect(v >>= 63, 0, 0);
}

TEST(UL64, BitFieldInsertion)
{
    UL64Class v;
    v.vSetValue(39, 8, 0xFFu);
    vExpect(v, 0xFF, 0);
    v = UL64Class();
    v.vSetValue(33, 4, 0xFu);  // crosses bit 32
    vExpect(v, 0x3, 0xC0000000);
    EXPECT_EQ(uBits(v), 34u);
    v = UL64Class(0, 0xFF00);
    v.vSetValue(7, 8, 0x1ABu);  // cut to 8 bits, neighbours kept
    vExpect(v, 0, 0xFFAB);
    v.vSetValue(20, 0, 0xFFFFFFFFu);
    vExpect(v, 0, 0xFFAB);
    v = UL64Class(0xFFFFFFFF, 0xFFFFFFFF);
    v.vSetValue(3, 10, 0x3F2u);  // cut field: bits 3..0 take the value's bits 3..0, no shift
    vExpect(v, 0xFFFFFFFF, 0xFFFFFFF2);
    v = UL64Class(0xFFFFFFFF, 0xFFFFFFFF);
    v.vSetValue(47, 40, UL64Class(0x12, 0x345678));  // 40 bits, clears bits 47..8
    vExpect(v, 0xFFFF1200, 0x345678FF);
    v = UL64Class();
    v.vSetValue(63, 64, UL64Class(0xDEADBEEF, 0x01234567));
    vExpect(v, 0xDEADBEEF, 0x01234567);
}

TEST(UL64, BitFieldExtraction)
{
    vExpect(UL64Class(0, 0x1234).ullExtractData(7, 8), 0, 0x34);
    vExpect(UL64Class(0x0000AB00, 0).ullExtractData(47, 8), 0, 0xAB);
    vExpect(UL64Class(0x3, 0xC0000000).ullExtractData(33, 4), 0, 0xF);
    vExpect(UL64Class(0xFFFFFFFF, 0xFFFFFFFF).ullExtractData(3, 12), 0, 0xF);  // cut field
    vExpect(UL64Class(0x12, 0x34567890).ullExtractData(39, 36), 0x1, 0x23456789);
    vExpect(UL64Class(7, 7).ullExtractData(40, 0), 0, 0);
    EXPECT_EQ(UL64Class(0, 3).ulExtractData(0, 1), 1u);
    EXPECT_EQ(UL64Class(0, 2).ulExtractData(0, 1), 0u);
    EXPECT_EQ(UL64Class(0xAB, 0xCD).ulExtractData(63, 64), 0xCDu);
}

TEST(UL64, TextSetterAndTexts)
{
    UL64Class v(0, 0xFFFF);
    v.vSetValue(std::string("101"));
    vExpect(v, 0, 5);
    EXPECT_EQ(uBits(v), 16u);  // count kept from before
    v.vSetValue(std::string("1000000011") + std::string(30, '0'));  // 40 digits
    vExpect(v, 0x80, 0xC0000000);
    v.vSetValue(std::string("1x2 1"));  // only '1' sets a bit
    vExpect(v, 0, 0x11);
    v.vSetValue(std::string(64, '1'));
    vExpect(v, 0xFFFFFFFF, 0xFFFFFFFF);

    EXPECT_EQ(UL64Class(1, 0x23).strGetValue(FORMAT_HEX, 0, true), "100000023");
    EXPECT_EQ(UL64Class(0, 0x23).strGetValue(FORMAT_HEX, 0, true), "23");
    EXPECT_EQ(UL64Class(0, 0xABC).strGetValue(FORMAT_HEX, 6, true), "000ABC");
    EXPECT_EQ(UL64Class(0xF, 1).strGetValue(FORMAT_HEX, 12, true), "000F00000001");
    EXPECT_EQ(UL64Class(0, 6).strGetValue(FORMAT_BIN, 0, true), "110");
    EXPECT_EQ(UL64Class(0, 6).strGetValue(FORMAT_BIN, 0, false), "011");
    EXPECT_EQ(UL64Class(0, 6).strGetValue(FORMAT_BIN, 5, true), "00110");
    EXPECT_EQ(UL64Class(1, 5).strGetValue(FORMAT_DEC, 0, true), "5");
    EXPECT_EQ(UL64Class(0, 4000000000u).strGetValue(FORMAT_DEC, 0, true), "4000000000");
    EXPECT_EQ(UL64Class(0, 6).strGetValue(static_cast<FormatEnum>(7), 0, true), "");
    EXPECT_EQ(UL64Class(0, 0x23).strGetValue(FORMAT_HEX, -5, true), "23");  // negative: automatic

    EXPECT_EQ(UL64Class::strBin2Str(0x5, 0x80000001, 35, true), "101" "1" + std::string(30, '0') + "1");
    EXPECT_EQ(UL64Class::strBin2Str(0x5, 0xB, 4, false), "1101");
    EXPECT_EQ(UL64Class::strBin2Str(1, 1, 0, true), "");
}

TEST(NumberText, ValueToTextAndBack)
{
    EXPECT_EQ(DatalibClass::strValue2Str(255, FORMAT_HEX, 4), "00FF");
    EXPECT_EQ(DatalibClass::strValue2Str(255, FORMAT_DEC, 0), "255");
    EXPECT_EQ(DatalibClass::strValue2Str(0x1234, FORMAT_HEX, 2), "1234");
    EXPECT_EQ(DatalibClass::strValue2Str(0xFFFFFFFF, FORMAT_HEX, 0), "FFFFFFFF");
    EXPECT_EQ(DatalibClass::strValue2Str(0, FORMAT_DEC, 3), "000");
    EXPECT_EQ(DatalibClass::strValue2Str(10, FORMAT_BIN, 0), "10");  // other formats: base 10

    EXPECT_EQ(DatalibClass::ulStr2Value("  1234xyz", FORMAT_DEC), 1234u);
    EXPECT_EQ(DatalibClass::ulStr2Value("fF", FORMAT_HEX), 0xFFu);
    EXPECT_EQ(DatalibClass::ulStr2Value("FFFFFFFF", FORMAT_HEX), 0xFFFFFFFFu);
    EXPECT_EQ(DatalibClass::ulStr2Value("1G", FORMAT_HEX), 1u);
    EXPECT_EQ(DatalibClass::ulStr2Value("xyz", FORMAT_DEC), 0u);
    EXPECT_EQ(DatalibClass::ulStr2Value("", FORMAT_HEX), 0u);
    EXPECT_EQ(DatalibClass::ulStr2Value("G1", FORMAT_HEX), 0u);
    EXPECT_EQ(DatalibClass::ulStr2Value("101", FORMAT_BIN), 0u);
    EXPECT_EQ(DatalibClass::ulStr2Value("12", static_cast<FormatEnum>(9)), 0u);
}
