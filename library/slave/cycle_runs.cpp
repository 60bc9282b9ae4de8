// Sensor cycle runs: a number of cycles (or of completed register frames) one after the other, the
// count of finished cycles, and one position sample per slave.
#include "tarnbus/BissClass.h"

#include <algorithm>

#include "control_frame.h"
#include "cycle_engine.h"
#include "platform/clock.h"
#include "transfer_state.h"

using tarnbus::bTimedOut;
using tarnbus::TIME_LIMIT_MS;
using tarnbus::ullTickMs;

namespace {
constexpr bool STOP_ON_TIMEOUT = false; // a cycle that runs late is left to end by itself
}

namespace {

bool bCycleInterface(InterfaceEnum eKind)
{
    return eKind >= INTERFACE_LPT1 && eKind <= INTERFACE_SY2D;
}

} // namespace

BissEnum BissClass::eStartBissTransfer(uint32_t ulCycles, uint32_t bCountRegisters)
{
    if (bMasterConfigFailed())
        return BISS_MASTERCOMM_FAILED;
    if (!bCycleInterface(eInterface))
        return BISS_INVALID_INTERFACE;
    TransferState &state = *pTransferState;
    vecCycles.clear();
    bLastCycleKept = false;
    state.ulCycleCount = 0;
    vecControlResults.clear();
    uint32_t k = 0; // registers begun

    // The register frames of a pending request ride on these cycles, one register after the other;
    // a register that is not the last goes on into the next one's frame.
    const uint8_t ucMode = bReqWrite ? tarnbus::FRAME_WRITE : tarnbus::FRAME_READ;
    auto vStartRegister = [&](uint32_t ulIndex) {
        state.ucMoreRegisters = ulIndex + 1 < ulReqCount ? 1 : 0;
        tarnbus::vStartFrame(state, ucMode, static_cast<uint8_t>(ulReqSlaveId),
                             static_cast<uint8_t>(ulReqAddress + ulIndex),
                             bReqWrite ? vecReqData.at(ulIndex) : 0, ulIndex > 0);
    };
    if (ulReqCount != 0) {
        k = 1;
        vStartRegister(0);
    }
    BissEnum eResult = eStopIfFailed();
    if (eResult != BISS_OK)
        return eResult;

    // What a read cycle means to the run: an error ends it; a finished register (or a flagged cycle
    // outside the request) counts and starts the next register's frame.
    uint64_t ullProgress = ullTickMs(); // when a register last finished
    auto eTake = [&](const BissReadSensClass &record, uint32_t *pi) {
        const bool bFrameRange = k > 0 && k <= ulReqCount;
        const bool bFinished = bFrameRange ? record.bFrameComplete != 0 : record.bStatusFlag != 0;
        if (record.ulError != 0) {
            state.bStopBeforeCycle = true;
            return BISS_COMM_FAILED;
        }
        if (bFinished) {
            ullProgress = ullTickMs();
            if (bCountRegisters)
                ++*pi;
            if (record.bFrameComplete)
                vecControlResults.push_back({record.ucRegisterData, 1, record.ucStatus});
            if (k < ulReqCount)
                vStartRegister(k);
            ++k;
        } else if (bCountRegisters && bTimedOut(ullProgress, TIME_LIMIT_MS)) {
            return BISS_TIMEOUT; // cycles go on, but no register completes
        }
        return BISS_OK;
    };

    if (bBatchedCycles()) {
        // Each cycle runs whole. Counting cycles, the last one is kept aside as the cycle that is
        // still to be read, as a stepped run leaves its last cycle.
        for (uint32_t i = 0; i < std::max<uint32_t>(ulCycles, bCountRegisters ? 0 : 1);) {
            BissReadSensClass record;
            if ((eResult = eBatchedCycle(ucNextCycleCommand(), &record, tarnbus::CycleReads::Record)) !=
                BISS_OK)
                return eResult;
            state.ulCycleState = 2;
            if (!bCountRegisters && i + 1 >= ulCycles) {
                lastCycle = record;
                bLastCycleKept = true;
                break;
            }
            ++state.ulCycleCount;
            vecCycles.push_back(record);
            if ((eResult = eTake(record, &i)) != BISS_OK)
                return eResult;
            if (!bCountRegisters)
                ++i;
        }
        return BISS_OK;
    }

    // A failed step ends the run: the cycle it should have started would otherwise be read again
    // as new. A master still busy with something else gets the time limit to come free.
    auto eStep = [this]() {
        bool bLate = false;
        const BissEnum eResult = eWaitFor(
            [this](PollEnum *pePoll) {
                const ReadSensEnum eStepResult = eStartBissTransferLpt();
                *pePoll = eStepResult == READSENS_NO_EOT ? POLL_WAITING : POLL_DONE;
                switch (eStepResult) {
                case READSENS_OK:
                case READSENS_NO_EOT:
                    return BISS_OK;
                case READSENS_TIMEOUT:
                    return BISS_TIMEOUT;
                default:
                    return BISS_MASTERCOMM_FAILED;
                }
            },
            ullTickMs(), &bLate, STOP_ON_TIMEOUT);
        return eResult == BISS_OK && bLate ? BISS_TIMEOUT : eResult;
    };
    // Waits for the cycle the last step started to end.
    auto eAwaitCycle = [this]() {
        bool bLate = false;
        const BissEnum eResult = eWaitFor(
            [this](PollEnum *pePoll) {
                bool bDone = false;
                const BissEnum eStatus = eReadStatusLpt(&bDone);
                *pePoll = bDone ? POLL_DONE : POLL_WAITING;
                return eStatus;
            },
            ullTickMs(), &bLate, STOP_ON_TIMEOUT);
        return eResult == BISS_OK && bLate ? BISS_TIMEOUT : eResult;
    };
    // A run that fails leaves the master to be stopped before the next cycle.
    auto eFailed = [&state](BissEnum eFailure) {
        state.bStopBeforeCycle = true;
        return eFailure;
    };

    if ((eResult = eStep()) != BISS_OK)
        return eFailed(eResult);
    for (uint32_t i = bCountRegisters ? 0 : 1; i < ulCycles;) {
        if ((eResult = eAwaitCycle()) != BISS_OK)
            return eFailed(eResult);
        ++state.ulCycleCount;
        vecCycles.emplace_back();
        BissReadSensClass &record = vecCycles.back();
        if ((eResult = eReadDataLpt(&record)) != BISS_OK)
            return eFailed(eResult);
        if ((eResult = eTake(record, &i)) != BISS_OK)
            return eFailed(eResult);
        if (i < ulCycles && (eResult = eStep()) != BISS_OK)
            return eFailed(eResult);
        if (!bCountRegisters)
            ++i;
    }
    return BISS_OK;
}

