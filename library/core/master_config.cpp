// The master configuration store and its transfer to and from the master's registers.
#include "tarnbus/BissClass.h"

#include "transfer_state.h"

namespace {

// Length byte of a data word: 0 = word off, else bits 5..0 = length - 1 with bit 6 set.
uint32_t ulLengthByte(uint32_t ulLength)
{
    return ulLength == 0 ? 0 : ulLength + 63;
}
uint32_t ulLengthFromByte(uint32_t ulByte)
{
    return (ulByte & 0x40) ? (ulByte & 0x3F) + 1 : 0;
}
uint32_t ulBit7(bool bFlag)
{
    return bFlag ? 0x80 : 0;
}

// Items that belong to the master as a whole take no slave index; any index names them.
bool bPerSlave(MasterConfigEnum eItem)
{
    switch (eItem) {
    case MC_LPT_MODE:
    case MC_F5_BIT0:
    case MC_E5_LOW_BITS:
    case MC_STORED_9:
    case MC_E5_BIT0:
    case MC_EC_VALUE:
    case MC_E6_LOW5:
    case MC_E6_HIGH3:
        return false;
    default:
        return true;
    }
}

} // namespace

std::string BissClass::strBin2Str(uint32_t ulValue)
{
    if (ulValue == 0)
        return "0";
    std::string strBits = "0";
    for (; ulValue != 0; ulValue >>= 1)
        strBits += (ulValue & 1) ? '1' : '0';
    return strBits;
}

uint32_t BissClass::ulChannelCount()
{
    return ucMasterId == 0x83 ? 3 : SLAVE_COUNT;
}

BissEnum BissClass::eSetMasterConfig(uint32_t ulSlave, MasterConfigEnum eItem, uint32_t ulValue)
{
    if (static_cast<uint32_t>(eItem) > MC_E6_HIGH3 || (bPerSlave(eItem) && ulSlave >= SLAVE_COUNT))
        return BISS_INVALID_PARAMETER;
    // A data word holds at most 64 bits; a longer length would spill into the flag bit of its length
    // register and still verify, so the master would be configured wrongly without a word said.
    if ((eItem == MC_DATA1_LENGTH || eItem == MC_DATA2_LENGTH) && ulValue > 64)
        return BISS_INVALID_PARAMETER;
    // A polynomial is kept without its x^0 term in one register: all eight bits of it on a version-1
    // master, seven beside a flag bit on the others. A wider one would spill into the flag or be cut.
    if ((eItem == MC_DATA1_CRCPOLY || eItem == MC_DATA2_CRCPOLY) && ulValue > (bLayout1() ? 0x1FFu : 0xFFu))
        return BISS_INVALID_PARAMETER;
    // The slave count names the last slave the cycle records, lists and images hold (eight of them).
    if (eItem == MC_E5_LOW_BITS && ulValue >= SLAVE_COUNT)
        return BISS_INVALID_PARAMETER;
    const size_t i = ulSlave % SLAVE_COUNT;
    const bool bValue = ulValue != 0;
    switch (eItem) {
    case MC_LPT_MODE:
        ulMcLptMode = ulValue;
        break;
    case MC_F5_BIT0:
        ulMcF5Bit0 = ulValue;
        break;
    case MC_E5_LOW_BITS:
        ulMcE5LowBits = ulValue;
        break;
    case MC_DATA1_LENGTH:
        aulMcData1Length[i] = ulValue;
        break;
    case MC_DATA1_CRCPOLY:
        aulMcData1CrcHalf[i] = ulValue >> 1;
        astrMcData1CrcPoly[i] = strBin2Str(ulValue);
        break;
    case MC_DATA1_BIT7:
        abMcData1Bit7[i] = bValue;
        break;
    case MC_DATA2_LENGTH:
        aulMcData2Length[i] = ulValue;
        break;
    case MC_DATA2_CRCPOLY:
        aulMcData2CrcHalf[i] = ulValue >> 1;
        astrMcData2CrcPoly[i] = strBin2Str(ulValue);
        break;
    case MC_DATA2_BIT7:
        abMcData2Bit7[i] = bValue;
        break;
    case MC_STORED_9:
        ulMcStored9 = ulValue;
        break;
    case MC_DATA1_FLAG_A:
        abMcData1FlagA[i] = bValue;
        if (bValue)
            pTransferState->bCdsRequest = false; // the CDS checks are off with this flag
        break;
    case MC_DATA2_FLAG_A:
        abMcData2FlagA[i] = bValue;
        break;
    case MC_SLAVE_MODE_C:
        abMcSlaveModeC[i] = bValue;
        break;
    case MC_DATA1_FLAG_B:
        abMcData1FlagB[i] = bValue;
        break;
    case MC_DATA2_FLAG_B_BOTH:
        abMcData2FlagB[i] = bValue;
        abMcStored16[i] = bValue;
        break;
    case MC_DATA2_FLAG_B:
        abMcData2FlagB[i] = bValue;
        break;
    case MC_STORED_16:
        abMcStored16[i] = bValue;
        break;
    case MC_E5_BIT0:
        bMcE5Bit0 = bValue;
        break;
    case MC_EC_VALUE:
        ulMcEcValue = ulValue;
        break;
    case MC_STORED_19:
        aucMcStored19[i] = static_cast<uint8_t>(ulValue);
        break;
    case MC_E6_LOW5:
        ulMcE6Low5 = ulValue;
        break;
    case MC_E6_HIGH3:
        ulMcE6High3 = ulValue;
        break;
    }
    return BISS_OK;
}

