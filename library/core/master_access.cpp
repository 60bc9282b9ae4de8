// Master register access: plain, masked and verified writes, reads, version detection and the
// communication test.
#include "tarnbus/BissClass.h"

#include "usb_adapter.h"

namespace {

bool bIsLpt(InterfaceEnum eKind)
{
    return eKind == INTERFACE_LPT1 || eKind == INTERFACE_LPT2 || eKind == INTERFACE_LPT3;
}

} // namespace

// A kind whose driver could not be loaded keeps its number but has no adapter object behind it.
bool BissClass::bAdapterPresent() const
{
    switch (eInterface) {
    case INTERFACE_USB:
    case INTERFACE_SY2D:
        return pUsbAdapter != nullptr;
    default:
        return pLptPort != nullptr;
    }
}

BissEnum BissClass::eWriteMaster(uint32_t ulAddress, uint32_t ulData, uint32_t ulMask)
{
    if (bIsLpt(eInterface)) {
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
    const auto ucAddress = static_cast<uint8_t>(ulAddress);
    const auto ucValue = static_cast<uint8_t>(ulValue);
    if (!bAdapterPresent())
        return BISS_INVALID_INTERFACE;
    switch (eInterface) {
    case INTERFACE_USB:
        return pUsbAdapter->bWriteMaster(ucAddress, ucValue) ? BISS_OK : BISS_MASTERCOMM_FAILED;
    case INTERFACE_SY2D:
        return BISS_OK; // kind 5 has no transport: writes vanish
    default:
        // No interface, or a parallel port whose bus cycles this build does not carry.
        return BISS_INVALID_INTERFACE;
    }
}

BissEnum BissClass::eReadMaster(uint32_t ulAddress, uint32_t *pulData)
{
    if (!pulData)
        return BISS_INVALID_PARAMETER;
    if (bIsLpt(eInterface) && ulAddress > 0xFF)
        return BISS_INVALID_MASTERADR;
    if (!bAdapterPresent())
        return BISS_INVALID_INTERFACE;
    switch (eInterface) {
    case INTERFACE_USB: {
        uint8_t ucValue = 0;
        if (!pUsbAdapter->bReadMaster(static_cast<uint8_t>(ulAddress), &ucValue))
            return BISS_MASTERCOMM_FAILED;
        *pulData = ucValue;
        return BISS_OK;
    }
    case INTERFACE_SY2D:
        *pulData = 1; // kind 5 has no transport: every register reads 1
        return BISS_OK;
    default:
        return BISS_INVALID_INTERFACE;
    }
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
    if (ulReadBack != ulValue)
        return BISS_MASTERCOMM_FAILED;
    abRegCacheStale[ucAddress] = false;
    return BISS_OK;
}

void BissClass::vResetMasterVersion()
{
    eMasterVersion = MASTER_VERSION_UNKNOWN;
    if (eReadMaster(uint8_t(0xEB), &ucMasterId) != BISS_OK)
        return;
    ucMasterRevision = 0;
    if ((ucMasterId & 0xC0) == 0) {
        eMasterVersion = MASTER_VERSION_1;
        return;
    }
    if (eWriteMaster(0xEA, 0x00, 0xFFFFFFFF) == BISS_OK &&
        eReadMaster(uint8_t(0xEA), &ucMasterRevision) == BISS_OK)
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
    if (!bAdapterPresent())
        return BISS_INVALID_INTERFACE;
    switch (eInterface) {
    case INTERFACE_USB:
    case INTERFACE_SY2D:
        return pUsbAdapter->eReadEotReg(pbEot);
    default:
        // The parallel port's status pin is not carried by this build.
        return BISS_INVALID_INTERFACE;
    }
}
