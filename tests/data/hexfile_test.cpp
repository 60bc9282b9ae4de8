// Intel HEX row files: the records written, what reading gives back for gaps and broken files, and
// agreement with srec_cat and objcopy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tarnbus/DatalibClass.h"

namespace {

// A data record at uAddress holding uCount bytes of the row pattern byte b = uSeed + b.
std::string strRec(unsigned uAddress, unsigned uCount, unsigned uSeed = 0, unsigned uBadSum = 0)
{
    unsigned uSum = uCount + uAddress + uBadSum;
    std::string strLine = ":" + DatalibClass::strValue2Str(uCount, FORMAT_HEX, 2) +
                          DatalibClass::strValue2Str(uAddress, FORMAT_HEX, 4) + "00";
    for (unsigned b = uAddress; b < uAddress + uCount; ++b) {
        uSum += (uSeed + b) & 0xFF;
        strLine += DatalibClass::strValue2Str((uSeed + b) & 0xFF, FORMAT_HEX, 2);
    }
    return strLine + DatalibClass::strValue2Str((0x100 - uSum) & 0xFF, FORMAT_HEX, 2) + "\n";
}

std::string strRow(unsigned uSeed, unsigned uFromSlot = 0)
{
    std::string strText;
    for (unsigned s = uFromSlot; s < 8; ++s)
        strText += strRec(16 * s, 16, uSeed);
    return strText;
}

const std::string strEnd = ":00000001FF\n";

// Bytes iFirst..iLast of a row of page 1: the pattern when bValid, else invalid zeros.
void vExpectBytes(const DatalibClass &image, int iRow, int iFirst, int iLast, bool bValid, unsigned uSeed = 0)
{
    for (int b = iFirst; b <= iLast; ++b)
        EXPECT_TRUE(image.ucGetValue(1, iRow, b) == (bValid ? (uSeed + b) & 0xFF : 0) &&
                    image.bIfValid(1, iRow, b) == bValid)
            << "row " << iRow << " byte " << b;
}

class HexFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(mkdtemp(acDir), nullptr); }
    void TearDown() override { std::filesystem::remove_all(acDir); }
    std::string strPath(const std::string &strName) const { return std::string(acDir) + "/" + strName; }
    std::string strFile(const std::string &strName, const std::string &strText) const
    {
        std::ofstream(strPath(strName), std::ios::binary) << strText;
        return strPath(strName);
    }
    std::string strRead(const std::string &strName) const
    {
        std::ifstream file(strPath(strName), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    char acDir[32] = "/tmp/tarnbus-hex-XXXXXX";
};

} // namespace

TEST_F(HexFile, WritesRunsOfValidBytesPerSlotAndReadsWholeRowsBack)
{
    DatalibClass image(128, 3, 1);
    for (int b = 0; b < 128; ++b) {
        image.vSetValue(1, 1, b, static_cast<unsigned char>(b));
        image.vSetValue(1, 2, b, static_cast<unsigned char>(0x80 + b));
    }
    ASSERT_EQ(image.eWriteHexFile(strPath("rows.hex"), 1, 2, 1), HEXFILE_OK);
    EXPECT_EQ(strRead("rows.hex").substr(0, 44), ":10000000000102030405060708090A0B0C0D0E0F78\n");
    EXPECT_EQ(strRead("rows.hex"), strRow(0) + strRow(0x80) + strEnd);
    DatalibClass loaded(128, 3, 1);
    ASSERT_EQ(loaded.eReadHexFile(strPath("rows.hex"), 0, 2, 1), HEXFILE_OK);
    vExpectBytes(loaded, 0, 0, 127, true, 0);
    vExpectBytes(loaded, 1, 0, 127, true, 0x80);

    // Bytes 0..3 and 8..15 of slot 0 give two records; 0x70 alone has a checksum below 0x10.
    for (int b = 0; b < 128; ++b) {
        image.vSetValid(1, 1, b, b < 4 || (b >= 8 && b < 16) || b == 0x70);
        image.vSetValid(1, 0, b, false);
    }
    image.vSetValue(1, 1, 0x70, 0x8E);
    ASSERT_EQ(image.eWriteHexFile(strPath("runs.hex"), 1, 1, 1), HEXFILE_OK);
    EXPECT_EQ(strRead("runs.hex"), strRec(0, 4) + strRec(8, 8) + ":010070008E01\n" + strEnd);
    ASSERT_EQ(image.eWriteHexFile(strPath("none.hex"), 0, 1, 1), HEXFILE_OK); // row 0 all invalid
    EXPECT_EQ(strRead("none.hex"), strEnd);
}

TEST_F(HexFile, SkippedBytesComeBackAsInvalidZerosAndBadChecksumsAfterTheRead)
{
    // No record for 0x10 (the gap ends on a slot border), 0x30..0x37 and all of slot 4 skipped,
    // 0x54..0x5F and 0x76..0x7F after short records; the record at 0x60 has a wrong checksum.
    const std::string strText = strRec(0x00, 16) + strRec(0x20, 16) + strRec(0x38, 8) + strRec(0x50, 4) +
                                strRec(0x60, 16, 0, 1) + strRec(0x70, 6) + strRow(0x40) + strEnd;
    DatalibClass image(128, 2, 1);
    ASSERT_EQ(image.eReadHexFile(strFile("gaps.hex", strText), 0, 2, 1), HEXFILE_CHECKSUM_ERROR);
    const int aiRuns[][2] = {{0x00, 0x0F}, {0x10, 0x1F}, {0x20, 0x2F}, {0x30, 0x37}, {0x38, 0x3F},
                             {0x40, 0x4F}, {0x50, 0x53}, {0x54, 0x5F}, {0x60, 0x75}, {0x76, 0x7F}};
    for (int i = 0; i < 10; ++i)
        vExpectBytes(image, 0, aiRuns[i][0], aiRuns[i][1], i % 2 == 0);
    vExpectBytes(image, 1, 0, 127, true, 0x40);
}