BissEnum BissClass::eGetMasterConfig(uint32_t ulSlave, MasterConfigEnum eItem, uint32_t *pulValue)
{
    if (static_cast<uint32_t>(eItem) > MC_E6_HIGH3 || (bPerSlave(eItem) && ulSlave >= SLAVE_COUNT) ||
        !pulValue)
        return BISS_INVALID_PARAMETER;
    const size_t i = ulSlave % SLAVE_COUNT;
    uint32_t ulValue = 0;
    switch (eItem) {
    case MC_LPT_MODE:
        ulValue = ulMcLptMode;
        break;
    case MC_F5_BIT0:
        ulValue = ulMcF5Bit0;
        break;
    case MC_E5_LOW_BITS:
        ulValue = ulMcE5LowBits;
        break;
    case MC_DATA1_LENGTH:
        ulValue = aulMcData1Length[i];
        break;
    case MC_DATA1_CRCPOLY:
        ulValue = aulMcData1CrcHalf[i] * 2 + 1;
        break;
    case MC_DATA1_BIT7:
        ulValue = abMcData1Bit7[i];
        break;
    case MC_DATA2_LENGTH:
        ulValue = aulMcData2Length[i];
        break;
    case MC_DATA2_CRCPOLY:
        ulValue = aulMcData2CrcHalf[i] * 2 + 1;
        break;
    case MC_DATA2_BIT7:
        ulValue = abMcData2Bit7[i];
        break;
    case MC_STORED_9:
        ulValue = ulMcStored9;
        break;
    case MC_DATA1_FLAG_A:
        ulValue = abMcData1FlagA[i];
        break;
    case MC_DATA2_FLAG_A:
        ulValue = abMcData2FlagA[i];
        break;
    case MC_SLAVE_MODE_C:
        ulValue = abMcSlaveModeC[i];
        break;
    case MC_DATA1_FLAG_B:
        ulValue = abMcData1FlagB[i];
        break;
    case MC_DATA2_FLAG_B_BOTH:
    case MC_DATA2_FLAG_B:
        ulValue = abMcData2FlagB[i];
        break;
    case MC_STORED_16:
        ulValue = abMcStored16[i];
        break;
    case MC_E5_BIT0:
        ulValue = bMcE5Bit0;
        break;
    case MC_EC_VALUE:
        ulValue = ulMcEcValue;
        break;
    case MC_STORED_19:
        ulValue = aucMcStored19[i];
        break;
    case MC_E6_LOW5:
        ulValue = ulMcE6Low5;
        break;
    case MC_E6_HIGH3:
        ulValue = ulMcE6High3;
        break;
    }
    *pulValue = ulValue;
    return BISS_OK;
}

