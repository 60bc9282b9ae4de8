// 64-bit values: bit counts, carries and borrows, shifts, bit fields and texts as a host sees them.
#include <gtest/gtest.h>

#include <cstdint>

#include "tarnbus/DatalibClass.h"
#include "tarnbus/UL64Class.h"

namespace {

uint64_t u64(const UL64Class &v)
{
    return uint64_t{v.ulGetValueH()} << 32 | v.ulGetValueL();
}
UL64Class ull(uint64_t w)
{
    return UL64Class(static_cast<uint32_t>(w >> 32), static_cast<uint32_t>(w));
}
// The bit count shows as the length of the automatic binary text.
std::size_t uBits(const UL64Class &v)
{
    return v.strGetValue(FORMAT_BIN, 0, true).size();
}

} // namespace

TEST(UL64, BitCountArithmeticShiftsAndOrder)
{
    UL64Class a = ull(0xF0000001), b = ull(0x0000AB0000000000), c = ull(0x123456789ABCDEF0);
    const std::pair<UL64Class, uint64_t> results[] = {{ull(0xFFFFFFFF) + 1, 0x100000000},
                                                      {ull(0xFFFFFFFF) + 1u, 0x100000000},
                                                      {ull(~0ull) + ull(2), 1},
                                                      {ull(0) - 1u, ~0ull},
                                                      {ull(0x500000003) - ull(0x200000004), 0x2FFFFFFFF},
                                                      {ull(0x300000009) + 0, 0x300000009},
                                                      {ull(0x100000000) + INT32_MIN, 0x80000000},
                                                      {ull(0x300000009) + -10L, 0x2FFFFFFFF},
                                                      {ull(0xFFFFFFFF) + 1UL, 0x100000000},
                                                      {a <<= 4, 0xF00000010},
                                                      {a <<= -3, 0xF00000010},
                                                      {ull(0x12345678) <<= 32, 0x1234567800000000},
                                                      {b >>= 40, 0xAB},
                                                      {ull(0x100000000) >>= 1, 0x80000000},
                                                      {c >>= 0, 0x123456789ABCDEF0},
                                                      {c >>= 4, 0x0123456789ABCDEF}};
    for (const auto &[v, w] : results)
        EXPECT_EQ(u64(v), w);

    // 0 counts as 1 bit; sums and right shifts recompute the count, left shifts keep it.
    const std::pair<UL64Class, std::size_t> counts[] = {{ull(0), 1},
                                                        {ull(0x80000000), 32},
                                                        {ull(0x100000000), 33},
                                                        {ull(0x8000000000000000), 64},
                                                        {ull(0xFFFFFFFF) + 1, 33},
                                                        {a, 32},
                                                        {b, 8}};
    for (const auto &[v, n] : counts)
        EXPECT_EQ(uBits(v), n) << u64(v);

    EXPECT_TRUE(ull(0x100000005) != 5u && ull(5) == 5u);

    // Hosts write values as {high, low} and clear them with = 0.
    UL64Class d = {1, 0};
    EXPECT_EQ(u64(d), 0x100000000u);
    d = 0;
    EXPECT_TRUE(u64(d) == 0 && uBits(d) == 1);
    EXPECT_TRUE(ull(0xFFFFFFFF) < ull(0x100000000) && ull(0x100000000) > ull(0xFFFFFFFF));
}

TEST(UL64, BitFields)
{
    struct Insert {
        uint64_t ullBefore;
        unsigned char ucMsb, ucLen;
        uint64_t ullValue, ullAfter;
    };
    for (const Insert &c : {Insert{0, 39, 8, 0xFF, 0xFF00000000}, Insert{0, 33, 4, 0xF, 0x3C0000000},
                            Insert{0xFF00, 7, 8, 0x1AB, 0xFFAB}, Insert{0xFF00, 20, 0, ~0ull, 0xFF00},
                            Insert{~0ull, 3, 10, 0x0F2, ~0ull - 0xD}, // cut at bit 0, not shifted
                            Insert{~0ull, 47, 40, 0x1200345678, 0xFFFF1200345678FF}}) {
        UL64Class v = ull(c.ullBefore);
        v.vSetValue(c.ucMsb, c.ucLen, ull(c.ullValue));
        EXPECT_EQ(u64(v), c.ullAfter) << int{c.ucMsb} << "/" << int{c.ucLen};
    }
    EXPECT_EQ(u64(ull(0x0000AB0000000000).ullExtractData(47, 8)), 0xABu);
    EXPECT_EQ(u64(ull(0x3C0000000).ullExtractData(33, 4)), 0xFu);
    EXPECT_EQ(u64(ull(~0ull).ullExtractData(3, 12)), 0xFu);
    EXPECT_EQ(u64(ull(0x1234567890).ullExtractData(39, 36)), 0x123456789u);
    EXPECT_EQ(u64(ull(~0ull).ullExtractData(40, 0)), 0u);
}

TEST(UL64, Texts)
{
    UL64Class v = ull(0xFFFF);
    v.vSetValue(std::string("1x2 101")); // only '1' sets a bit; the count stays
    EXPECT_TRUE(u64(v) == 0x45 && uBits(v) == 16);
    v.vSetValue(std::string("1000000011") + std::string(30, '0'));
    EXPECT_EQ(u64(v), 0x80C0000000u);

    EXPECT_EQ(ull(0x100000023).strGetValue(FORMAT_HEX, 0, true), "100000023");
    EXPECT_EQ(ull(0xF00000001).strGetValue(FORMAT_HEX, 12, true), "000F00000001");
    EXPECT_EQ(ull(0x23).strGetValue(FORMAT_HEX, -5, true), "23"); // negative: automatic
    EXPECT_EQ(ull(6).strGetValue(FORMAT_BIN, 0, false), "011");
    EXPECT_EQ(ull(0x100000005).strGetValue(FORMAT_DEC, 0, true), "5"); // lower half only
    EXPECT_EQ(UL64Class::strBin2Str(0x5, 0x80000001, 35, true), "1011" + std::string(30, '0') + "1");

    EXPECT_EQ(DatalibClass::strValue2Str(255, FORMAT_HEX, 4), "00FF");
    EXPECT_EQ(DatalibClass::strValue2Str(0x1234, FORMAT_HEX, 2), "1234");
    EXPECT_EQ(DatalibClass::ulStr2Value("  1234xyz", FORMAT_DEC), 1234u);
    for (const char *pcNoNumber : {"", "G1", "xyz"})
        EXPECT_EQ(DatalibClass::ulStr2Value(pcNoNumber, FORMAT_HEX), 0u) << pcNoNumber;
    EXPECT_EQ(DatalibClass::ulStr2Value("101", FORMAT_BIN), 0u);
}