TEST_F(HexFile, LinesThatDoNotFitStopTheReadWithAFormatError)
{
    const std::string strFirst = strRec(0x00, 16);
    const std::pair<std::string, int> cases[] = {
        // file, first byte the read must not reach
        {strFirst + ":020000021000EC\n", 0x10},
        {strFirst + strRec(0x10, 16) + strRec(0x20, 16) + strRec(0x30, 16) + strEnd, 0x40}, // end as 5th line
        {strFirst + strRec(0x10, 16), 0x20},                                                // file ends early
        {strFirst + strRec(0x10, 16).substr(0, 30) + "\n" + strRow(0, 2) + strEnd, 0x10},   // short line
        {strFirst + strRec(0x18, 9) + strRow(0, 2) + strEnd, 0x10}, // runs past its slot
        {strFirst + strRec(0x80, 16) + strEnd, 0x10},
        {strFirst + strRec(0x08, 8) + strRow(0, 1) + strEnd, 0x10}}; // below the slot
    for (const auto &[strText, iUntouched] : cases) {
        DatalibClass image(128, 1, 1);
        image.vSetValue(1, 0, 127, 0xEE);
        EXPECT_EQ(image.eReadHexFile(strFile("bad.hex", strText), 0, 1, 1), HEXFILE_FORMAT_ERROR) << strText;
        vExpectBytes(image, 0, 0, 0x0F, true);
        for (int b = iUntouched; b < 128; ++b)
            ASSERT_TRUE(image.ucGetValue(b) == (b == 127 ? 0xEE : 0) && image.bIfValid(b)) << strText << b;
    }
}

TEST_F(HexFile, FilesThatCannotBeUsed)
{
    DatalibClass image(128, 2, 1);
    EXPECT_EQ(image.eReadHexFile(strPath("missing.hex"), 0, 1, 1), HEXFILE_OPEN_FAILED);
    EXPECT_EQ(image.eWriteHexFile(strPath("no/dir.hex"), 0, 1, 1), HEXFILE_OPEN_FAILED);
    EXPECT_EQ(image.eReadHexFile(strFile("empty.hex", ""), 0, 1, 1), HEXFILE_EMPTY);
    EXPECT_EQ(image.eWriteHexFile("/dev/full", 0, 2, 1), HEXFILE_STREAM_ERROR);
    // Missing rows or too short rows are refused before the file is touched.
    EXPECT_THROW(image.eWriteHexFile(strFile("kept.hex", strEnd), 1, 2, 1), bool);
    EXPECT_THROW(DatalibClass(127, 1, 1).eWriteHexFile(strPath("kept.hex"), 0, 1, 1), bool);
    EXPECT_EQ(strRead("kept.hex"), strEnd);
}

TEST_F(HexFile, SrecCatAndObjcopyAgree)
{
    if (std::system("command -v srec_cat >/dev/null && command -v objcopy >/dev/null") != 0)
        GTEST_SKIP() << "srec_cat or objcopy is not installed";
    DatalibClass image(128, 1, 1);
    std::string strWant;
    for (int b = 0; b < 128; ++b) {
        image.vSetValue(b, static_cast<unsigned char>(b * 7 + 3));
        image.vSetValid(b, b % 16 < 10 || b == 127);
        strWant.push_back(static_cast<char>(image.bIfValid(b) ? b * 7 + 3 : 0xEE));
    }
    const std::string strOurs = strPath("ours.hex");
    ASSERT_EQ(image.eWriteHexFile(strOurs, 0, 1, 1), HEXFILE_OK);
    ASSERT_EQ(
        std::system(("srec_cat " + strOurs + " -Intel -fill 0xEE 0 0x80 -o " + strPath("s.bin") + " -Binary")
                        .c_str()),
        0);
    ASSERT_EQ(std::system(
                  ("objcopy -I ihex -O binary --gap-fill 0xEE " + strOurs + " " + strPath("o.bin")).c_str()),
              0);
    EXPECT_EQ(strRead("s.bin"), strWant);
    EXPECT_EQ(strRead("o.bin"), strWant);

    // A row written by srec_cat with 16-byte records and 16-bit addresses reads back whole.
    std::string strBytes;
    for (int b = 0; b < 128; ++b)
        strBytes.push_back(static_cast<char>(0x5A + b));
    ASSERT_EQ(std::system(("srec_cat " + strFile("row.bin", strBytes) + " -Binary -o " + strPath("row.hex") +
                           " -Intel -Output_Block_Size 16 -address-length=2")
                              .c_str()),
              0);
    ASSERT_EQ(image.eReadHexFile(strPath("row.hex"), 0, 1, 1), HEXFILE_OK);
    vExpectBytes(image, 0, 0, 127, true, 0x5A);
}
