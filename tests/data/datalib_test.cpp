// Register images: shape and index check, bit fields across bytes, the CRC, copies.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tarnbus/DatalibClass.h"

TEST(Datalib, NewImageIsValidZerosAndRejectsEveryOutsideIndex)
{
    DatalibClass image(4, 2, 3);
    for (int page = 1; page <= 3; ++page)
        for (int row = 0; row <= 1; ++row)
            for (int byte = 0; byte <= 3; ++byte) {
                EXPECT_EQ(image.ucGetValue(page, row, byte), 0);
                EXPECT_TRUE(image.bIfValid(page, row, byte));
            }
    EXPECT_THROW(image.ucGetValue(0, 0, 0), bool);
    EXPECT_THROW(image.ucGetValue(4, 0, 0), bool);
    EXPECT_THROW(image.bIfValid(1, 2, 0), bool);
    EXPECT_THROW(image.vSetValue(1, 0, 4, 1), bool);
    EXPECT_THROW(image.vSetValid(1, -1, 0, false), bool);
    EXPECT_THROW(image.vSetValue(-1, 9), bool);
    try {
        image.ucGetValue(4);
        FAIL() << "byte 4 of a 4-byte row was accepted";
    } catch (bool b) {
        EXPECT_TRUE(b);
    }

    // The short forms address page 1 (row 0); nothing else moves.
    image.vSetValue(3, 0xAB);
    image.vSetValue(1, 2, 0xCD);
    image.vSetValue(3, 1, 2, 0xEF);
    image.vSetValid(1, 2, false);
    EXPECT_EQ(image.ucGetValue(1, 0, 3), 0xAB);
    EXPECT_EQ(image.ucGetValue(1, 1, 2), 0xCD);
    EXPECT_EQ(image.ucGetValue(3, 1, 2), 0xEF);
    EXPECT_EQ(image.ucGetValue(2, 1, 2), 0);
    EXPECT_FALSE(image.bIfValid(1, 1, 2));
    EXPECT_TRUE(image.bIfValid(3, 1, 2));
}

TEST(Datalib, DimensionsBelowOneAreRefused)
{
    EXPECT_THROW(DatalibClass(0, 1, 1), std::invalid_argument);
    EXPECT_THROW(DatalibClass(1, -2, 1), std::invalid_argument);
    EXPECT_THROW(DatalibClass(1, 1, 0), std::invalid_argument);
    EXPECT_THROW(DatalibClass(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), std::bad_alloc);
}

TEST(Datalib, CopiesAreIndependent)
{
    DatalibClass original(2, 1, 1);
    original.vSetValue(0, 0x11);
    DatalibClass copy(original);
    copy.vSetValue(0, 0x22);
    copy.vSetValid(1, false);
    EXPECT_EQ(original.ucGetValue(0), 0x11);
    EXPECT_TRUE(original.bIfValid(1));
    DatalibClass assigned(8, 8, 8);
    assigned = copy;
    copy.vSetValue(0, 0x33);
    EXPECT_EQ(assigned.ucGetValue(0), 0x22);
    EXPECT_FALSE(assigned.bIfValid(1));
    EXPECT_THROW(assigned.ucGetValue(2), bool);  // took the copy's shape
}

