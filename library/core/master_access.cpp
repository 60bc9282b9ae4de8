// Master register access: plain, masked and verified writes, reads, version detection and the
// communication test.
#include "tarnbus/BissClass.h"

#include <algorithm>

#include "platform/trace.h"

#include "adapter.h"
#include "master_registers.h"

BissEnum BissClass::eWriteMaster(uint32_t ulAddress, uint32_t ulData, uint32_t ulMask)
{
    if (pAdapter->bRefusesWideValues()) {
        if (ulAddress > 0xFF)
            return BISS_INVALID_MASTERADR;
        if (ulData > 0xFF)
            return BISS_INVALID_MASTERDAT;
    }
    uint32_t ulValue = ulData;
    if (ulMask != 0xFFFFFFFF) {
        uint32_t ulCurrent = 0;
        BissEnum eResult = eReadMaster(ulAddress, &ulCurrent);
        if (eResult != BISS_OK)
            return eResult;
        ulValue = (ulCurrent & ~ulMask) + (ulData & ulMask);
    }
    BissEnum eResult =
        pAdapter->eWriteRegister(static_cast<uint8_t>(ulAddress), static_cast<uint8_t>(ulValue));
    if (eResult != BISS_OK)
        tarnbus::vTrace("writing master register 0x%02X refused: %s", static_cast<unsigned>(ulAddress & 0xFF),
                        tarnbus::strResultName(eResult));
    return eResult;
}

BissEnum BissClass::eReadMaster(uint32_t ulAddress, uint32_t *pulData)
{
    if (!pulData)
        return BISS_INVALID_PARAMETER;
    if (pAdapter->bRefusesWideValues() && ulAddress > 0xFF)
        return BISS_INVALID_MASTERADR;
    uint8_t ucValue = 0;
    BissEnum eResult = pAdapter->eReadRegister(static_cast<uint8_t>(ulAddress), &ucValue);
    if (eResult == BISS_OK)
        *pulData = ucValue;
    else
        tarnbus::vTrace("reading master register 0x%02X refused: %s", static_cast<unsigned>(ulAddress & 0xFF),
                        tarnbus::strResultName(eResult));
    return eResult;
}

BissEnum BissClass::eReadMaster(uint8_t ucAddress, uint8_t *pucData)
{
    if (!pucData)
        return BISS_INVALID_PARAMETER;
    uint32_t ulValue = 0;
    BissEnum eResult = eReadMaster(static_cast<uint32_t>(ucAddress), &ulValue);
    if (eResult == BISS_OK)
        *pucData = static_cast<uint8_t>(ulValue);
    return eResult;
}

BissEnum BissClass::eWriteMasterVerify(uint8_t ucAddress, uint32_t ulValue, bool bOnlyIfChanged)
{
    if (bOnlyIfChanged && aulRegCache[ucAddress] == ulValue && !abRegCacheStale[ucAddress])
        return BISS_OK;
    // The cache takes the value before the transfer: it holds what the register is meant to hold.
    aulRegCache[ucAddress] = ulValue;
    abRegCacheStale[ucAddress] = true;
    BissEnum eResult = eWriteMaster(ucAddress, ulValue, 0xFFFFFFFF);
    if (eResult != BISS_OK)
        return eResult;
    uint32_t ulReadBack = 0;
    eResult = eReadMaster(static_cast<uint32_t>(ucAddress), &ulReadBack);
    if (eResult != BISS_OK)
        return eResult;
    if (ulReadBack != ulValue) {
        tarnbus::vTrace("master register 0x%02X reads back 0x%02X, not the 0x%02X written", ucAddress,
                        static_cast<unsigned>(ulReadBack), static_cast<unsigned>(ulValue));
        return BISS_MASTERCOMM_FAILED;
    }
    abRegCacheStale[ucAddress] = false;
    return BISS_OK;
}

bool BissClass::bMasterConfigFailed() const
{
    // A register whose verified write failed may hold anything, so the data layout of the master is
    // not the configured one: what a sensor cycle or a control frame brought back could be wrong.
    return std::find(abRegCacheStale.begin(), abRegCacheStale.end(), true) != abRegCacheStale.end();
}

void BissClass::vResetMasterVersion()
{
    eMasterVersion = MASTER_VERSION_UNKNOWN;
    if (eReadMaster(tarnbus::REG_ID, &ucMasterId) != BISS_OK)
        return;
    ucMasterRevision = 0;
    if ((ucMasterId & 0xC0) == 0) {
        eMasterVersion = MASTER_VERSION_1;
        return;
    }
    if (eWriteMaster(tarnbus::REG_REVISION, 0x00, 0xFFFFFFFF) == BISS_OK &&
        eReadMaster(tarnbus::REG_REVISION, &ucMasterRevision) == BISS_OK)
        eMasterVersion = MASTER_VERSION_2;
}

void BissClass::vGetMasterVersion(MasterVersionEnum *peVersion, uint8_t *pucId, uint8_t *pucRevision)
{
    if (eMasterVersion == MASTER_VERSION_UNKNOWN)
        vResetMasterVersion();
    if (peVersion)
        *peVersion = eMasterVersion;
    if (pucId)
        *pucId = ucMasterId;
    if (pucRevision)
        *pucRevision = ucMasterRevision;
}

bool BissClass::bMasterTestComm(uint8_t ucAddress)
{
    uint8_t ucOriginal = 0;
    if (eReadMaster(ucAddress, &ucOriginal) != BISS_OK)
        return false;
    const uint8_t ucInverse = static_cast<uint8_t>(255 - ucOriginal);
    if (eWriteMaster(ucAddress, ucInverse, 0xFFFFFFFF) != BISS_OK)
        return false;
    uint8_t ucReadBack = 0;
    if (eReadMaster(ucAddress, &ucReadBack) != BISS_OK)
        return false;
    if (ucReadBack != ucInverse)
        return false;
    return eWriteMaster(ucAddress, ucOriginal, 0xFFFFFFFF) == BISS_OK;
}

BissEnum BissClass::eReadEOT(bool *pbEot)
{
    return pAdapter->eReadEot(pbEot);
}
