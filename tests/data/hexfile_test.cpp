// Intel HEX row files: the records written, what reading gives back for gaps and broken files, and
// agreement with srec_cat and objcopy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tarnbus/DatalibClass.h"

namespace fs = std::filesystem;

namespace {

class HexFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strTemplate = (fs::temp_directory_path() / "tarnbus-hex-XXXXXX").string();
        ASSERT_NE(mkdtemp(strTemplate.data()), nullptr);
        dir = strTemplate;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string strPath(const std::string &strName) const { return (dir / strName).string(); }

    std::string strWrite(const std::string &strName, const std::string &strText) const
    {
        std::ofstream(strPath(strName), std::ios::binary) << strText;
        return strPath(strName);
    }

    std::vector<std::string> vecLines(const std::string &strName) const
    {
        std::ifstream file(strPath(strName));
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    fs::path dir;
};

// A data record line for the given address and bytes, with its checksum.
std::string strRecord(unsigned uAddress, const std::vector<unsigned> &data, int iChecksumError = 0)
{
    unsigned uSum = static_cast<unsigned>(data.size()) + (uAddress >> 8) + (uAddress & 0xFF);
    std::string strLine = ":" + DatalibClass::strValue2Str(static_cast<uint32_t>(data.size()), FORMAT_HEX, 2) +
                          DatalibClass::strValue2Str(uAddress, FORMAT_HEX, 4) + "00";
    for (unsigned b : data) {
        uSum += b;
        strLine += DatalibClass::strValue2Str(b, FORMAT_HEX, 2);
    }
    return strLine + DatalibClass::strValue2Str((0x100 - uSum - iChecksumError) & 0xFF, FORMAT_HEX, 2) + "\n";
}

std::vector<unsigned> vecBytes(unsigned uFirst, unsigned uCount)
{
    std::vector<unsigned> data;
    for (unsigned i = 0; i < uCount; ++i)
        data.push_back((uFirst + i) & 0xFF);
    return data;
}

// Records for the slots of a whole row, byte i holding uSeed + i, leaving out the slots in skip.
std::string strRow(unsigned uSeed, const std::vector<unsigned> &skip = {})
{
    std::string strText;
    for (unsigned s = 0; s < 8; ++s)
        if (std::find(skip.begin(), skip.end(), s) == skip.end())
            strText += strRecord(16 * s, vecBytes(uSeed + 16 * s, 16));
    return strText;
}

void vExpectRowBytes(const DatalibClass &image, int iPage, int iRow, int iFirst, int iLast, unsigned uSeed)
{
    for (int b = iFirst; b <= iLast; ++b) {
        EXPECT_EQ(image.ucGetValue(iPage, iRow, b), (uSeed + b) & 0xFF) << "row " << iRow << " byte " << b;
        EXPECT_TRUE(image.bIfValid(iPage, iRow, b)) << "row " << iRow << " byte " << b;
    }
}

void vExpectInvalidZeros(const DatalibClass &image, int iPage, int iRow, int iFirst, int iLast)
{
    for (int b = iFirst; b <= iLast; ++b) {
        EXPECT_EQ(image.ucGetValue(iPage, iRow, b), 0) << "byte " << b;
        EXPECT_FALSE(image.bIfValid(iPage, iRow, b)) << "byte " << b;
    }
}

bool bHaveTool(const char *pcTool)
{
    return std::system((std::string("command -v ") + pcTool + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST_F(HexFile, WholeRowsAreSixteenByteRecordsAndReadBack)
{
    DatalibClass image(128, 3, 2);
    for (int b = 0; b < 128; ++b) {
        image.vSetValue(2, 1, b, static_cast<unsigned char>(b));
        image.vSetValue(2, 2, b, static_cast<unsigned char>(0x80 + b));
    }
    ASSERT_EQ(image.eWriteHexFile(strPath("rows.hex"), 1, 2, 2), HEXFILE_OK);

    const auto lines = vecLines("rows.hex");
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], ":10000000000102030405060708090A0B0C0D0E0F78");
    for (unsigned i = 0; i < 16; ++i)
        EXPECT_EQ(lines[i], strRecord(16 * (i % 8), vecBytes(0x80 * (i / 8) + 16 * (i % 8), 16)).substr(0, 43));
    EXPECT_EQ(lines[16], ":00000001FF");

    DatalibClass loaded(128, 4, 2);
    ASSERT_EQ(loaded.eReadHexFile(strPath("rows.hex"), 2, 2, 2), HEXFILE_OK);
    vExpectRowBytes(loaded, 2, 2, 0, 127, 0);
    vExpectRowBytes(loaded, 2, 3, 0, 127, 0x80);
    EXPECT_EQ(loaded.ucGetValue(2, 1, 5), 0);  // rows outside untouched
}

TEST_F(HexFile, OnlyRunsOfValidBytesAreWritten)
{
    DatalibClass image(128, 1, 1);
    for (int b = 0; b < 128; ++b) {
        image.vSetValue(1, 0, b, static_cast<unsigned char>(b));
        image.vSetValid(1, 0, b, (b < 4 || (b >= 8 && b < 16)) || b == 0x70);
    }
    image.vSetValue(1, 0, 0x70, 0x0E);  // checksum -(1 + 0x70 + 0x0E) = 0x81
    image.vSetValue(1, 0, 3, 0xF0);
    ASSERT_EQ(image.eWriteHexFile(strPath("runs.hex"), 0, 1, 1), HEXFILE_OK);
    const auto lines = vecLines("runs.hex");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], ":04000000000102F009");
    EXPECT_EQ(lines[1], ":0800080008090A0B0C0D0E0F94");
    EXPECT_EQ(lines[2], ":010070000E81");
    EXPECT_EQ(lines[3], ":00000001FF");