BissEnum BissClass::eWriteMasterConfig(uint32_t ulForce)
{
    MasterVersionEnum eVersion;
    uint8_t ucId, ucRevision;
    vGetMasterVersion(&eVersion, &ucId, &ucRevision);
    const uint32_t ulChannels = ulChannelCount();
    const bool bLayout2b = !bLayout1() && ucMasterRevision != 0;
    const bool bOnlyIfChanged = ulForce == 0;

    // A polynomial stored while the master looked like a version-1 one may not fit this master's
    // registers: nothing is written then.
    for (uint32_t i = 0; !bLayout1() && i < ulChannels; ++i)
        if (aulMcData1CrcHalf[i] > 0x7F || aulMcData2CrcHalf[i] > 0x7F)
            return BISS_INVALID_PARAMETER;

    BissEnum eResult = BISS_OK;
    // Each write below stops the whole operation at its first failure.
    auto bWrite = [&](uint32_t ulAddress, uint32_t ulValue) {
        eResult = eWriteMasterVerify(static_cast<uint8_t>(ulAddress), ulValue, bOnlyIfChanged);
        return eResult == BISS_OK;
    };
    // Registers 0xED and 0xEE: two flags per slave, data word 2 in the even bit, data word 1 in the odd.
    auto ulPacked = [&](unsigned uiFirst) {
        uint32_t ulBits = 0;
        for (unsigned j = 0; j < 4; ++j) {
            ulBits |= uint32_t(abMcData2FlagA[uiFirst + j]) << (2 * j);
            ulBits |= uint32_t(abMcData1FlagA[uiFirst + j]) << (2 * j + 1);
        }
        return ulBits;
    };

    if (bLayout1()) {
        if (!bWrite(0xE5, ulMcE5LowBits & 7))
            return eResult;
    } else {
        if (!bWrite(0xF5, ulMcF5Bit0 & 1) || !bWrite(0xE6, (ulMcE6High3 & 7) * 32 + (ulMcE6Low5 & 0x1F)))
            return eResult;
    }
    for (uint32_t i = 0; i < ulChannels; ++i) {
        if (bLayout1()) {
            if (!bWrite(0x80 + i, ulLengthByte(aulMcData1Length[i]) + ulBit7(abMcData1Bit7[i])) ||
                !bWrite(0x88 + i, aulMcData1CrcHalf[i]) ||
                !bWrite(0x90 + i, ulLengthByte(aulMcData2Length[i]) + ulBit7(abMcData2Bit7[i])) ||
                !bWrite(0x98 + i, aulMcData2CrcHalf[i]))
                return eResult;
            continue;
        }
        const bool bFlag1 = bLayout2b ? abMcData1FlagB[i] : abMcData1FlagA[i];
        const bool bFlag2 = bLayout2b ? abMcData2FlagB[i] : abMcData2FlagA[i];
        if (!bWrite(0xC0 + 4 * i, ulLengthByte(aulMcData1Length[i]) + ulBit7(bFlag1)) ||
            !bWrite(0xC1 + 4 * i, aulMcData1CrcHalf[i] + ulBit7(abMcData1Bit7[i])) ||
            !bWrite(0xC2 + 4 * i, ulLengthByte(aulMcData2Length[i]) + ulBit7(bFlag2)) ||
            !bWrite(0xC3 + 4 * i, aulMcData2CrcHalf[i] + ulBit7(abMcData2Bit7[i])))
            return eResult;
        if (bLayout2b) {
            if (!bWrite(0xEC, ulMcEcValue) || !bWrite(0xED, ulPacked(0)) || !bWrite(0xEE, ulPacked(4)) ||
                !bWrite(0xE5, bMcE5Bit0 ? 1 : 0))
                return eResult;
        }
    }
    return BISS_OK;
}

