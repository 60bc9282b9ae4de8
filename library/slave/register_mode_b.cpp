// Register mode B: the master chip runs the register transfer with the slave; the library loads the
// master's register-access registers, starts the transfer and checks how it ended.
#include "tarnbus/BissClass.h"

#include <algorithm>

#include "platform/clock.h"

using tarnbus::bTimedOut;
using tarnbus::TIME_LIMIT_MS;
using tarnbus::ullTickMs;

namespace {

constexpr uint32_t FULL_MASK = 0xFFFFFFFF;
constexpr uint8_t REG_COUNT = 0xE3;    // registers to move, minus one
constexpr uint8_t REG_ADDRESS = 0xE2;  // first slave register; bit 7 set = write
constexpr uint8_t REG_SELECTOR = 0xE4; // version 2: selector; version 1: registers done after a failure
constexpr uint8_t REG_SLAVE = 0xE5;    // bits 5..3 slave id; version 1: bits 2..0 count
constexpr uint8_t REG_DONE_V2 = 0xF3;  // registers done after a failure
constexpr uint8_t INSTRUCTION_STOP = 0x80;

struct ModBRegisters {
    uint8_t ucInstruction, ucStatus, ucWindow, ucStart;
};

ModBRegisters registersFor(MasterVersionEnum eVersion)
{
    if (eVersion == MASTER_VERSION_1)
        return {0xE1, 0xE0, 0x40, 0x04};
    return {0xF4, 0xF0, 0x80, 0x08};
}

} // namespace

BissEnum BissClass::eModBPrepare(uint32_t ulCount, uint8_t ucInstruction)
{
    BissEnum eResult = eWriteMaster(REG_COUNT, (ulCount - 1) & 0x7F, FULL_MASK);
    if (eResult != BISS_OK)
        return eResult;
    bool bEot = false;
    eResult = eReadEOT(&bEot);
    if (eResult != BISS_OK || bEot)
        return eResult;
    // A transfer is still running: stop it and wait until the master is idle.
    eResult = eWriteMaster(ucInstruction, INSTRUCTION_STOP, FULL_MASK);
    if (eResult != BISS_OK)
        return eResult;
    const uint64_t ullStart = ullTickMs();
    for (;;) {
        eResult = eReadEOT(&bEot);
        if (eResult != BISS_OK || bEot)
            return eResult;
        if (bTimedOut(ullStart, TIME_LIMIT_MS))
            return BISS_COMM_FAILED;
    }
}

BissEnum BissClass::eModBAddress(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulCount)
{
    // The count is at most the data window here, so bits 2..0 always come from it.
    uint32_t ulSlaveBits = (ulSlaveId & 7) << 3;
    if (eMasterVersion == MASTER_VERSION_1)
        ulSlaveBits |= ulCount & 7;
    BissEnum eResult = eWriteMaster(REG_SLAVE, ulSlaveBits, FULL_MASK);
    if (eResult != BISS_OK || eMasterVersion != MASTER_VERSION_2)
        return eResult;
    return eWriteMaster(REG_SELECTOR, ulSelector, FULL_MASK);
}

BissEnum BissClass::eModBRun(uint8_t ucInstruction, uint8_t ucStart)
{
    BissEnum eResult = eWriteMaster(ucInstruction, ucStart, FULL_MASK);
    if (eResult != BISS_OK)
        return eResult;
    const uint64_t ullStart = ullTickMs();
    // The instruction stays in its register until the master takes it. A master that shows it cleared
    // before we ever saw it pending gets the instruction once more; the USB path and the bit-serial port
    // are too slow to catch it pending, so there a clear register counts as taken.
    int iRestart = 0;
    bool bSeen = false;
    uint8_t ucPending = 0;
    do {
        eResult = eReadMaster(ucInstruction, &ucPending);
        if (eResult != BISS_OK)
            return eResult;
        if (ucPending != 0 && bTimedOut(ullStart, TIME_LIMIT_MS))
            return BISS_COMM_FAILED;
        if (iRestart == 1)
            iRestart = 2;
        if (ucPending != 0 || eInterface == INTERFACE_LPT3 || eInterface == INTERFACE_USB)
            bSeen = true;
        if (ucPending == 0 && !bSeen && iRestart == 0) {
            iRestart = 1;
            eResult = eWriteMaster(ucInstruction, ucStart, FULL_MASK);
            if (eResult != BISS_OK)
                return eResult;
        }
    } while (ucPending != 0 || iRestart == 1);
    return bSeen ? BISS_OK : BISS_COMM_FAILED;
}

