// The sensor-cycle engine. Every cycle run by eStartBissTransfer, eReadSens, eReadSensBlock and the
// register frames of register mode C goes through here. On a transport that batches (the USB adapter)
// a cycle is queued whole: its command, the status polls and every read the evaluation needs travel in
// one exchange. Whether the cycle had ended before its reads is judged from the answers; a cycle that
// had not (a slow line, a long cycle) is polled on and read again, up to the library's time limit. On
// the other transports the cycle is stepped through the master's instruction register (cycle_steps.cpp).
#include "cycle_engine.h"

#include "adapter.h"

#include <algorithm>

#include "control_frame.h"
#include "platform/clock.h"
#include "tarnbus/BissClass.h"
#include "transfer_state.h"

using namespace tarnbus;

namespace tarnbus {

uint8_t ucSlaveValidMask(uint8_t ucLow, uint8_t ucHigh)
{
    uint8_t ucMask = 0;
    for (unsigned i = 0; i < 4; ++i) {
        ucMask |= static_cast<uint8_t>(((ucLow >> (2 * i)) & 1) << i);
        ucMask |= static_cast<uint8_t>(((ucHigh >> (2 * i)) & 1) << (i + 4));
    }
    return ucMask;
}

bool bTakeCycleStatus(uint8_t ucStatus, uint8_t ucSlaveMask, BissReadSensClass *pRecord)
{
    if (ucStatus & CYCLE_FIRST_VALID) {
        pRecord->ucValidMask = 0xFF;
    } else {
        pRecord->ucValidMask = ucSlaveMask;
        pRecord->ulError = CYCLE_SLAVE_INVALID;
    }
    pRecord->ucMcdValidMask = (ucStatus & CYCLE_SECOND_VALID) ? 0xFF : ucSlaveMask;
    if ((ucStatus & CYCLE_SECOND_WORDS) && !(ucStatus & CYCLE_SECOND_VALID)) {
        pRecord->ulError = CYCLE_NO_SECOND_DATA;
        return false;
    }
    pRecord->bStatusFlag = (ucStatus & CYCLE_SECOND_WORDS) ? 1 : 0;
    return true;
}

unsigned uiPollsFor(uint32_t ulE6Low5)
{
    return (ulE6Low5 & 0x10 ? 20u : 2u) * (ulE6Low5 & 0x0F);
}

} // namespace tarnbus

namespace {

// Status polls per exchange while a slow cycle is waited for.
constexpr unsigned SLOW_POLLS = 32;

} // namespace

bool BissClass::bBatchedCycles() const
{
    // Automatic cycles and a version-1 master are driven by the stepped form.
    return pAdapter->bBatches() && ulMcLptMode == 0 && eMasterVersion != MASTER_VERSION_1;
}

std::vector<uint8_t> BissClass::vecSensAddresses()
{
    // The data-memory bytes that the configured words occupy: those an extraction reads.
    BissReadSensClass probe;
    probe.ucValidMask = 0xFF;
    std::array<uint8_t, DATA_MEMORY_SIZE> aucImage{};
    std::vector<uint8_t> vecAddresses;
    pvecSensAddresses = &vecAddresses;
    eExtractSensData(&probe, aucImage.data());
    pvecSensAddresses = nullptr;
    return vecAddresses;
}

void BissClass::vQueueCycleReads(CycleAnswers &answers, CycleReads eReads)
{
    const bool bData = eReads != CycleReads::Status;
    pAdapter->vQueueRead(REG_CYCLE_INSTRUCTION, &answers.ucPending);
    pAdapter->vQueueRead(REG_CYCLE_STATUS, &answers.ucStatus);
    pAdapter->vQueueRead(REG_CDS, &answers.ucCds);
    // The per-slave valid bits only tell which slave failed; a sample fails whatever they say.
    answers.eReads = eReads;
    if (eReads == CycleReads::Record) {
        pAdapter->vQueueRead(REG_SLAVE_VALID_LOW, &answers.ucValidLow);
        pAdapter->vQueueRead(REG_SLAVE_VALID_HIGH, &answers.ucValidHigh);
    }
    if (!bData)
        return;
    for (uint8_t ucAddress : vecSensAddresses())
        pAdapter->vQueueRead(ucAddress, &answers.aucImage[ucAddress]);
}

void BissClass::vQueueCycle(uint8_t ucCommand, unsigned uiPolls, CycleAnswers &answers, CycleReads eReads)
{
    pAdapter->vQueueWrite(REG_CYCLE_INSTRUCTION, ucCommand);
    answers.vecPolls.assign(uiPolls, 0);
    for (uint8_t &ucPoll : answers.vecPolls)
        pAdapter->vQueueRead(REG_CYCLE_STATUS, &ucPoll);
    vQueueCycleReads(answers, eReads);
}

BissEnum BissClass::eAwaitCycleEnd(CycleAnswers &answers, uint64_t ullStart, unsigned *puiWaited)
{
    // The cycle had not ended when its status was read (or the master had not taken its command yet):
    // poll on and read everything again until it has, so that nothing of the cycle before is taken
    // for this one.
    answers.vecPolls.assign(SLOW_POLLS, 0);
    while (!bCycleEnded(answers)) {
        if (bTimedOut(ullStart, TIME_LIMIT_MS))
            return BISS_TIMEOUT;
        for (uint8_t &ucPoll : answers.vecPolls)
            pAdapter->vQueueRead(REG_CYCLE_STATUS, &ucPoll);
        vQueueCycleReads(answers, answers.eReads);
        const BissEnum eResult = pAdapter->eFlush();
        if (eResult != BISS_OK)
            return eResult;
        *puiWaited += SLOW_POLLS + 1;
    }
    return BISS_OK;
}