BissEnum BissClass::eReadMasterConfig()
{
    MasterVersionEnum eVersion;
    uint8_t ucId, ucRevision;
    vGetMasterVersion(&eVersion, &ucId, &ucRevision);
    const uint32_t ulChannels = ulChannelCount();
    const bool bLayout2b = !bLayout1() && ucMasterRevision != 0;

    BissEnum eResult = BISS_OK;
    uint32_t v = 0;
    auto bRead = [&](uint32_t ulAddress) {
        eResult = eReadMaster(ulAddress, &v);
        return eResult == BISS_OK;
    };
    auto vSetCrc = [](uint32_t &ulHalf, std::string &strPoly, uint32_t ulNewHalf) {
        ulHalf = ulNewHalf;
        strPoly = strBin2Str(ulNewHalf * 2 + 1);
    };
    auto vUnpack = [&](unsigned uiFirst, uint32_t ulBits) {
        for (unsigned j = 0; j < 4; ++j) {
            abMcData2FlagA[uiFirst + j] = (ulBits >> (2 * j)) & 1;
            abMcData1FlagA[uiFirst + j] = (ulBits >> (2 * j + 1)) & 1;
        }
    };

    if (bLayout1()) {
        if (!bRead(0xE5))
            return eResult;
        ulMcE5LowBits = v & 7;
    } else {
        if (!bRead(0xF5))
            return eResult;
        ulMcF5Bit0 = v & 1;
        if (!bRead(0xE6))
            return eResult;
        ulMcE6Low5 = v & 0x1F;
        ulMcE6High3 = (v >> 5) & 7;
    }
    for (uint32_t i = 0; i < ulChannels; ++i) {
        if (bLayout1()) {
            if (!bRead(0x80 + i))
                return eResult;
            aulMcData1Length[i] = ulLengthFromByte(v);
            abMcData1Bit7[i] = v & 0x80;
            if (!bRead(0x88 + i))
                return eResult;
            vSetCrc(aulMcData1CrcHalf[i], astrMcData1CrcPoly[i], v);
            if (!bRead(0x90 + i))
                return eResult;
            aulMcData2Length[i] = ulLengthFromByte(v);
            abMcData2Bit7[i] = v & 0x80;
            if (!bRead(0x98 + i))
                return eResult;
            vSetCrc(aulMcData2CrcHalf[i], astrMcData2CrcPoly[i], v);
            continue;
        }
        if (!bRead(0xC0 + 4 * i))
            return eResult;
        aulMcData1Length[i] = ulLengthFromByte(v);
        (bLayout2b ? abMcData1FlagB : abMcData1FlagA)[i] = v & 0x80;
        if (!bRead(0xC1 + 4 * i))
            return eResult;
        vSetCrc(aulMcData1CrcHalf[i], astrMcData1CrcPoly[i], v & 0x7F);
        abMcData1Bit7[i] = v & 0x80;
        if (!bRead(0xC2 + 4 * i))
            return eResult;
        aulMcData2Length[i] = ulLengthFromByte(v);
        (bLayout2b ? abMcData2FlagB : abMcData2FlagA)[i] = v & 0x80;
        if (!bRead(0xC3 + 4 * i))
            return eResult;
        vSetCrc(aulMcData2CrcHalf[i], astrMcData2CrcPoly[i], v & 0x7F);
        abMcData2Bit7[i] = v & 0x80;
        if (bLayout2b) {
            if (!bRead(0xEC))
                return eResult;
            ulMcEcValue = v;
            if (!bRead(0xED))
                return eResult;
            vUnpack(0, v);
            if (!bRead(0xEE))
                return eResult;
            vUnpack(4, v);
            if (!bRead(0xE5))
                return eResult;
            bMcE5Bit0 = v & 1;
        }
    }
    return BISS_OK;
}