TEST(Datalib, FieldsRunDownAcrossBytes)
{
    DatalibClass image(8, 1, 1);
    unsigned char ucLast = 0xFF;
    EXPECT_EQ(image.ucSetValue(1, 0, 5, 7, 16, UL64Class(0, 0x1234)), 4);
    EXPECT_EQ(image.ucGetValue(5), 0x12);
    EXPECT_EQ(image.ucGetValue(4), 0x34);
    EXPECT_TRUE(image.ullGetValue(1, 0, 5, 7, 16, &ucLast) == 0x1234u);
    EXPECT_EQ(ucLast, 4);

    EXPECT_EQ(image.ucSetValue(1, 0, 3, 5, 4, UL64Class(0, 0xF)), 3);
    EXPECT_EQ(image.ucGetValue(3), 0x3C);

    // 12 bits from bit 3 of byte 2: bits 3..0 of byte 2 and all of byte 1; the rest is kept.
    image.vSetValue(2, 0xF0);
    image.vSetValue(0, 0x5A);
    image.vSetValid(1, false);
    EXPECT_EQ(image.ucSetValue(1, 0, 2, 3, 12, UL64Class(0, 0xABC)), 1);
    EXPECT_EQ(image.ucGetValue(2), 0xFA);
    EXPECT_EQ(image.ucGetValue(1), 0xBC);
    EXPECT_EQ(image.ucGetValue(0), 0x5A);
    EXPECT_FALSE(image.bIfValid(1));  // flags are not touched
    EXPECT_TRUE(image.ullGetValue(1, 0, 2, 3, 12, nullptr) == 0xABCu);

    // A field of up to 32 bits may start and end anywhere, crossing several bytes.
    EXPECT_EQ(image.ucSetValue(1, 0, 7, 2, 27, UL64Class(0, 0x5ABCDEF)), 4);
    EXPECT_TRUE(image.ullGetValue(1, 0, 7, 2, 27, &ucLast) == 0x5ABCDEFu);
    EXPECT_EQ(ucLast, 4);

    // 40 bits from bit 7 of byte 4: byte 4 holds value bits 39..32.
    const UL64Class ull40(0xA5, 0x12345678);
    EXPECT_EQ(image.ucSetValue(1, 0, 4, 7, 40, ull40), 0);
    EXPECT_EQ(image.ucGetValue(4), 0xA5);
    EXPECT_EQ(image.ucGetValue(0), 0x78);
    EXPECT_TRUE(image.ullGetValue(1, 0, 4, 7, 40, &ucLast) == ull40);
    EXPECT_EQ(ucLast, 0);

    // Length 0: nothing changes, the byte itself is the answer.
    EXPECT_EQ(image.ucSetValue(1, 0, 6, 3, 0, UL64Class(0, 0xFF)), 6);
    EXPECT_TRUE(image.ullGetValue(1, 0, 6, 3, 0, nullptr) == 0u);
}

TEST(Datalib, FieldsRunningOutOfTheRowThrowAfterTheBytesInside)
{
    DatalibClass image(2, 1, 1);
    EXPECT_THROW(image.ucSetValue(1, 0, 1, 7, 24, UL64Class(0, 0xAABBCC)), bool);
    EXPECT_EQ(image.ucGetValue(1), 0xAA);
    EXPECT_EQ(image.ucGetValue(0), 0xBB);
    EXPECT_THROW(image.ullGetValue(1, 0, 1, 7, 24, nullptr), bool);
    EXPECT_THROW(image.ucSetValue(2, 0, 0, 7, 8, UL64Class()), bool);
}

TEST(Datalib, Crc)
{
    DatalibClass image(9, 1, 1);
    image.vSetValue(0, 0x80);
    EXPECT_EQ(image.uiCalculateCRC(0, 0, 0x43), 0x0Au);
    EXPECT_EQ(image.uiCalculateCRC(1, 0, 0x43), 0u);  // empty range
    image.vSetValue(0, 0x00);
    EXPECT_EQ(image.uiCalculateCRC(0, 0, 0x43), 0u);

    // CRC-8 with x^8 + x^2 + x + 1, no reflection, no inversion: 0xF4 over "123456789".
    const std::string strCheck = "123456789";
    for (int i = 0; i < 9; ++i)
        image.vSetValue(i, static_cast<unsigned char>(strCheck[i]));
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 0x107), 0xF4u);
    // Bits above 15 are ignored, bit 0 always counts.
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 0x10106), 0xF4u);

    // A generator of degree 0 leaves the last data bit.
    image.vSetValue(8, 0x01);
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 0), 1u);
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 1), 1u);
    image.vSetValue(8, 0xFE);
    EXPECT_EQ(image.uiCalculateCRC(0, 8, 1), 0u);

    EXPECT_THROW(image.uiCalculateCRC(7, 9, 0x43), bool);
}