BissEnum BissClass::eReadStatus(uint32_t *pulCycleCount)
{
    if (!pulCycleCount)
        return BISS_INVALID_PARAMETER;
    *pulCycleCount = 0;
    if (!bCycleInterface(eInterface))
        return BISS_INVALID_INTERFACE;
    bool bDone = false;
    const BissEnum eResult = eReadStatusLpt(&bDone);
    if (eResult != BISS_OK)
        return eResult;
    if (bDone)
        *pulCycleCount = ++pTransferState->ulCycleCount;
    return BISS_OK;
}

void BissClass::vTakeSample(const BissReadSensClass &record, uint32_t *pulScd, uint32_t *pulMcd,
                            bool *pbMcdValid) const
{
    *pbMcdValid = false;
    const uint32_t ulSlaves = ulListSlaves();
    for (uint32_t s = 0; s < ulSlaves; ++s) {
        pulScd[s] = record.aScd[s].ulGetValueL();
        if (record.bStatusFlag && (record.ucMcdValidMask & (1u << s))) {
            pulMcd[s] = record.aMcd[s].ulGetValueL();
            *pbMcdValid = true;
        }
    }
}

BissEnum BissClass::eReadSens(uint32_t *pulScd, uint32_t *pulMcd, bool *pbMcdValid)
{
    if (!pulScd || !pulMcd || !pbMcdValid)
        return BISS_INVALID_PARAMETER;
    if (bMasterConfigFailed())
        return BISS_MASTERCOMM_FAILED;
    if (bCycleInterface(eInterface) && bBatchedCycles() && ulReqCount == 0)
        return eReadSensBatched(pulScd, pulMcd, pbMcdValid);
    BissEnum eResult = eStartBissTransfer(1, 0);
    if (eResult != BISS_OK)
        return eResult;
    BissReadSensClass record;
    {
        bool bLate = false;
        eResult = eWaitFor(
            [this](PollEnum *pePoll) {
                uint32_t ulCount = 0;
                const BissEnum eStatus = eReadStatus(&ulCount);
                *pePoll = ulCount >= 1 ? POLL_DONE : POLL_WAITING;
                return eStatus;
            },
            ullTickMs(), &bLate, STOP_ON_TIMEOUT);
        if (eResult == BISS_OK && bLate)
            eResult = BISS_TIMEOUT;
        if (eResult == BISS_OK)
            eResult = eReadDataLpt(&record);
        if (eResult != BISS_OK) {
            pTransferState->bStopBeforeCycle = true;
            return eResult;
        }
    }
    // A cycle that failed delivered no position: report it rather than a stale or empty value.
    if (record.ulError != 0) {
        pTransferState->bStopBeforeCycle = true;
        return BISS_COMM_FAILED;
    }
    vTakeSample(record, pulScd, pulMcd, pbMcdValid);
    return BISS_OK;
}

// The batched form of a sample: one cycle, queued whole. Its record is not kept for the result lists
// (it lacks the per-slave valid bits); a later eReadData reads the ended cycle from the master.
BissEnum BissClass::eReadSensBatched(uint32_t *pulScd, uint32_t *pulMcd, bool *pbMcdValid)
{
    TransferState &state = *pTransferState;
    vecCycles.clear();
    vecControlResults.clear();
    bLastCycleKept = false;
    state.ulCycleCount = 0;
    BissEnum eResult = eStopIfFailed();
    if (eResult != BISS_OK)
        return eResult;
    BissReadSensClass record;
    if ((eResult = eBatchedCycle(tarnbus::CMD_BIT_0, &record, tarnbus::CycleReads::Sample)) != BISS_OK)
        return eResult;
    state.ulCycleState = 2;
    lastCycle = record;
    if (record.ulError != 0) {
        state.bStopBeforeCycle = true;
        return BISS_COMM_FAILED;
    }
    vTakeSample(record, pulScd, pulMcd, pbMcdValid);
    return BISS_OK;
}