    DatalibClass single(128, 1, 1);
    single.vSetValue(1, 0, 0, 0xFE);  // checksum -(1 + 0xFE) = 0x01, written with its leading zero
    for (int b = 1; b < 128; ++b)
        single.vSetValid(1, 0, b, false);
    ASSERT_EQ(single.eWriteHexFile(strPath("one.hex"), 0, 1, 1), HEXFILE_OK);
    EXPECT_EQ(vecLines("one.hex"), (std::vector<std::string>{":01000000FE01", ":00000001FF"}));

    single.vSetValid(1, 0, 0, false);
    ASSERT_EQ(single.eWriteHexFile(strPath("none.hex"), 0, 1, 1), HEXFILE_OK);
    EXPECT_EQ(vecLines("none.hex"), std::vector<std::string>{":00000001FF"});
}

TEST_F(HexFile, SkippedBytesComeBackAsInvalidZeros)
{
    // No record for 0x10: the gap fills exactly one slot and the reading goes on at 0x20.
    // The record at 0x38 leaves 0x30..0x37 out; the one at 0x50 holds 4 bytes and skips slot 4;
    // the 6-byte record at 0x70 leaves 0x76..0x7F out.
    const std::string strText = strRecord(0x00, vecBytes(0x00, 16)) + strRecord(0x20, vecBytes(0x20, 16)) +
                                strRecord(0x38, vecBytes(0x38, 8)) + strRecord(0x50, vecBytes(0x50, 4)) +
                                strRecord(0x60, vecBytes(0x60, 16)) + strRecord(0x70, vecBytes(0x70, 6)) +
                                strRow(0x40) + ":00000001FF\n";
    DatalibClass image(128, 2, 1);
    for (int b = 0; b < 128; ++b)
        image.vSetValue(1, 0, b, 0xEE);
    ASSERT_EQ(image.eReadHexFile(strWrite("gaps.hex", strText), 0, 2, 1), HEXFILE_OK);
    vExpectRowBytes(image, 1, 0, 0x00, 0x0F, 0);
    vExpectInvalidZeros(image, 1, 0, 0x10, 0x1F);
    vExpectRowBytes(image, 1, 0, 0x20, 0x2F, 0);
    vExpectInvalidZeros(image, 1, 0, 0x30, 0x37);
    vExpectRowBytes(image, 1, 0, 0x38, 0x3F, 0);
    vExpectInvalidZeros(image, 1, 0, 0x40, 0x4F);
    vExpectRowBytes(image, 1, 0, 0x50, 0x53, 0);
    vExpectInvalidZeros(image, 1, 0, 0x54, 0x5F);
    vExpectRowBytes(image, 1, 0, 0x60, 0x75, 0);
    vExpectInvalidZeros(image, 1, 0, 0x76, 0x7F);
    vExpectRowBytes(image, 1, 1, 0, 127, 0x40);

    // Lower-case digits and CR LF line ends read the same.
    std::string strLower = strRow(0x10);
    for (char &c : strLower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string strCrLf;
    for (char c : strLower)
        strCrLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    DatalibClass lower(128, 1, 1);
    ASSERT_EQ(lower.eReadHexFile(strWrite("lower.hex", strCrLf), 0, 1, 1), HEXFILE_OK);
    vExpectRowBytes(lower, 1, 0, 0, 127, 0x10);
}

TEST_F(HexFile, ChecksumErrorsAreReportedAfterTheWholeRead)
{
    const std::string strText = strRecord(0x00, vecBytes(0, 16)) + strRecord(0x10, vecBytes(0x10, 16), 1) +
                                strRow(0x20, {0, 1}) + ":00000001FF\n";
    DatalibClass image(128, 1, 1);
    ASSERT_EQ(image.eReadHexFile(strWrite("sum.hex", strText), 0, 1, 1), HEXFILE_CHECKSUM_ERROR);
    vExpectRowBytes(image, 1, 0, 0, 0x1F, 0);
    vExpectRowBytes(image, 1, 0, 0x20, 0x7F, 0x20);
}

TEST_F(HexFile, LinesThatDoNotFitStopTheReadWithAFormatError)
{
    const std::string strFirst = strRecord(0x00, vecBytes(0, 16));
    const std::string strFull = strRecord(0x10, vecBytes(0x10, 16));
    const std::string strEnd = ":00000001FF\n";
    const std::string strShort = strFull.substr(0, 30) + "\n";
    struct Case {
        const char *pcName;
        std::string strText;
        int iUntouched;  // first byte the read must not have reached
    };
    const std::vector<Case> cases = {
        {"type 02", strFirst + ":020000021000EC\n", 0x10},
        {"end record as the 5th line", strFirst + strRow(0x10, {0, 4, 5, 6, 7}) + strEnd, 0x40},
        {"file ends early", strFirst + strFull, 0x20},
        {"line shorter than its count", strFirst + strShort + strRow(0, {0, 1}) + strEnd, 0x10},
        {"empty line", strFirst + "\n" + strRow(0, {0}) + strEnd, 0x10},
        {"no colon", strFirst + "X" + strFull.substr(1) + strRow(0, {0, 1}) + strEnd, 0x10},
        {"runs past its slot", strFirst + strRecord(0x18, vecBytes(0x18, 9)) + strRow(0, {0, 1}) + strEnd, 0x10},
        {"address 0x80", strFirst + strRecord(0x80, vecBytes(0x80, 16)) + strEnd, 0x10},
        {"address below the slot", strFirst + strRecord(0x08, vecBytes(0x08, 8)) + strRow(0, {0}) + strEnd, 0x10},
    };
    for (const Case &c : cases) {
        DatalibClass image(128, 1, 1);
        for (int b = 0; b < 128; ++b)
            image.vSetValue(1, 0, b, 0xEE);
        EXPECT_EQ(image.eReadHexFile(strWrite("bad.hex", c.strText), 0, 1, 1), HEXFILE_FORMAT_ERROR) << c.pcName;
        // What came before stays stored; the failing line and everything after it store nothing.
        vExpectRowBytes(image, 1, 0, 0, 0x0F, 0);
        for (int b = c.iUntouched; b < 128; ++b) {
            ASSERT_TRUE(image.ucGetValue(1, 0, b) == 0xEE && image.bIfValid(1, 0, b)) << c.pcName << " " << b;
        }
    }
}

TEST_F(HexFile, FilesThatCannotBeUsed)
{
    DatalibClass image(128, 2, 1);
    EXPECT_EQ(image.eReadHexFile(strPath("missing.hex"), 0, 1, 1), HEXFILE_OPEN_FAILED);
    EXPECT_EQ(image.eReadHexFile(dir.string(), 0, 1, 1), HEXFILE_OPEN_FAILED);
    EXPECT_EQ(image.eWriteHexFile(strPath("no/such/dir.hex"), 0, 1, 1), HEXFILE_OPEN_FAILED);
    EXPECT_EQ(image.eReadHexFile(strWrite("empty.hex", ""), 0, 1, 1), HEXFILE_EMPTY);
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(image.eWriteHexFile("/dev/full", 0, 2, 1), HEXFILE_STREAM_ERROR);
    }

    // An image without the rows, the page or 128 bytes a row is refused before the file is touched.
    DatalibClass narrow(64, 2, 1);
    EXPECT_THROW(narrow.eWriteHexFile(strPath("narrow.hex"), 0, 1, 1), bool);
    EXPECT_FALSE(fs::exists(strPath("narrow.hex")));
    const std::string strKept = strWrite("kept.hex", strRow(0) + ":00000001FF\n");
    EXPECT_THROW(image.eWriteHexFile(strKept, 1, 2, 1), bool);
    EXPECT_THROW(image.eWriteHexFile(strKept, 0, 1, 2), bool);
    EXPECT_THROW(image.eReadHexFile(strKept, 2, 1, 1), bool);
    EXPECT_EQ(vecLines("kept.hex").size(), 9u);
}

