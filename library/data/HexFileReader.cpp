// Loading rows of the register image from an Intel HEX file written in the row and slot layout of
// eWriteHexFile. The file names no rows: the n-th group of 8 slots belongs to the n-th row asked for.
#include "tarnbus/DatalibClass.h"

#include <filesystem>
#include <fstream>

#include "hex_record.h"

namespace {

using namespace tarnbus_data;

struct HexRecord {
    unsigned uCount = 0;
    unsigned uAddress = 0;
    std::string strLine;

    unsigned uByte(unsigned uIndex) const // data byte uIndex
    {
        return DatalibClass::ulStr2Value(strLine.substr(9 + 2 * uIndex, 2), FORMAT_HEX) & 0xFFu;
    }
    bool bChecksumOk() const
    {
        unsigned uSum = uCount + (uAddress >> 8) + (uAddress & 0xFFu);
        for (unsigned i = 0; i < uCount; ++i)
            uSum += uByte(i);
        const unsigned uGiven =
            DatalibClass::ulStr2Value(strLine.substr(9 + 2 * uCount, 2), FORMAT_HEX) & 0xFFu;
        return uGiven == uHexChecksum(uSum);
    }
};

// Takes the fields of a data record; false for the end record, any other type and lines too short
// for the data and checksum their count announces.
bool bParseDataRecord(const std::string &strLine, HexRecord &record)
{
    if (strLine.size() < 11 || strLine[0] != ':' || strLine.compare(0, 11, HEX_END_RECORD) == 0)
        return false;
    if (strLine.compare(7, 2, "00") != 0)
        return false;
    record.uCount = DatalibClass::ulStr2Value(strLine.substr(1, 2), FORMAT_HEX) & 0xFFu;
    record.uAddress = DatalibClass::ulStr2Value(strLine.substr(3, 4), FORMAT_HEX);
    if (strLine.size() < 11 + 2 * static_cast<std::size_t>(record.uCount))
        return false;
    record.strLine = strLine;
    return true;
}

} // namespace

HexfileErrorEnum DatalibClass::eReadHexFile(const std::string &strPath, unsigned char ucFirstRow,
                                            unsigned char ucRowCount, unsigned char ucPage)
{
    vCheckRows(ucFirstRow, ucRowCount, ucPage);
    std::error_code error;
    if (std::filesystem::is_directory(strPath, error))
        return HEXFILE_OPEN_FAILED;
    std::ifstream file(strPath);
    if (!file.is_open())
        return HEXFILE_OPEN_FAILED;
    if (file.peek() == std::ifstream::traits_type::eof())
        return file.bad() ? HEXFILE_STREAM_ERROR : HEXFILE_EMPTY;

    HexfileErrorEnum ePending = HEXFILE_OK;
    std::string strLine;
    HexRecord record;
    for (int iRow = ucFirstRow; iRow < ucFirstRow + ucRowCount; ++iRow) {
        int iSlot = 0;
        while (iSlot < HEX_SLOTS) {
            // The whole record is checked before any byte of it (or of the gap before it) is stored.
            if (!std::getline(file, strLine) || !bParseDataRecord(strLine, record))
                return HEXFILE_FORMAT_ERROR;
            const unsigned uSlotStart = static_cast<unsigned>(iSlot * HEX_SLOT_BYTES);
            if (record.uAddress >= HEX_ROW_BYTES || record.uAddress < uSlotStart ||
                record.uAddress % HEX_SLOT_BYTES + record.uCount > HEX_SLOT_BYTES)
                return HEXFILE_FORMAT_ERROR;

            // Bytes the file passes over, from the slot where the reading stands up to the record and
            // after the record to the end of its slot, do not come from the file: invalid zeros.
            const unsigned uEnd = record.uAddress + record.uCount;
            const unsigned uSlotEnd = (record.uAddress / HEX_SLOT_BYTES + 1) * HEX_SLOT_BYTES;
            for (unsigned b = uSlotStart; b < uSlotEnd; ++b) {
                const bool bFromFile = b >= record.uAddress && b < uEnd;
                vSetValue(ucPage, iRow, static_cast<int>(b),
                          static_cast<unsigned char>(bFromFile ? record.uByte(b - record.uAddress) : 0));
                vSetValid(ucPage, iRow, static_cast<int>(b), bFromFile);
            }
            // A wrong checksum does not stop the reading; the bytes stay stored as valid.
            if (!record.bChecksumOk())
                ePending = HEXFILE_CHECKSUM_ERROR;
            iSlot = static_cast<int>(uSlotEnd / HEX_SLOT_BYTES);
        }
    }
    if (ePending != HEXFILE_OK)
        return ePending;
    return file.bad() ? HEXFILE_STREAM_ERROR : HEXFILE_OK;
}