BissEnum BissClass::eModBWaitEnd(uint8_t ucInstruction, bool bResetCount)
{
    const uint64_t ullStart = ullTickMs();
    for (;;) {
        bool bEot = false;
        BissEnum eResult = eReadEOT(&bEot);
        if (eResult != BISS_OK || bEot)
            return eResult;
        if (bTimedOut(ullStart, TIME_LIMIT_MS))
            break;
    }
    BissEnum eResult = eWriteMaster(ucInstruction, INSTRUCTION_STOP, FULL_MASK);
    if (eResult != BISS_OK)
        return eResult;
    if (bResetCount) {
        eResult = eWriteMaster(REG_COUNT, 0, FULL_MASK);
        if (eResult != BISS_OK)
            return eResult;
    }
    return BISS_COMM_FAILED;
}

BissEnum BissClass::eReadSlaveRegisterModB(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                           uint32_t *pulCount, uint8_t *pucData)
{
    if (!pulCount || !pucData)
        return BISS_INVALID_PARAMETER;
    const uint32_t ulAsked = *pulCount;
    if (ulAsked == 0 || ulAsked > SLAVE_DATA_WINDOW)
        return BISS_INVALID_PARAMETER;
    MasterVersionEnum eVersion;
    uint8_t ucId, ucRevision;
    vGetMasterVersion(&eVersion, &ucId, &ucRevision);
    const ModBRegisters reg = registersFor(eVersion);

    uint32_t n = ulAsked;
    BissEnum eResult = eModBPrepare(ulAsked, reg.ucInstruction);
    if (eResult != BISS_OK)
        return eResult;
    if ((eResult = eWriteMaster(REG_ADDRESS, ulAddress & 0x7F, FULL_MASK)) != BISS_OK)
        return eResult;
    if ((eResult = eModBAddress(ulSelector, ulSlaveId, ulAsked)) != BISS_OK)
        return eResult;
    if ((eResult = eModBRun(reg.ucInstruction, reg.ucStart)) != BISS_OK)
        return eResult;
    if ((eResult = eModBWaitEnd(reg.ucInstruction, true)) != BISS_OK)
        return eResult;

    uint8_t ucStatus = 0;
    if ((eResult = eReadMaster(reg.ucStatus, &ucStatus)) != BISS_OK)
        return eResult;
    bool bFailed = false;
    bool bDataValid;
    // After a broken-off transfer the master tells how many registers arrived; never more than asked.
    auto eTakeDone = [&](uint8_t ucDoneRegister, uint8_t ucMask) {
        uint8_t ucDone = 0;
        BissEnum e = eReadMaster(ucDoneRegister, &ucDone);
        if (e == BISS_OK) {
            n = std::min<uint32_t>(ucDone & ucMask, ulAsked);
            *pulCount = n;
        }
        return e;
    };
    if (eVersion == MASTER_VERSION_1) {
        if (!(ucStatus & 0x04)) {
            bFailed = true;
            if ((eResult = eTakeDone(REG_SELECTOR, 0x3F)) != BISS_OK)
                return eResult;
        }
        if (!(ucStatus & 0x02))
            bFailed = true;
        bDataValid = ucStatus & 0x02;
    } else {
        if (!(ucStatus & 0x40) && !(ucStatus & 0x08)) {
            bFailed = true;
            if ((eResult = eTakeDone(REG_DONE_V2, 0x1F)) != BISS_OK)
                return eResult;
        }
        if ((ucStatus & 0x40) && !(ucStatus & 0x08))
            bFailed = true;
        bDataValid = !(ucStatus & 0x40) || (ucStatus & 0x08);
    }
    if (bDataValid) {
        for (uint32_t i = 0; i < n; ++i) {
            if ((eResult = eReadMaster(static_cast<uint8_t>(reg.ucWindow + i), &pucData[i])) != BISS_OK)
                return eResult;
        }
    }
    if (*pulCount > 1 && (eResult = eWriteMaster(REG_COUNT, 0, FULL_MASK)) != BISS_OK)
        return eResult;
    return bFailed ? BISS_COMM_FAILED : BISS_OK;
}