TEST_F(HexFile, SrecCatAndObjcopyReadWhatIsWritten)
{
    DatalibClass image(128, 1, 1);
    for (int b = 0; b < 128; ++b) {
        image.vSetValue(1, 0, b, static_cast<unsigned char>(b * 7 + 3));
        image.vSetValid(1, 0, b, b % 16 < 10 || b == 127);
    }
    const std::string strHex = strPath("ours.hex");
    ASSERT_EQ(image.eWriteHexFile(strHex, 0, 1, 1), HEXFILE_OK);

    auto vCheck = [&](const std::string &strBin, unsigned char ucGap) {
        std::ifstream file(strBin, std::ios::binary);
        const std::string strBytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_EQ(strBytes.size(), 128u) << strBin;
        for (int b = 0; b < 128; ++b) {
            const unsigned char ucWant = image.bIfValid(b) ? image.ucGetValue(b) : ucGap;
            EXPECT_EQ(static_cast<unsigned char>(strBytes[b]), ucWant) << strBin << " byte " << b;
        }
    };
    if (!bHaveTool("srec_cat") || !bHaveTool("objcopy"))
        GTEST_SKIP() << "srec_cat or objcopy is not installed";
    ASSERT_EQ(std::system(("srec_cat " + strHex + " -Intel -fill 0xEE 0 0x80 -o " + strPath("srec.bin") +
                           " -Binary").c_str()), 0);
    vCheck(strPath("srec.bin"), 0xEE);
    ASSERT_EQ(std::system(("objcopy -I ihex -O binary --gap-fill 0xDD " + strHex + " " + strPath("objcopy.bin"))
                              .c_str()), 0);
    vCheck(strPath("objcopy.bin"), 0xDD);
}

TEST_F(HexFile, ReadsARowWrittenBySrecCat)
{
    if (!bHaveTool("srec_cat"))
        GTEST_SKIP() << "srec_cat is not installed";
    std::string strBytes;
    for (int b = 0; b < 128; ++b)
        strBytes.push_back(static_cast<char>(0xFF - 3 * b));
    const std::string strBin = strWrite("row.bin", strBytes);
    const std::string strHex = strPath("row.hex");
    ASSERT_EQ(std::system(("srec_cat " + strBin + " -Binary -o " + strHex +
                           " -Intel -Output_Block_Size 16 -address-length=2").c_str()), 0);
    DatalibClass image(128, 1, 1);
    image.vSetValid(1, 0, 0, false);
    ASSERT_EQ(image.eReadHexFile(strHex, 0, 1, 1), HEXFILE_OK);
    for (int b = 0; b < 128; ++b) {
        EXPECT_EQ(image.ucGetValue(b), static_cast<unsigned char>(0xFF - 3 * b)) << b;
        EXPECT_TRUE(image.bIfValid(b)) << b;
    }
}
