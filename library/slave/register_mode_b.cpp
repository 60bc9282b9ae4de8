// Register mode B: the master chip runs the register transfer with the slave; the library loads the
// master's register-access registers, starts the transfer and checks how it ended.
#include "tarnbus/BissClass.h"

#include <algorithm>

#include "adapter.h"
#include "master_registers.h"
#include "platform/clock.h"
#include "platform/trace.h"

using namespace tarnbus;

namespace {

// A transfer the master reports as broken off or unanswered: one trace line with its status register.
void vTraceRefusedTransfer(MasterVersionEnum eVersion, uint8_t ucRegister, uint8_t ucStatus)
{
    const bool bOk = eVersion == MASTER_VERSION_1
                         ? (ucStatus & STATUS_V1_COMPLETE) && (ucStatus & STATUS_V1_DATA)
                         : (ucStatus & STATUS_V2_ACK) != 0;
    if (!bOk)
        tarnbus::vTrace("slave register transfer refused: master status register 0x%02X = 0x%02X", ucRegister,
                        ucStatus);
}

constexpr uint32_t FULL_MASK = 0xFFFFFFFF;
} // namespace

BissEnum BissClass::eModBPrepare(uint32_t ulCount)
{
    BissEnum eResult = eWriteMaster(REG_MODB_COUNT, (ulCount - 1) & 0x7F, FULL_MASK);
    if (eResult != BISS_OK)
        return eResult;
    bool bEot = false;
    eResult = eReadEOT(&bEot);
    if (eResult != BISS_OK || bEot)
        return eResult;
    // A transfer is still running: stop it and wait until the master is idle.
    if ((eResult = eStopMaster()) != BISS_OK)
        return eResult;
    bool bTimeout = false;
    eResult = eWaitEot(ullTickMs(), &bTimeout);
    return eResult == BISS_OK && bTimeout ? BISS_COMM_FAILED : eResult;
}

BissEnum BissClass::eModBAddress(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulCount)
{
    // The count is at most the data window here, so bits 2..0 always come from it.
    uint32_t ulSlaveBits = (ulSlaveId & 7) << 3;
    if (eMasterVersion == MASTER_VERSION_1)
        ulSlaveBits |= ulCount & 7;
    BissEnum eResult = eWriteMaster(REG_MODB_SLAVE, ulSlaveBits, FULL_MASK);
    if (eResult != BISS_OK || eMasterVersion != MASTER_VERSION_2)
        return eResult;
    return eWriteMaster(REG_MODB_SELECTOR, ulSelector, FULL_MASK);
}

BissEnum BissClass::eModBRun()
{
    const MasterRegisterMap &map = mapFor(eMasterVersion);
    BissEnum eResult = eWriteMaster(map.ucInstruction, map.ucTransfer, FULL_MASK);
    if (eResult != BISS_OK)
        return eResult;
    // The instruction stays in its register until the master takes it. A master that shows it cleared
    // before we ever saw it pending gets the instruction once more; a link too slow to catch it
    // pending counts a clear register as taken.
    int iRestart = 0;
    bool bSeen = false;
    bool bTimeout = false;
    eResult = eWaitFor(
        [&](PollEnum *pePoll) {
            uint8_t ucPending = 0;
            BissEnum e = eReadMaster(map.ucInstruction, &ucPending);
            if (e != BISS_OK)
                return e;
            if (iRestart == 1)
                iRestart = 2;
            if (ucPending != 0 || !pAdapter->bSeesPendingInstruction())
                bSeen = true;
            if (ucPending == 0 && !bSeen && iRestart == 0) {
                iRestart = 1;
                if ((e = eWriteMaster(map.ucInstruction, map.ucTransfer, FULL_MASK)) != BISS_OK)
                    return e;
            }
            // Only an instruction still pending runs into the time limit.
            *pePoll = ucPending != 0 ? POLL_WAITING : iRestart == 1 ? POLL_AGAIN : POLL_DONE;
            return BISS_OK;
        },
        ullTickMs(), &bTimeout, false);
    if (eResult != BISS_OK)
        return eResult;
    return bSeen && !bTimeout ? BISS_OK : BISS_COMM_FAILED;
}

