/*
 * DatalibClass: an in-memory image of device registers. Pages (numbered from 1), rows and bytes (both
 * from 0); every byte carries a validity flag beside its value. A new image holds the value 0 with
 * the flag valid in every byte. Images copy deeply.
 *
 * Every access outside the image throws the bool value true and changes nothing at that byte (a
 * bit field or HEX file read that stops there keeps the bytes it wrote before).
 *
 * Bit fields across bytes: within a row, bit b of byte i is bit 8*i + b of the row, so the more
 * significant part of a field lies in the higher byte indices. A field is named by its most
 * significant bit (byte, ucMsb) and its length; it runs downward from there.
 */
#ifndef TARNBUS_DATALIBCLASS_H
#define TARNBUS_DATALIBCLASS_H

#include <cstdint>
#include <string>
#include <vector>

#include "UL64Class.h"
#include "tarnbus_export.h"

/* Result of the Intel HEX file operations (passed as a 32-bit integer). */
enum HexfileErrorEnum : int32_t {
    HEXFILE_OK = 0,
    HEXFILE_OPEN_FAILED = 1,    /* the file could not be opened */
    HEXFILE_EMPTY = 2,          /* reading: the file is empty */
    HEXFILE_FORMAT_ERROR = 3,   /* reading: a line is not a data record that fits where it must go */
    HEXFILE_CHECKSUM_ERROR = 4, /* reading: at least one record's checksum differs */
    HEXFILE_END_RECORD = 5,     /* reserved; never returned */
    HEXFILE_STREAM_ERROR = 6    /* the file stream failed */
};

class TARNBUS_EXPORT DatalibClass {
public:
    /* iBytes bytes per row, iRows rows per page, iPages pages. A dimension of 0 or below throws
     * std::invalid_argument; an image too large to hold throws std::bad_alloc. */
    DatalibClass(int iBytes, int iRows, int iPages);
    ~DatalibClass();
    DatalibClass(const DatalibClass &) = default;
    DatalibClass &operator=(const DatalibClass &) = default;

    /* Single bytes. The shorter forms address page 1 (two indices) or page 1, row 0 (one index). */
    void vSetValue(int iPage, int iRow, int iByte, unsigned char ucValue);
    void vSetValue(int iRow, int iByte, unsigned char ucValue);
    void vSetValue(int iByte, unsigned char ucValue);
    unsigned char ucGetValue(int iPage, int iRow, int iByte) const;
    unsigned char ucGetValue(int iRow, int iByte) const;
    unsigned char ucGetValue(int iByte) const;
    void vSetValid(int iPage, int iRow, int iByte, bool bValid);
    void vSetValid(int iRow, int iByte, bool bValid);
    void vSetValid(int iByte, bool bValid);
    bool bIfValid(int iPage, int iRow, int iByte) const;
    bool bIfValid(int iRow, int iByte) const;
    bool bIfValid(int iByte) const;

    /*
     * Writes the lowest ucLen bits of the value as a field whose top bit is bit ucMsb of byte ucByte,
     * running down through the lower bytes (an ucMsb above 7 lies in a higher byte); the other bits of
     * the bytes touched are kept, and so are their validity flags. Fields of up to 64 bits may start
     * and end at any bit. Returns the index of the lowest byte written (ucByte for length 0).
     */
    unsigned char ucSetValue(unsigned char ucPage, unsigned char ucRow, unsigned char ucByte,
                             unsigned char ucMsb, unsigned char ucLen, UL64Class ullValue);
    /* The same with a plain number as the value (0, ulValue); a number converted to UL64Class would
     * become the upper half and write zeros into a field of up to 32 bits. */
    unsigned char ucSetValue(unsigned char ucPage, unsigned char ucRow, unsigned char ucByte,
                             unsigned char ucMsb, unsigned char ucLen, uint32_t ulValue);
    /* Reads the same field back; pucLastByte, when not null, receives the lowest byte read. */
    UL64Class ullGetValue(unsigned char ucPage, unsigned char ucRow, unsigned char ucByte,
                          unsigned char ucMsb, unsigned char ucLen, unsigned char *const pucLastByte) const;

    /*
     * Bit-serial CRC over bytes iFirst..iLast of page 1, row 0, bit 7 of each byte first. The degree is
     * the highest set bit among bits 15..0 of uiPoly, whose bit 0 always counts as set; no inversion,
     * no reflection. An empty range gives 0.
     */
    unsigned int uiCalculateCRC(int iFirst, int iLast, unsigned int uiPoly) const;

    /*
     * Intel HEX files of whole rows: bytes 0..127 of rows ucFirstRow .. ucFirstRow + ucRowCount - 1 of
     * page ucPage. Each row is 8 slots of 16 bytes; record addresses are byte positions in the row
     * (0x0000..0x007F, again from 0 for every row) and rows follow each other in the file.
     *
     * Writing puts one data record per run of valid bytes in a slot (none for an invalid slot) and the
     * end record ":00000001FF" last.
     *
     * Reading takes one record per slot, so it reads back rows whose valid bytes form at most one run
     * per slot and whose last slot holds a record (whole valid rows always do). A record may start
     * later than its slot or slots later than expected: the bytes it passes over, and the bytes of its
     * slot after it, come back as invalid zeros. A record with a wrong checksum is stored (as valid)
     * and the read goes on; the result is then HEXFILE_CHECKSUM_ERROR. HEXFILE_FORMAT_ERROR stops the
     * read at the first line that is not a data record fitting where the read stands: the end record
     * or the end of the file before all rows are read, another record type, a line shorter than its
     * byte count says, an address of 0x80 or more or below the current slot, or data running past its
     * slot. On that error every earlier row and, in the row being read, every byte before the slot of
     * the failing line already hold what the file gave; the failing line stores nothing.
     *
     * Both throw the bool exception before touching the file when the image lacks the page, one of the
     * rows or 128 bytes per row.
     */
    HexfileErrorEnum eReadHexFile(const std::string &strPath, unsigned char ucFirstRow,
                                  unsigned char ucRowCount, unsigned char ucPage);
    HexfileErrorEnum eWriteHexFile(const std::string &strPath, unsigned char ucFirstRow,
                                   unsigned char ucRowCount, unsigned char ucPage) const;

    /* Text of a 32-bit number in base 10 (FORMAT_DEC, and any format but FORMAT_HEX) or 16 with upper-
     * case digits, padded with '0' to at least ulWidth characters (0: no padding). */
    static std::string strValue2Str(uint32_t ulValue, FormatEnum eFormat, uint32_t ulWidth);
    /* The number at the start of the text (leading white space skipped, stopping at the first
     * character that is not a digit of the base) in FORMAT_DEC or FORMAT_HEX. A text without a number,
     * and any other format, give 0. */
    static uint32_t ulStr2Value(const std::string &strText, FormatEnum eFormat);

private:
    std::size_t uIndex(int iPage, int iRow, int iByte) const;
    void vCheckRows(unsigned char ucFirstRow, unsigned char ucRowCount, unsigned char ucPage) const;

    int32_t iLastByte;                    /* bytes per row minus 1 */
    int32_t iLastRow;                     /* rows per page minus 1 */
    int32_t iPageCount;                   /* pages, numbered 1..iPageCount */
    std::vector<unsigned char> vecValues; /* page-major, then row, then byte */
    std::vector<unsigned char> vecValid;  /* same shape; non-zero = valid */
};

#endif
