// Saving rows of the register image as an Intel HEX file. Only valid bytes are written: every run of
// valid bytes inside a 16-byte slot becomes one data record, so no record crosses a slot border.
#include "tarnbus/DatalibClass.h"

#include <fstream>

#include "hex_record.h"

namespace {

using namespace tarnbus_data;

void vPutHex(std::string &strLine, unsigned uValue, int iDigits)
{
    static const char acDigits[] = "0123456789ABCDEF";
    for (int i = iDigits - 1; i >= 0; --i)
        strLine.push_back(acDigits[(uValue >> (4 * i)) & 0xFu]);
}

} // namespace

HexfileErrorEnum DatalibClass::eWriteHexFile(const std::string &strPath, unsigned char ucFirstRow,
                                             unsigned char ucRowCount, unsigned char ucPage) const
{
    vCheckRows(ucFirstRow, ucRowCount, ucPage); // before the file is truncated
    std::ofstream file(strPath, std::ios::out | std::ios::trunc);
    if (!file.is_open())
        return HEXFILE_OPEN_FAILED;

    std::string strLine;
    for (int iRow = ucFirstRow; iRow < ucFirstRow + ucRowCount; ++iRow) {
        for (int iSlot = 0; iSlot < HEX_SLOTS; ++iSlot) {
            const int iSlotStart = iSlot * HEX_SLOT_BYTES;
            int j = 0;
            while (j < HEX_SLOT_BYTES) {
                const int iRunStart = j;
                while (j < HEX_SLOT_BYTES && bIfValid(ucPage, iRow, iSlotStart + j))
                    ++j;
                const int iRunLength = j - iRunStart;
                if (iRunLength > 0) {
                    const unsigned uAddress = static_cast<unsigned>(iSlotStart + iRunStart);
                    unsigned uSum = static_cast<unsigned>(iRunLength) + (uAddress >> 8) + (uAddress & 0xFFu);
                    strLine.clear();
                    strLine.push_back(':');
                    vPutHex(strLine, static_cast<unsigned>(iRunLength), 2);
                    vPutHex(strLine, uAddress, 4);
                    strLine += "00";
                    for (int k = iRunStart; k < j; ++k) {
                        const unsigned uByte = ucGetValue(ucPage, iRow, iSlotStart + k);
                        uSum += uByte;
                        vPutHex(strLine, uByte, 2);
                    }
                    vPutHex(strLine, uHexChecksum(uSum), 2);
                    file << strLine << '\n';
                }
                while (j < HEX_SLOT_BYTES && !bIfValid(ucPage, iRow, iSlotStart + j))
                    ++j;
            }
        }
    }
    file << HEX_END_RECORD << '\n';
    file.close();
    return file.fail() ? HEXFILE_STREAM_ERROR : HEXFILE_OK;
}
