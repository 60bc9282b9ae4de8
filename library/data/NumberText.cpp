// The number-text conversions of DatalibClass, shared by the value class and the HEX files.
#include "tarnbus/DatalibClass.h"

#include <charconv>
#include <sstream>

std::string DatalibClass::strValue2Str(uint32_t ulValue, FormatEnum eFormat, uint32_t ulWidth)
{
    const int iBase = eFormat == FORMAT_HEX ? 16 : 10;
    char acDigits[16];
    const auto result = std::to_chars(acDigits, acDigits + sizeof acDigits, ulValue, iBase);
    std::string strDigits(acDigits, result.ptr);
    for (char &c : strDigits)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    // The width is a minimum: longer numbers are never cut.
    if (ulWidth > strDigits.size())
        strDigits.insert(0, ulWidth - strDigits.size(), '0');
    return strDigits;
}

uint32_t DatalibClass::ulStr2Value(const std::string &strText, FormatEnum eFormat)
{
    if (eFormat != FORMAT_DEC && eFormat != FORMAT_HEX)
        return 0;
    std::istringstream stream(strText);
    if (eFormat == FORMAT_HEX)
        stream >> std::hex;
    uint32_t ulValue = 0;
    stream >> ulValue;
    // A failed extraction leaves 0, unless the number was too large for 32 bits (the largest value).
    return ulValue;
}