BissEnum BissClass::eModBWaitEnd(bool bResetCount)
{
    bool bTimeout = false;
    BissEnum eResult = eWaitEot(ullTickMs(), &bTimeout, true);
    if (eResult != BISS_OK || !bTimeout)
        return eResult;
    if (bResetCount && (eResult = eWriteMaster(REG_MODB_COUNT, 0, FULL_MASK)) != BISS_OK)
        return eResult;
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
    const MasterRegisterMap &map = mapFor(eVersion);

    uint32_t n = ulAsked;
    BissEnum eResult = eModBPrepare(ulAsked);
    if (eResult != BISS_OK)
        return eResult;
    if ((eResult = eWriteMaster(REG_MODB_ADDRESS, ulAddress & 0x7F, FULL_MASK)) != BISS_OK)
        return eResult;
    if ((eResult = eModBAddress(ulSelector, ulSlaveId, ulAsked)) != BISS_OK)
        return eResult;
    if ((eResult = eModBRun()) != BISS_OK)
        return eResult;
    if ((eResult = eModBWaitEnd(true)) != BISS_OK)
        return eResult;

    uint8_t ucStatus = 0;
    if ((eResult = eReadMaster(map.ucStatus, &ucStatus)) != BISS_OK)
        return eResult;
    vTraceRefusedTransfer(eVersion, map.ucStatus, ucStatus);
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
        if (!(ucStatus & STATUS_V1_COMPLETE)) {
            bFailed = true;
            if ((eResult = eTakeDone(map.ucDoneCount, 0x3F)) != BISS_OK)
                return eResult;
        }
        if (!(ucStatus & STATUS_V1_DATA))
            bFailed = true;
        bDataValid = ucStatus & STATUS_V1_DATA;
    } else {
        if (!(ucStatus & STATUS_V2_NO_ANSWER) && !(ucStatus & STATUS_V2_ACK)) {
            bFailed = true;
            if ((eResult = eTakeDone(map.ucDoneCount, 0x1F)) != BISS_OK)
                return eResult;
        }
        if ((ucStatus & STATUS_V2_NO_ANSWER) && !(ucStatus & STATUS_V2_ACK))
            bFailed = true;
        bDataValid = !(ucStatus & STATUS_V2_NO_ANSWER) || (ucStatus & STATUS_V2_ACK);
    }
    if (bDataValid) {
        for (uint32_t i = 0; i < n; ++i) {
            if ((eResult = eReadMaster(static_cast<uint8_t>(map.ucWindow + i), &pucData[i])) != BISS_OK)
                return eResult;
        }
    }
    if (*pulCount > 1 && (eResult = eWriteMaster(REG_MODB_COUNT, 0, FULL_MASK)) != BISS_OK)
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
    const MasterRegisterMap &map = mapFor(eVersion);

    if ((eResult = eModBPrepare(ulAsked)) != BISS_OK)
        return eResult;
    if ((eResult = eWriteMaster(REG_MODB_ADDRESS, (ulAddress & 0x7F) | MODB_WRITE, FULL_MASK)) != BISS_OK)
        return eResult;
    if ((eResult = eModBAddress(ulSelector, ulSlaveId, ulAsked)) != BISS_OK)
        return eResult;
    for (uint32_t i = 0; i < ulAsked; ++i) {
        if ((eResult = eWriteMaster(map.ucWindow + i, pucData[i], FULL_MASK)) != BISS_OK)
            return eResult;
    }
    if ((eResult = eModBRun()) != BISS_OK)
        return eResult;
    if ((eResult = eModBWaitEnd(ulAsked >= 2)) != BISS_OK)
        return eResult;

    uint8_t ucStatus = 0;
    if ((eResult = eReadMaster(map.ucStatus, &ucStatus)) != BISS_OK)
        return eResult;
    vTraceRefusedTransfer(eVersion, map.ucStatus, ucStatus);
    auto eBrokenOff = [&](uint8_t ucDoneRegister) {
        uint8_t ucDone = 0;
        BissEnum e = eReadMaster(ucDoneRegister, &ucDone);
        if (e != BISS_OK)
            return e;
        *pulCount = std::min<uint32_t>(ucDone & 0x3F, ulAsked);
        return BISS_COMM_FAILED;
    };
    if (eVersion == MASTER_VERSION_1) {
        if (!(ucStatus & STATUS_V1_COMPLETE))
            return eBrokenOff(map.ucDoneCount);
        if (!(ucStatus & STATUS_V1_DATA))
            return BISS_COMM_FAILED;
    } else {
        if (!(ucStatus & STATUS_V2_NO_ANSWER) && !(ucStatus & STATUS_V2_ACK))
            return eBrokenOff(map.ucDoneCount);
        if ((ucStatus & STATUS_V2_NO_ANSWER) && !(ucStatus & STATUS_V2_ACK))
            return BISS_COMM_FAILED;
    }
    if (ulAsked > 1)
        return eWriteMaster(REG_MODB_COUNT, 0, FULL_MASK);
    return BISS_OK;
}
