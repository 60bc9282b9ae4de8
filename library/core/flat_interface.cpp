// The flat exports: the handle table and the functions that forward to the handle's BissClass object.
#include <array>
#include <memory>
#include <string>

#include "handle_table.h"
#include "tarnbus/BissClass.h"
#include "tarnbus/tarnbus.h"

namespace {

std::array<std::unique_ptr<BissClass>, tarnbus::SLOT_COUNT> apInterface;
std::array<bool, 256> abInterfaceOpen{};
uint8_t ucInterfaceCount = 0; // the next slot to hand out

// Slot of a handle, or -1 for a handle that names no open slot (0, closed, never issued, above 255).
int iSlotOf(uint32_t ulHandle)
{
    if (ulHandle == 0 || ulHandle > tarnbus::SLOT_COUNT)
        return -1;
    const unsigned uiSlot = ulHandle - 1;
    return abInterfaceOpen[uiSlot] ? static_cast<int>(uiSlot) : -1;
}

} // namespace

BissClass *tarnbus::pInterfaceOf(uint32_t ulHandle)
{
    const int iSlot = iSlotOf(ulHandle);
    return iSlot < 0 ? nullptr : apInterface[static_cast<unsigned>(iSlot)].get();
}

extern "C" {

TARNBUS_FLAT int32_t TARNBUS_API OpenInterface(uint32_t ulInterface, const char *strText, uint32_t *,
                                               uint32_t *, uint32_t *pulHandle)
{
    if (!pulHandle)
        return BISS_INVALID_PARAMETER;
    if (ucInterfaceCount >= tarnbus::SLOT_COUNT) {
        *pulHandle = 0;
        return BISS_INVALID_HANDLE;
    }
    if (ucInterfaceCount == 0)
        abInterfaceOpen.fill(false);
    // Kinds 6 and above are passed on as an impossible kind, which the object refuses.
    const auto eKind = static_cast<InterfaceEnum>(ulInterface < 6 ? ulInterface : 6);
    const uint8_t ucSlot = ucInterfaceCount;
    apInterface[ucSlot] = std::make_unique<BissClass>();
    *pulHandle = ucSlot + 1u;
    abInterfaceOpen[ucSlot] = true;
    // The slot is taken before the adapter comes up, so the handle is valid whatever the result.
    ++ucInterfaceCount;
    return apInterface[ucSlot]->eSetInterface(eKind, strText ? std::string(strText) : std::string());
}

TARNBUS_FLAT int32_t TARNBUS_API CloseInterface(uint32_t ulHandle)
{
    const int iSlot = iSlotOf(ulHandle);
    if (iSlot < 0)
        return BISS_INVALID_HANDLE;
    abInterfaceOpen[static_cast<unsigned>(iSlot)] = false;
    apInterface[static_cast<unsigned>(iSlot)].reset();
    if (iSlot + 1 == ucInterfaceCount)
        --ucInterfaceCount;
    return BISS_OK;
}

TARNBUS_FLAT int32_t TARNBUS_API WriteMaster(uint32_t ulHandle, uint32_t ulAddress, uint32_t ulData,
                                             uint32_t ulMask)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eWriteMaster(ulAddress, ulData, ulMask) : BISS_INVALID_HANDLE;
}

TARNBUS_FLAT int32_t TARNBUS_API ReadMaster(uint32_t ulHandle, uint32_t ulAddress, uint32_t *pulData)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eReadMaster(ulAddress, pulData) : BISS_INVALID_HANDLE;
}

TARNBUS_FLAT int32_t TARNBUS_API SetMasterConfig(uint32_t ulHandle, uint32_t ulSlave, uint32_t ulItem,
                                                 uint32_t ulValue)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    if (!p)
        return BISS_INVALID_HANDLE;
    if (ulItem > MC_E6_HIGH3)
        return BISS_INVALID_PARAMETER;
    return p->eSetMasterConfig(ulSlave, static_cast<MasterConfigEnum>(ulItem), ulValue);
}

TARNBUS_FLAT int32_t TARNBUS_API GetMasterConfig(uint32_t ulHandle, uint32_t ulSlave, uint32_t ulItem,
                                                 uint32_t *pulValue)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    if (!p)
        return BISS_INVALID_HANDLE;
    if (ulItem > MC_E6_HIGH3)
        return BISS_INVALID_PARAMETER;
    return p->eGetMasterConfig(ulSlave, static_cast<MasterConfigEnum>(ulItem), pulValue);
}

TARNBUS_FLAT int32_t TARNBUS_API WriteMasterConfig(uint32_t ulHandle, uint32_t ulForce)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eWriteMasterConfig(ulForce) : BISS_INVALID_HANDLE;
}

TARNBUS_FLAT int32_t TARNBUS_API ReadMasterConfig(uint32_t ulHandle)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eReadMasterConfig() : BISS_INVALID_HANDLE;
}

TARNBUS_FLAT int32_t TARNBUS_API InitBissComm(uint32_t ulHandle)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eInitBissComm() : BISS_INVALID_HANDLE;
}

TARNBUS_FLAT int32_t TARNBUS_API ReadSlaveRegister(uint32_t ulHandle, uint32_t ulSelector, uint32_t ulSlaveId,
                                                   uint32_t ulAddress, uint32_t *pulCount, uint8_t *pucData)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eReadSlaveRegister(ulSelector, ulSlaveId, ulAddress, pulCount, pucData)
             : BISS_INVALID_HANDLE;
}

TARNBUS_FLAT int32_t TARNBUS_API WriteSlaveRegister(uint32_t ulHandle, uint32_t ulSelector,
                                                    uint32_t ulSlaveId, uint32_t ulAddress,
                                                    uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eWriteSlaveRegister(ulSelector, ulSlaveId, ulAddress, pulCount, pucData, ucMask)
             : BISS_INVALID_HANDLE;
}

} // extern "C"
