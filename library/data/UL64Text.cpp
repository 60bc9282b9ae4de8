// Text forms of UL64Class: the binary-text setter and the decimal, hexadecimal and binary texts.
#include "tarnbus/DatalibClass.h"
#include "tarnbus/UL64Class.h"

#include <algorithm>

void UL64Class::vSetValue(std::string strBits)
{
    // The last character is bit 0; only the last 64 characters can land in the value.
    const std::size_t uCount = std::min<std::size_t>(strBits.size(), 64);
    const std::size_t uStart = strBits.size() - uCount;
    uint64_t ullWord = 0;
    for (std::size_t i = 0; i < uCount; ++i) {
        const std::size_t uBit = uCount - 1 - i;
        if (strBits[uStart + i] == '1')
            ullWord |= uint64_t{1} << uBit;
    }
    // Written directly: the bit count stays as it was.
    ulValueH = static_cast<uint32_t>(ullWord >> 32);
    ulValueL = static_cast<uint32_t>(ullWord);
}

std::string UL64Class::strBin2Str(uint32_t ulHigh, uint32_t ulLow, unsigned char ucDigits, bool bMsbFirst)
{
    const uint64_t ullWord = (static_cast<uint64_t>(ulHigh) << 32) | ulLow;
    std::string strText;
    strText.reserve(ucDigits);
    for (int iBit = ucDigits - 1; iBit >= 0; --iBit) {
        const bool bSet = iBit < 64 && ((ullWord >> iBit) & 1) != 0;
        strText.push_back(bSet ? '1' : '0');
    }
    if (!bMsbFirst)
        std::reverse(strText.begin(), strText.end());
    return strText;
}

std::string UL64Class::strGetValue(FormatEnum eFormat, int iDigits, bool bMsbFirst) const
{
    int iCount = std::clamp(iDigits, 0, 64);
    if (iCount == 0)
        iCount = eFormat == FORMAT_BIN ? iBitCount : (iBitCount + 3) / 4;

    switch (eFormat) {
    case FORMAT_DEC:
        return DatalibClass::strValue2Str(ulValueL, FORMAT_DEC, 0);
    case FORMAT_HEX:
        if (iCount <= 8)
            return DatalibClass::strValue2Str(ulValueL, FORMAT_HEX, static_cast<uint32_t>(iCount));
        return DatalibClass::strValue2Str(ulValueH, FORMAT_HEX, static_cast<uint32_t>(iCount - 8)) +
               DatalibClass::strValue2Str(ulValueL, FORMAT_HEX, 8);
    case FORMAT_BIN:
        return strBin2Str(ulValueH, ulValueL, static_cast<unsigned char>(iCount), bMsbFirst);
    }
    return std::string();
}
