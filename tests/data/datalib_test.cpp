// Register images: shape and index check, bit fields across bytes, the CRC, copies.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tarnbus/DatalibClass.h"

TEST(Datalib, ShapeIndexCheckAndCopies)
{
    DatalibClass image(4, 2, 3);
    for (int i = 0; i < 3 * 2 * 4; ++i)
        ASSERT_TRUE(image.ucGetValue(1 + i / 8, i / 4 % 2, i % 4) == 0 &&
                    image.bIfValid(1 + i / 8, i / 4 % 2, i % 4));
    EXPECT_THROW(image.ucGetValue(0, 0, 0), bool);
    EXPECT_THROW(image.bIfValid(4, 0, 0), bool);
    EXPECT_THROW(image.vSetValue(1, 2, 0, 1), bool);
    EXPECT_THROW(image.vSetValid(4, false), bool);

    image.vSetValue(3, 0xAB);    // page 1, row 0
    image.vSetValue(1, 2, 0xCD); // page 1
    image.vSetValid(1, 2, false);
    EXPECT_TRUE(image.ucGetValue(1, 0, 3) == 0xAB && image.ucGetValue(1, 1, 2) == 0xCD);
    EXPECT_TRUE(!image.bIfValid(1, 1, 2) && image.bIfValid(2, 1, 2));

    DatalibClass copy(image);
    copy.vSetValue(3, 0x11);
    EXPECT_EQ(image.ucGetValue(3), 0xAB);
    DatalibClass small(1, 1, 1);
    small = copy;
    EXPECT_TRUE(small.ucGetValue(3) == 0x11 && small.bIfValid(3, 1, 2) && !small.bIfValid(1, 1, 2));

    EXPECT_THROW(DatalibClass(0, 1, 1), std::invalid_argument);
    EXPECT_THROW(DatalibClass(1, -2, 1), std::invalid_argument);
    EXPECT_THROW(DatalibClass(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), std::bad_alloc);
}

TEST(Datalib, FieldsRunDownAcrossBytes)
{
    DatalibClass image(8, 1, 1);
    unsigned char ucLast = 0xFF;
    EXPECT_EQ(image.ucSetValue(1, 0, 5, 7, 16, 0x1234), 4); // a plain number is the value
    EXPECT_TRUE(image.ucGetValue(5) == 0x12 && image.ucGetValue(4) == 0x34);
    EXPECT_TRUE(image.ullGetValue(1, 0, 5, 7, 16, &ucLast) == 0x1234u && ucLast == 4);
    EXPECT_EQ(image.ucSetValue(1, 0, 3, 5, 4, UL64Class(0, 0xF)), 3);
    EXPECT_EQ(image.ucGetValue(3), 0x3C);

    // 12 bits from bit 3 of byte 2; the other bits and the flags stay.
    image.vSetValue(2, 0xF0);
    image.vSetValid(1, false);
    EXPECT_EQ(image.ucSetValue(1, 0, 2, 3, 12, UL64Class(0, 0xABC)), 1);
    EXPECT_TRUE(image.ucGetValue(2) == 0xFA && image.ucGetValue(1) == 0xBC && !image.bIfValid(1));

    // 40 bits from bit 7 of byte 4: byte 4 holds value bits 39..32.
    const UL64Class ull40(0xA5, 0x12345678);
    EXPECT_EQ(image.ucSetValue(1, 0, 4, 7, 40, ull40), 0);
    EXPECT_EQ(image.ucGetValue(4), 0xA5);
    EXPECT_TRUE(image.ullGetValue(1, 0, 4, 7, 40, &ucLast) == ull40 && ucLast == 0);

    // Running out of the row throws after the bytes inside were written.
    EXPECT_THROW(image.ucSetValue(1, 0, 1, 7, 24, UL64Class(0, 0xAABBCC)), bool);
    EXPECT_TRUE(image.ucGetValue(1) == 0xAA && image.ucGetValue(0) == 0xBB);
}

TEST(Datalib, Crc)
{
    DatalibClass image(9, 1, 1);
    image.vSetValue(0, 0x80);
    EXPECT_EQ(image.uiCalculateCRC(0, 0, 0x43), 0x0Au);
    EXPECT_EQ(image.uiCalculateCRC(1, 0, 0x43), 0u); // empty range
    for (int i = 0; i < 9; ++i)
        image.vSetValue(i, static_cast<unsigned char>('1' + i));
    // x^8 + x^2 + x + 1, no reflection or inversion: 0xF4 over "123456789"; bits above 15 are
    // ignored and bit 0 always counts.
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 0x10106), 0xF4u);
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 0), 1u); // degree 0: the last data bit
    image.vSetValue(8, 0xFE);
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 1), 0u);
    EXPECT_THROW(image.uiCalculateCRC(7, 9, 0x43), bool);
}
