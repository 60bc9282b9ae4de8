// Register mode C on a batching transport. The control bits of a frame that do not depend on the
// slave's answer travel together: a stretch of cycles runs up to the bit whose answer decides what comes
// next (the slave's start bit at step 19) or to the frame's end, and is then judged cycle by cycle. A
// frame that fails leaves the slave's control channel idle; a write broken off in its data phase is
// first finished with bits whose CRC cannot match, so that the slave never commits a byte nobody wrote.
#include <algorithm>
#include <string>
#include <vector>

#include "control_frame.h"
#include "cycle_engine.h"

#include "adapter.h"
#include "platform/clock.h"
#include "tarnbus/BissClass.h"
#include "transfer_state.h"

using namespace tarnbus;

namespace {

constexpr unsigned IDLE_CYCLES_AFTER_ERROR = 14; // the slave's control channel falls idle
constexpr uint8_t STEP_START_BIT = 19;           // its answer is the slave's start bit
constexpr uint8_t STEP_LAST_DATA_BIT = 26;       // a write's CRC goes out only after the data echoes
constexpr uint8_t STEP_CHAINED_READ_END = 31;    // a chained read goes on after its CRC check

// Whether the bits after this step depend on the slave's answer so far: its start bit; in a write, the
// echoes of the data bits, checked before the CRC that would let the slave commit the byte; in a
// chained read, the CRC check that ends the register.
bool bStretchEndsAt(const TransferState &state, uint8_t ucStep)
{
    if (ucStep == STEP_START_BIT)
        return true;
    if (state.ucFrameMode == FRAME_WRITE)
        return ucStep == STEP_LAST_DATA_BIT;
    return state.ucMoreRegisters && ucStep == STEP_CHAINED_READ_END;
}
constexpr unsigned WORD_BITS = 12; // the data byte and its CRC-4

} // namespace

BissEnum BissClass::eModCAbort()
{
    vAbandonFrame(*pTransferState);
    eWriteMaster(REG_CYCLE_INSTRUCTION, INSTRUCTION_STOP, 0xFFFFFFFF);
    return BISS_TIMEOUT;
}

BissEnum BissClass::eModCReadyWait()
{
    TransferState &state = *pTransferState;
    uint8_t ucCds = 0;
    if (eReadMaster(REG_CDS, &ucCds) != BISS_OK)
        return BISS_MASTERCOMM_FAILED;
    state.ucLastCds = ucCds;
    const uint64_t ullStart = ullTickMs();
    while (!(state.ucLastCds & CDS_READY)) {
        if (bTimedOut(ullStart, TIME_LIMIT_MS))
            return BISS_TIMEOUT;
        // An idle cycle; it reads the control channel again after itself.
        BissReadSensClass record;
        const BissEnum eResult = eBatchedCycle(CMD_BIT_0, &record, CycleReads::Status);
        if (eResult != BISS_OK)
            return eResult == BISS_TIMEOUT ? BISS_TIMEOUT : BISS_MASTERCOMM_FAILED;
        if (record.ulError == CYCLE_NOT_TAKEN)
            return eModCAbort();
    }
    return BISS_OK;
}

BissEnum BissClass::eModCIdleCycles(const std::vector<bool> &vecBits)
{
    const unsigned uiPolls = std::max(uiPollsFor(ulMcE6Low5), uiFramePolls);
    std::vector<CycleAnswers> vecAnswers(vecBits.size() + IDLE_CYCLES_AFTER_ERROR);
    for (size_t i = 0; i < vecAnswers.size(); ++i)
        vQueueCycle(i < vecBits.size() && vecBits[i] ? CMD_BIT_1 : CMD_BIT_0, uiPolls, vecAnswers[i],
                    CycleReads::Status);
    pTransferState->ucLastCommand = CMD_BIT_0;
    return pAdapter->eFlush();
}

BissEnum BissClass::eModCFrameFailed(uint32_t ulError, BissEnum eResult, const BrokenWrite &broken)
{
    if (ulError == CYCLE_NOT_TAKEN)
        return eModCAbort();
    vAbandonFrame(*pTransferState);
    // The idle cycles (and the bits that spoil a broken-off byte) go out whatever the failure was; a
    // transport that failed may fail them too.
    std::vector<bool> vecBits;
    if (broken.bWrite)
        vecBits = vecFinishingBits(broken.ucData, broken.iFirstSent, broken.iLastSent);
    eModCIdleCycles(vecBits);
    if (eResult != BISS_OK)
        return eResult == BISS_TIMEOUT ? BISS_TIMEOUT : BISS_MASTERCOMM_FAILED;
    switch (ulError) {
    case CYCLE_NO_ACK:
    case CYCLE_NO_START_BIT:
    case CYCLE_CRC_FAILED:
        return BISS_REGERROR;
    case CYCLE_TRANSPORT_FAILED:
        return BISS_MASTERCOMM_FAILED;
    default:
        return BISS_COMM_FAILED;
    }
}