bool BissClass::bCycleEnded(const CycleAnswers &answers)
{
    return answers.ucPending == 0 && (answers.ucStatus & EOT_BIT);
}

void BissClass::vJudgeCycle(const CycleAnswers &answers, BissReadSensClass *pRecord)
{
    TransferState &state = *pTransferState;
    *pRecord = BissReadSensClass();
    if (answers.ucPending != 0) {
        pRecord->ulError = CYCLE_NOT_TAKEN;
        return;
    }
    pRecord->ucStatus = answers.ucStatus;
    state.ucLastCds = answers.ucCds;
    if (!abMcData1FlagA[0] && (answers.ucStatus & CYCLE_SECOND_WORDS) && state.ucLastCommand != CMD_BIT_1)
        state.bCdsRequest = true;

    FrameOutcome outcome;
    vEvaluateFrameCycle(state, (answers.ucCds & CDS_HIGH) != 0, !abMcData1FlagA[0], &outcome);
    pRecord->bFrameComplete = outcome.bComplete ? 1 : 0;
    pRecord->ucRegisterData = outcome.ucRegisterData;
    pRecord->ucFailStep = outcome.ucFailStep;
    if (outcome.ulError != 0) {
        pRecord->ulError = outcome.ulError;
        return;
    }
    if (!(answers.ucStatus & CYCLE_VALID)) {
        pRecord->ulError = CYCLE_NOT_VALID;
        return;
    }
    if (!bTakeCycleStatus(answers.ucStatus, ucSlaveValidMask(answers.ucValidLow, answers.ucValidHigh),
                          pRecord))
        return;
    if (answers.eReads == CycleReads::Status)
        return; // a frame's cycle: its sensor data are not wanted
    const uint32_t ulError = pRecord->ulError;
    eExtractSensData(pRecord, answers.aucImage.data());
    if (pRecord->ulError == 0)
        pRecord->ulError = ulError;
}

uint8_t BissClass::ucNextCycleCommand()
{
    TransferState &state = *pTransferState;
    if (state.ucFrameMode == FRAME_IDLE)
        return CMD_BIT_0;
    // A frame's first bit waits until the slave's control channel is ready, as the last cycle saw it;
    // until then the cycle carries a 0 and the frame stays at its start.
    if (state.ucFrameStep == 0 && !(state.ucLastCds & CDS_READY))
        return CMD_BIT_0;
    return ucFrameCommand(state, CMD_START_BIT_0);
}

BissEnum BissClass::eStopIfFailed()
{
    TransferState &state = *pTransferState;
    if (!state.bStopBeforeCycle)
        return BISS_OK;
    // A cycle that failed or ran late may still be running, or the master may hold a half-taken
    // instruction: the next cycle starts from a stopped master instead of waiting for one. The master
    // drops the stop from its instruction register once it has taken it.
    BissEnum eResult = eStopMaster();
    if (eResult != BISS_OK)
        return eResult;
    bool bLate = false;
    const uint8_t ucInstruction = mapFor(eMasterVersion).ucInstruction;
    eResult = eWaitFor(
        [this, ucInstruction](PollEnum *pePoll) {
            uint8_t ucPending = 0;
            const BissEnum eRead = eReadMaster(ucInstruction, &ucPending);
            *pePoll = ucPending == 0 ? POLL_DONE : POLL_WAITING;
            return eRead;
        },
        ullTickMs(), &bLate, false);
    if (eResult == BISS_OK && bLate)
        eResult = BISS_TIMEOUT;
    if (eResult == BISS_OK)
        state.bStopBeforeCycle = false;
    return eResult;
}

BissEnum BissClass::eBatchedCycle(uint8_t ucCommand, BissReadSensClass *pRecord, CycleReads eReads)
{
    pTransferState->ucLastCommand = ucCommand;
    CycleAnswers answers;
    vQueueCycle(ucCommand, uiPollsFor(ulMcE6Low5), answers, eReads);
    const uint64_t ullStart = ullTickMs();
    BissEnum eResult = pAdapter->eFlush();
    // How many accesses after its command the cycle was seen ended: a block sizes its polls by it.
    const auto it = std::find_if(answers.vecPolls.begin(), answers.vecPolls.end(),
                                 [](uint8_t uc) { return uc & EOT_BIT; });
    uiLastCycleAccesses =
        static_cast<unsigned>(it - answers.vecPolls.begin()) + (it == answers.vecPolls.end() ? 2 : 1);
    if (eResult == BISS_OK && !bCycleEnded(answers))
        eResult = eAwaitCycleEnd(answers, ullStart, &uiLastCycleAccesses);
    if (eResult != BISS_OK) {
        *pRecord = BissReadSensClass();
        if (eResult != BISS_TIMEOUT)
            pRecord->ulError = CYCLE_TRANSPORT_FAILED;
        else if (answers.ucPending != 0)
            pRecord->ulError = CYCLE_NOT_TAKEN;
        pTransferState->bStopBeforeCycle = true;
        return eResult;
    }
    vJudgeCycle(answers, pRecord);
    return BISS_OK;
}
