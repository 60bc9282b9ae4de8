// One sensor cycle through the master's instruction register: the step that starts it, the status
// query that sees it end, and the evaluation that fills its record. Every access goes through the
// master register access, so these serve the parallel-port kinds and the USB adapter alike.
#include "tarnbus/BissClass.h"

#include "control_frame.h"
#include "cycle_engine.h"
#include "master_registers.h"
#include "platform/clock.h"
#include "transfer_state.h"

using namespace tarnbus;

namespace {

constexpr uint32_t FULL_MASK = 0xFFFFFFFF;

// Cycle start modes (MC_LPT_MODE).
constexpr uint32_t MODE_AUTO = 1;
constexpr uint32_t MODE_STOP = 2;

} // namespace

ReadSensEnum BissClass::eStartBissTransferLpt()
{
    MasterVersionEnum eVersion = MASTER_VERSION_UNKNOWN;
    vGetMasterVersion(&eVersion, nullptr, nullptr);
    const bool bVersion1 = eVersion == MASTER_VERSION_1;
    TransferState &state = *pTransferState;
    const uint32_t m = ulMcLptMode;
    uint8_t c = 0;

    if (m != MODE_AUTO && m != MODE_STOP)
        state.bAutoCycles = false;
    if (state.bAutoCycles && m != MODE_STOP)
        return READSENS_OK; // the master runs its cycles by itself

    bool bEot = false;
    if (eReadEOT(&bEot) != BISS_OK)
        return READSENS_MASTER_FAILED;
    if (!bEot && m != MODE_STOP)
        return READSENS_NO_EOT;

    if (bVersion1) {
        bool bTimedOut = false;
        const BissEnum eResult = eWaitFor(
            [this](PollEnum *pePoll) {
                uint8_t ucReady = 0;
                const BissEnum eRead = eReadMaster(REG_READY_V1, &ucReady);
                *pePoll = (ucReady & READY_V1) ? POLL_DONE : POLL_WAITING;
                return eRead;
            },
            ullTickMs(), &bTimedOut, false);
        if (eResult != BISS_OK)
            return READSENS_MASTER_FAILED;
        if (bTimedOut)
            return READSENS_TIMEOUT;
    }

    if (state.ucFrameMode == 0) {
        // No frame: an idle cycle, or the answer to the slave's request on its control channel once
        // the channel is ready.
        if (bVersion1) {
            c = state.bCdsRequest ? COMMAND_V1_CDS : 0;
        } else {
            c = CMD_BIT_0;
            if (state.bCdsRequest) {
                uint8_t ucCds = 0;
                if (eReadMaster(REG_CDS, &ucCds) != BISS_OK)
                    return READSENS_MASTER_FAILED;
                if (ucCds & CDS_READY) {
                    c = CMD_BIT_1;
                    state.bCdsRequest = false;
                }
            }
        }
    } else {
        // A register control frame is in progress: its machine gives the command for the bit of step
        // ucFrameStep and advances the step. Its first bit waits until the slave's control channel is
        // ready; until then the cycle carries a 0 and the frame stays at its start.
        bool bHold = false;
        if (state.ucFrameStep == 0) {
            uint8_t ucCds = 0;
            if (eReadMaster(REG_CDS, &ucCds) != BISS_OK)
                return READSENS_MASTER_FAILED;
            bHold = !(ucCds & CDS_READY);
        }
        if (bHold) {
            c = CMD_BIT_0;
        } else {
            // The 0 at the slave's start-bit slot: marked as such where the master can tell (revision
            // not 0), a plain 0 when the CDS checks are off in a write.
            uint8_t ucStep19Zero;
            if (state.ucFrameMode == FRAME_WRITE)
                ucStep19Zero = !abMcData1FlagA[0] && ucMasterRevision != 0 ? CMD_START_BIT_0 : CMD_BIT_0;
            else
                ucStep19Zero = ucMasterRevision != 0 ? CMD_START_BIT_0 : CMD_BIT_1;
            c = ucFrameCommand(state, ucStep19Zero);
        }
    }

    const uint8_t ucInstruction = mapFor(eVersion).ucInstruction;
    if (m == MODE_STOP) {
        state.bAutoCycles = false;
        return eWriteMaster(ucInstruction, 0, FULL_MASK) == BISS_OK ? READSENS_OK : READSENS_MASTER_FAILED;
    }
    uint8_t ucWrite = 0;
    if (bVersion1)
        ucWrite = static_cast<uint8_t>(c | (m == MODE_AUTO ? COMMAND_V1_AUTO : COMMAND_V1_SINGLE));
    else
        ucWrite = m == MODE_AUTO ? INSTRUCTION_AUTO : c;
    if (eWriteMaster(ucInstruction, ucWrite, FULL_MASK) != BISS_OK)
        return READSENS_MASTER_FAILED;
    state.ulCycleState = 1;
    state.ucLastCommand = c;
    if (m == MODE_AUTO)
        state.bAutoCycles = true;
    return READSENS_OK;
}

