// The record of one sensor cycle and the unpacking of the slaves' data from the master's data memory.
#include "tarnbus/BissClass.h"

#include <algorithm>

BissReadSensClass::BissReadSensClass()
    : aulScdLow{}, aulScdHigh{}, aScd{},
      ulError(0), aulScdCrc{}, aulMcdLow{}, aulMcdHigh{}, aMcd{}, aulMcdCrc{}, abScdTrailBit{},
      bStatusFlag(0), ucStatus(0), ucValidMask(0), ucMcdValidMask(0), ucRegisterData(0), ucFailStep(0),
      bFrameComplete(0)
{}

void BissClass::vClearSensData(BissReadSensClass *pRecord)
{
    *pRecord = BissReadSensClass();
}

BissEnum BissClass::eGetSensData(uint8_t ucAddress, uint8_t *pucValue, const uint8_t *pucImage)
{
    if (pvecSensAddresses)
        pvecSensAddresses->push_back(ucAddress);
    if (!pucImage)
        return eReadMaster(ucAddress, pucValue);
    *pucValue = pucImage[ucAddress];
    return BISS_OK;
}

namespace {

// CRC width of a polynomial text made by strBin2Str: its length less one. A polynomial that was never
// set has an empty text and counts as no CRC.
uint32_t ulCrcWidth(const std::string &strPoly)
{
    return strPoly.empty() ? 0 : static_cast<uint32_t>(strPoly.size() - 1);
}

// The low ulBits bits of a value (up to 32).
uint32_t ulLowBits(const UL64Class &ullValue, uint32_t ulBits)
{
    if (ulBits == 0)
        return 0;
    const uint32_t ulLow = ullValue.ulGetValueL();
    return ulBits >= 32 ? ulLow : ulLow & ((uint32_t(1) << ulBits) - 1);
}

// A 64-bit value shifted right, counts of 64 and more giving 0.
UL64Class ullShiftRight(UL64Class ullValue, uint32_t ulCount)
{
    if (ulCount >= 64)
        return UL64Class();
    if (ulCount > 0)
        ullValue >>= static_cast<int>(ulCount);
    return ullValue;
}

} // namespace

BissEnum BissClass::eExtractSensData(BissReadSensClass *pRecord, const uint8_t *pucImage)
{
    BissEnum eResult = BISS_OK;
    // Reads one byte of the data memory into a bit field of the value being assembled.
    auto eField = [&](UL64Class &ullValue, uint8_t ucAddress, unsigned uiMsb, unsigned uiLen,
                      unsigned uiShift) {
        uint8_t ucByte = 0;
        eResult = eGetSensData(ucAddress, &ucByte, pucImage);
        if (eResult == BISS_OK)
            ullValue.vSetValue(static_cast<unsigned char>(uiMsb), static_cast<unsigned char>(uiLen),
                               static_cast<uint32_t>(ucByte >> uiShift));
        return eResult == BISS_OK;
    };
    const bool bVersion1 = eMasterVersion == MASTER_VERSION_1;
    const uint32_t ulLast = std::min<uint32_t>(ulMcE5LowBits, SLAVE_COUNT - 1);
    for (uint32_t s = 0; s <= ulLast; ++s) {
        const auto ucFirst = static_cast<uint8_t>(8 * s);
        const auto ucSecond = static_cast<uint8_t>(0x40 + 8 * s);
        if (!(pRecord->ucValidMask & (1u << s))) {
            pRecord->ulError = CYCLE_SLAVE_INVALID;
        } else if (bVersion1) {
            // Version 1 keeps each word most significant byte first from the top of its block down,
            // with its CRC below it; the first word also carries one trail bit at the bottom.
            UL64Class &ullScd = pRecord->aScd[s];
            ullScd = UL64Class();
            const uint32_t w = ulCrcWidth(astrMcData1CrcPoly[s]);
            uint32_t n = aulMcData1Length[s] + w + 1;
            if (ulMcStored9 == 0)
                --n;
            n = std::min<uint32_t>(n, 64);
            uint32_t j = 0;
            for (; j < n / 8; ++j)
                if (!eField(ullScd, static_cast<uint8_t>(ucFirst + 7 - j), n - 1 - 8 * j, 8, 0))
                    return eResult;
            if (n % 8 != 0 && !eField(ullScd, static_cast<uint8_t>(ucFirst + 7 - j), n % 8 - 1, n % 8, 0))
                return eResult;
            pRecord->abScdTrailBit[s] = static_cast<uint8_t>(ulLowBits(ullScd, 1));
            ullScd = ullShiftRight(ullScd, 1);
            pRecord->aulScdCrc[s] = ulLowBits(ullScd, w);
            ullScd = ullShiftRight(ullScd, w);

            // The second word's last partial byte keeps its bits at the top.
            UL64Class &ullMcd = pRecord->aMcd[s];
            ullMcd = UL64Class();
            const uint32_t w2 = ulCrcWidth(astrMcData2CrcPoly[s]);
            const uint32_t n2 = std::min<uint32_t>(aulMcData2Length[s] + w2, 64);
            for (j = 0; j < n2 / 8; ++j)
                if (!eField(ullMcd, static_cast<uint8_t>(ucSecond + 7 - j), n2 - 1 - 8 * j, 8, 0))
                    return eResult;
            if (n2 % 8 != 0 &&
                !eField(ullMcd, static_cast<uint8_t>(ucSecond + 7 - j), n2 % 8 - 1, n2 % 8, 8 - n2 % 8))
                return eResult;
            pRecord->aulMcdCrc[s] = ulLowBits(ullMcd, w2);
            ullMcd = ullShiftRight(ullMcd, w2);
        } else {
            // Later versions keep each word least significant byte first from the bottom of its block;
            // the master has checked and removed the CRC.
            const std::pair<UL64Class *, std::pair<uint8_t, uint32_t>> aWords[2] = {
                {&pRecord->aScd[s], {ucFirst, aulMcData1Length[s]}},
                {&pRecord->aMcd[s], {ucSecond, aulMcData2Length[s]}},
            };
            for (const auto &[pullValue, block] : aWords) {
                *pullValue = UL64Class();
                const uint32_t n = std::min<uint32_t>(block.second, 64);
                uint32_t j = 0;
                for (; j < n / 8; ++j)
                    if (!eField(*pullValue, static_cast<uint8_t>(block.first + j), 8 * j + 7, 8, 0))
                        return eResult;
                if (n % 8 != 0 && !eField(*pullValue, static_cast<uint8_t>(block.first + j), n - 1, n % 8, 0))
                    return eResult;
            }
        }
        pRecord->aScd[s].vGetValue(&pRecord->aulScdHigh[s], &pRecord->aulScdLow[s]);
        pRecord->aMcd[s].vGetValue(&pRecord->aulMcdHigh[s], &pRecord->aulMcdLow[s]);
    }
    return BISS_OK;
}
