// Bit fields across bytes and the CRC of the register image.
#include "tarnbus/DatalibClass.h"

#include <algorithm>

#include "bit_math.h"

unsigned char DatalibClass::ucSetValue(unsigned char ucPage, unsigned char ucRow, unsigned char ucByte,
                                       unsigned char ucMsb, unsigned char ucLen, UL64Class ullValue)
{
    using namespace tarnbus_data;
    int iByte = ucByte + ucMsb / 8;
    int iMsb = ucMsb % 8;
    if (ucLen == 0) {
        vSetValue(ucPage, ucRow, ucByte, ucGetValue(ucPage, ucRow, ucByte));
        return ucByte;
    }
    const uint64_t ullWord = (static_cast<uint64_t>(ullValue.ulGetValueH()) << 32) | ullValue.ulGetValueL();
    int iLeft = ucLen; // value bits still to write, the next being bit iLeft - 1
    for (;;) {
        const int iTake = std::min(iLeft, iMsb + 1);
        const int iLow = iMsb - iTake + 1; // lowest bit of this byte that the field covers
        const unsigned uBits =
            static_cast<unsigned>(ullShiftRight(ullWord, iLeft - iTake) & ullLowMask(iTake));
        const unsigned uMask = static_cast<unsigned>(ullLowMask(iTake)) << iLow;
        const unsigned uOld = ucGetValue(ucPage, ucRow, iByte);
        // The validity flag of the byte stays as it is.
        vSetValue(ucPage, ucRow, iByte,
                  static_cast<unsigned char>((uOld & ~uMask) | ((uBits << iLow) & uMask)));
        iLeft -= iTake;
        if (iLeft == 0)
            return static_cast<unsigned char>(iByte);
        iMsb = 7;
        --iByte;
    }
}

unsigned char DatalibClass::ucSetValue(unsigned char ucPage, unsigned char ucRow, unsigned char ucByte,
                                       unsigned char ucMsb, unsigned char ucLen, uint32_t ulValue)
{
    return ucSetValue(ucPage, ucRow, ucByte, ucMsb, ucLen, UL64Class(0, ulValue));
}

UL64Class DatalibClass::ullGetValue(unsigned char ucPage, unsigned char ucRow, unsigned char ucByte,
                                    unsigned char ucMsb, unsigned char ucLen,
                                    unsigned char *const pucLastByte) const
{
    using namespace tarnbus_data;
    int iByte = ucByte + ucMsb / 8;
    int iMsb = ucMsb % 8;
    uint64_t ullWord = 0;
    int iLeft = ucLen;
    if (iLeft == 0)
        iByte = ucByte;
    while (iLeft > 0) {
        const int iTake = std::min(iLeft, iMsb + 1);
        const int iLow = iMsb - iTake + 1;
        const unsigned uBits =
            (ucGetValue(ucPage, ucRow, iByte) >> iLow) & static_cast<unsigned>(ullLowMask(iTake));
        ullWord = ullShiftLeft(ullWord, iTake) | uBits;
        iLeft -= iTake;
        if (iLeft > 0) {
            iMsb = 7;
            --iByte;
        }
    }
    if (pucLastByte)
        *pucLastByte = static_cast<unsigned char>(iByte);
    return UL64Class(static_cast<uint32_t>(ullWord >> 32), static_cast<uint32_t>(ullWord));
}

unsigned int DatalibClass::uiCalculateCRC(int iFirst, int iLast, unsigned int uiPoly) const
{
    using namespace tarnbus_data;
    const int iDegree = std::max(iBitLength(uiPoly & 0xFFFFu) - 1, 0);
    const unsigned uMask = static_cast<unsigned>(ullLowMask(static_cast<unsigned>(iDegree)));
    const unsigned uFeed = (uiPoly & uMask) | 1u;
    unsigned uCrc = 0;
    for (int iByte = iFirst; iByte <= iLast; ++iByte) {
        const unsigned uData = ucGetValue(iByte);
        for (int iBit = 7; iBit >= 0; --iBit) {
            // With degree 0 the register has no bits: the feedback is the data bit alone.
            const unsigned uTop = iDegree > 0 ? (uCrc >> (iDegree - 1)) & 1u : 0u;
            const unsigned uFeedback = uTop ^ ((uData >> iBit) & 1u);
            uCrc = (uCrc << 1) & uMask;
            if (uFeedback)
                uCrc ^= uFeed;
        }
    }
    return uCrc;
}