BissEnum BissClass::eReadStatusLpt(bool *pbDone)
{
    if (!pbDone)
        return BISS_INVALID_PARAMETER;
    *pbDone = false;
    vGetMasterVersion(nullptr, nullptr, nullptr);
    TransferState &state = *pTransferState;
    if (state.bAutoCycles || state.ulCycleState == 0)
        return BISS_OK;
    BissEnum eResult = BISS_OK;
    if (state.ulCycleState == 1) {
        uint8_t ucPending = 0;
        if ((eResult = eReadMaster(mapFor(eMasterVersion).ucInstruction, &ucPending)) != BISS_OK)
            return eResult;
        if (ucPending != 0)
            return BISS_OK; // the master has not taken the command yet
        state.ulCycleState = 2;
    }
    uint8_t ucStatus = 0;
    if ((eResult = eReadMaster(mapFor(eMasterVersion).ucStatus, &ucStatus)) != BISS_OK)
        return eResult;
    if (!abMcData1FlagA[0] && (ucStatus & CYCLE_SECOND_WORDS) && state.ucLastCommand != CMD_BIT_1)
        state.bCdsRequest = true;
    if (ucStatus & EOT_BIT)
        *pbDone = true;
    return BISS_OK;
}

BissEnum BissClass::eReadDataLpt(BissReadSensClass *pRecord)
{
    if (!pRecord)
        return BISS_INVALID_PARAMETER;
    vClearSensData(pRecord);
    vGetMasterVersion(nullptr, nullptr, nullptr);
    const bool bVersion1 = eMasterVersion == MASTER_VERSION_1;
    TransferState &state = *pTransferState;
    BissEnum eResult = BISS_OK;

    uint8_t ucStatus = 0;
    if ((eResult = eReadMaster(mapFor(eMasterVersion).ucStatus, &ucStatus)) != BISS_OK)
        return eResult;
    pRecord->ucStatus = ucStatus;
    if (!(ucStatus & (bVersion1 ? CYCLE_VALID_V1 : CYCLE_VALID))) {
        pRecord->ulError = CYCLE_NOT_VALID;
        return BISS_OK;
    }

    // n is one past the frame step whose bit the cycle just carried.
    const uint8_t n = state.ucFrameStep;
    if (n >= 2 && n <= 17) {
        uint8_t ucIgnored = 0;
        if ((eResult = eReadMaster(REG_CDS, &ucIgnored)) != BISS_OK)
            return eResult;
    }
    bool bCds = false, bCheck = false;
    if (n >= 18 && n <= 32 && state.ucFrameMode != 0 && !abMcData1FlagA[0]) {
        // The slave's answer bit of a control frame: sampled here and judged by the frame machine
        // (acknowledge, start bit with its retries, data and CRC bits).
        const bool bRead = state.ucFrameMode == 1;
        const bool bDirect = ucMasterRevision == 1 ||
                             (bRead && (n == 18 || n == 21) && (ucStatus & CYCLE_SECOND_WORDS)) ||
                             (!bRead && (n == 18 || (n == 20 && state.ucLastCommand == CMD_BIT_0)));
        uint8_t ucCds = 0;
        if (bDirect) {
            eResult = eReadMaster(REG_CDS, &ucCds);
        } else if ((eResult = eWriteMaster(REG_CYCLE_INSTRUCTION, INSTRUCTION_SAMPLE_CDS, FULL_MASK)) ==
                       BISS_OK &&
                   (eResult = eReadMaster(REG_CDS, &ucCds)) == BISS_OK) {
            eResult = eWriteMaster(REG_CYCLE_INSTRUCTION, 0, FULL_MASK);
        }
        if (eResult != BISS_OK)
            return eResult;
        bCds = (ucCds & CDS_HIGH) != 0;
        bCheck = true;
    }
    // The frame machine takes the answer; a frame ends here with its register or with an error.
    if (state.ucFrameMode != FRAME_IDLE) {
        FrameOutcome outcome;
        vEvaluateFrameCycle(state, bCds, bCheck, &outcome);
        if (outcome.ulError != 0) {
            pRecord->ulError = outcome.ulError;
            pRecord->ucFailStep = outcome.ucFailStep;
            return BISS_OK;
        }
        if (outcome.bComplete) {
            pRecord->bFrameComplete = 1;
            pRecord->ucRegisterData = outcome.ucRegisterData;
        }
    }

    uint8_t st = 0;
    if ((eResult = eReadMaster(REG_CYCLE_STATUS, &st)) != BISS_OK)
        return eResult;
    if (!(st & CYCLE_VALID)) {
        pRecord->ulError = CYCLE_NOT_VALID;
        return BISS_OK;
    }
    if (ulMcLptMode == MODE_AUTO)
        state.bAutoCycles = true;
    uint8_t ucLow = 0, ucHigh = 0;
    if ((eResult = eReadMaster(REG_SLAVE_VALID_LOW, &ucLow)) != BISS_OK ||
        (eResult = eReadMaster(REG_SLAVE_VALID_HIGH, &ucHigh)) != BISS_OK)
        return eResult;
    const uint8_t ucMask = ucSlaveValidMask(ucLow, ucHigh);
    if (!bTakeCycleStatus(st, ucMask, pRecord))
        return BISS_OK;

    // While the master runs cycles by itself it holds its data memory during the read.
    if (state.bAutoCycles &&
        (eResult = eWriteMaster(REG_CYCLE_INSTRUCTION, INSTRUCTION_HOLD, FULL_MASK)) != BISS_OK)
        return eResult;
    if ((eResult = eExtractSensData(pRecord, nullptr)) != BISS_OK)
        return eResult;
    if (state.bAutoCycles)
        return eWriteMaster(REG_CYCLE_INSTRUCTION, INSTRUCTION_AUTO, FULL_MASK);
    return BISS_OK;
}