BissEnum BissClass::eWriteSlaveRegisterModB(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                            uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask)
{
    if (!pulCount || !pucData)
        return BISS_INVALID_PARAMETER;
    const uint32_t ulAsked = *pulCount;
    if (ulAsked == 0 || ulAsked > SLAVE_DATA_WINDOW)
        return BISS_INVALID_PARAMETER;
    BissEnum eResult;
    if (ulAsked == 1 && ucMask != 0xFF) {
        // Only the masked bits change: the others come from the register as it is now.
        uint32_t ulOne = 1;
        uint8_t ucOld = 0;
        if ((eResult = eReadSlaveRegisterModB(ulSelector, ulSlaveId, ulAddress, &ulOne, &ucOld)) != BISS_OK)
            return eResult;
        pucData[0] = static_cast<uint8_t>((pucData[0] & ucMask) + (ucOld & (0xFF - ucMask)));
    }
    MasterVersionEnum eVersion;
    uint8_t ucId, ucRevision;
    vGetMasterVersion(&eVersion, &ucId, &ucRevision);
    const ModBRegisters reg = registersFor(eVersion);

    if ((eResult = eModBPrepare(ulAsked, reg.ucInstruction)) != BISS_OK)
        return eResult;
    if ((eResult = eWriteMaster(REG_ADDRESS, (ulAddress & 0x7F) | 0x80, FULL_MASK)) != BISS_OK)
        return eResult;
    if ((eResult = eModBAddress(ulSelector, ulSlaveId, ulAsked)) != BISS_OK)
        return eResult;
    for (uint32_t i = 0; i < ulAsked; ++i) {
        if ((eResult = eWriteMaster(reg.ucWindow + i, pucData[i], FULL_MASK)) != BISS_OK)
            return eResult;
    }
    if ((eResult = eModBRun(reg.ucInstruction, reg.ucStart)) != BISS_OK)
        return eResult;
    if ((eResult = eModBWaitEnd(reg.ucInstruction, ulAsked >= 2)) != BISS_OK)
        return eResult;

    uint8_t ucStatus = 0;
    if ((eResult = eReadMaster(reg.ucStatus, &ucStatus)) != BISS_OK)
        return eResult;
    auto eBrokenOff = [&](uint8_t ucDoneRegister) {
        uint8_t ucDone = 0;
        BissEnum e = eReadMaster(ucDoneRegister, &ucDone);
        if (e != BISS_OK)
            return e;
        *pulCount = std::min<uint32_t>(ucDone & 0x3F, ulAsked);
        return BISS_COMM_FAILED;
    };
    if (eVersion == MASTER_VERSION_1) {
        if (!(ucStatus & 0x04))
            return eBrokenOff(REG_SELECTOR);
        if (!(ucStatus & 0x02))
            return BISS_COMM_FAILED;
    } else {
        if (!(ucStatus & 0x40) && !(ucStatus & 0x08))
            return eBrokenOff(REG_DONE_V2);
        if ((ucStatus & 0x40) && !(ucStatus & 0x08))
            return BISS_COMM_FAILED;
    }
    if (ulAsked > 1)
        return eWriteMaster(REG_COUNT, 0, FULL_MASK);
    return BISS_OK;
}