BissEnum BissClass::eModCRegisterFrame(uint8_t ucMode, uint8_t ucSlaveId, uint8_t ucAddress, uint8_t ucData,
                                       bool bNextRegister, bool bChained, BissReadSensClass *pRecord,
                                       BrokenWrite *pBroken)
{
    TransferState &state = *pTransferState;
    vStartFrame(state, ucMode, ucSlaveId, ucAddress, ucData, bNextRegister);
    state.ucMoreRegisters = bChained ? 1 : 0;
    *pBroken = BrokenWrite{ucMode == FRAME_WRITE, ucData, -1, -1};
    while (state.ucFrameMode != FRAME_IDLE) {
        // Until the line's pace is known (uiFramePolls 0) a stretch is one cycle, whose polls show how
        // long a cycle takes: the stretches after it poll that long and half again, so that no cycle is
        // cut short by the next one's command.
        const unsigned uiPolls = std::max(uiPollsFor(ulMcE6Low5), uiFramePolls);
        const size_t uiStretchMax =
            uiFramePolls == 0 ? 1 : std::max(1u, pAdapter->uiAccessesPerExchange() / (4 + uiPolls));
        // The stretch: the frame's commands as far as none depends on an answer still to come.
        TransferState probe = state;
        std::vector<uint8_t> vecCommands;
        const int iFirstStep = probe.ucFrameStep;
        for (;;) {
            const uint8_t ucStep = probe.ucFrameStep;
            vecCommands.push_back(ucFrameCommand(probe, CMD_START_BIT_0));
            if (probe.bFrameDone || bStretchEndsAt(probe, ucStep) || vecCommands.size() >= uiStretchMax)
                break;
        }
        const int iLastStep = probe.ucFrameStep - 1;
        std::vector<CycleAnswers> vecAnswers(vecCommands.size());
        for (size_t i = 0; i < vecCommands.size(); ++i)
            vQueueCycle(vecCommands[i], uiPolls, vecAnswers[i], CycleReads::Status);
        const uint64_t ullStart = ullTickMs();
        BissEnum eResult = pAdapter->eFlush();
        if (eResult != BISS_OK) {
            // Any part of the stretch may have reached the line.
            pBroken->iFirstSent = iFirstStep - 1;
            pBroken->iLastSent = iLastStep;
            *pRecord = BissReadSensClass();
            pRecord->ulError = CYCLE_TRANSPORT_FAILED;
            return eResult;
        }
        pBroken->iFirstSent = iLastStep - 1; // the last bit may or may not have reached the slave
        pBroken->iLastSent = iLastStep;
        for (size_t i = 0; i < vecAnswers.size(); ++i) {
            CycleAnswers &answers = vecAnswers[i];
            state.ucLastCommand = ucFrameCommand(state, CMD_START_BIT_0); // the command queued for it
            unsigned uiWaited = 0;
            if (!bCycleEnded(answers)) {
                // Only the stretch's last cycle can be waited for: a later command has cut this one
                // short, and the frame's bits are no longer what the slave got.
                if (i + 1 < vecAnswers.size()) {
                    *pRecord = BissReadSensClass();
                    pRecord->ulError = CYCLE_NOT_VALID;
                    return BISS_OK;
                }
                if ((eResult = eAwaitCycleEnd(answers, ullStart, &uiWaited)) != BISS_OK) {
                    *pRecord = BissReadSensClass();
                    pRecord->ulError = CYCLE_TRANSPORT_FAILED;
                    return eResult;
                }
            }
            if (uiFramePolls == 0) {
                const auto itEnd = std::find_if(answers.vecPolls.begin(), answers.vecPolls.end(),
                                                [](uint8_t uc) { return uc & EOT_BIT; });
                const unsigned uiNeeded =
                    uiWaited + static_cast<unsigned>(itEnd - answers.vecPolls.begin()) + 1;
                uiFramePolls = std::max(uiPollsFor(ulMcE6Low5), uiNeeded + uiNeeded / 2 + 1);
            }
            vJudgeCycle(answers, pRecord);
            if (ucMode == FRAME_READ && pRecord->ulError == CYCLE_NO_SECOND_DATA)
                pRecord->ulError = 0; // a read takes its byte from the control channel alone
            if (pRecord->ulError != 0 || pRecord->bFrameComplete || state.ucFrameMode == FRAME_IDLE)
                return BISS_OK;
        }
    }
    return BISS_OK;
}

BissEnum BissClass::eModCBatched(uint32_t ulSlaveId, uint32_t ulAddress, uint32_t *pulCount, uint8_t *pucData,
                                 bool bWrite)
{
    const uint32_t ulCount = *pulCount;
    uiFramePolls = 0;
    BissEnum eResult = eStopIfFailed();
    if (eResult == BISS_OK)
        eResult = eModCReadyWait();
    if (eResult != BISS_OK) {
        vAbandonFrame(*pTransferState);
        if (bWrite)
            *pulCount = 0;
        return eResult;
    }
    std::vector<uint8_t> vecRead(ulCount);
    for (uint32_t i = 0; i < ulCount; ++i) {
        BissReadSensClass record;
        BrokenWrite broken;
        eResult = eModCRegisterFrame(bWrite ? FRAME_WRITE : FRAME_READ, static_cast<uint8_t>(ulSlaveId),
                                     static_cast<uint8_t>(ulAddress + i), bWrite ? pucData[i] : 0, i > 0,
                                     i + 1 < ulCount, &record, &broken);
        if (eResult == BISS_OK && record.ulError == 0) {
            vecRead[i] = record.ucRegisterData;
            continue;
        }
        if (bWrite)
            *pulCount = i;
        return eModCFrameFailed(record.ulError, eResult, broken);
    }
    if (!bWrite)
        std::copy(vecRead.begin(), vecRead.end(), pucData);
    return BISS_OK;
}
