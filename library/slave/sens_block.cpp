// Blocks of position samples: many sensor cycles back to back, each as eReadSens runs it. On a batching
// transport as many cycles as one exchange carries travel together; the status polls of each are sized
// from the first cycle of the block, so that every cycle has ended before the next one's command.
#include <algorithm>
#include <vector>

#include "cycle_engine.h"

#include "adapter.h"
#include "platform/clock.h"
#include "tarnbus/BissClass.h"
#include "transfer_state.h"

using namespace tarnbus;

namespace {

constexpr uint32_t MAX_BLOCK_CYCLES = 65536;
constexpr unsigned CYCLE_READS = 4; // command, instruction, status, control channel

} // namespace

BissEnum BissClass::eReadSensBlock(uint32_t ulCycles, uint32_t *pulScd, uint32_t *pulMcd,
                                   uint8_t *pucMcdValid, uint32_t *pulDone)
{
    if (!pulScd || !pulMcd || !pucMcdValid || !pulDone || ulCycles == 0 || ulCycles > MAX_BLOCK_CYCLES)
        return BISS_INVALID_PARAMETER;
    *pulDone = 0;
    const uint32_t n = ulListSlaves();
    // One cycle's sample straight into its place in the caller's arrays.
    auto vStore = [&](const BissReadSensClass &record, uint32_t c) {
        bool bValid = false;
        vTakeSample(record, pulScd + size_t(c) * n, pulMcd + size_t(c) * n, &bValid);
        pucMcdValid[c] = bValid ? 1 : 0;
        *pulDone = c + 1;
    };

    // The first cycle runs as ReadSens runs it, and on a batching transport tells how long a cycle
    // takes on this line.
    bool bValid = false;
    BissEnum eResult = eReadSens(pulScd, pulMcd, &bValid);
    if (eResult != BISS_OK)
        return eResult;
    pucMcdValid[0] = bValid ? 1 : 0;
    *pulDone = 1;
    if (!bBatchedCycles() || ulReqCount != 0) {
        for (uint32_t c = 1; c < ulCycles; ++c) {
            if ((eResult = eReadSens(pulScd + size_t(c) * n, pulMcd + size_t(c) * n, &bValid)) != BISS_OK)
                return eResult;
            pucMcdValid[c] = bValid ? 1 : 0;
            *pulDone = c + 1;
        }
        return BISS_OK;
    }

    // The polls the first cycle needed, and half as many again for a margin.
    unsigned uiPolls = std::max(uiPollsFor(ulMcE6Low5), uiLastCycleAccesses + uiLastCycleAccesses / 2 + 1);
    BissReadSensClass record;
    for (uint32_t c = 1; c < ulCycles;) {
        const unsigned uiPerCycle = CYCLE_READS + uiPolls + static_cast<unsigned>(vecSensAddresses().size());
        const uint32_t ulBatch =
            std::min<uint32_t>(ulCycles - c, std::max(1u, pAdapter->uiAccessesPerExchange() / uiPerCycle));
        std::vector<CycleAnswers> vecAnswers(ulBatch);
        for (CycleAnswers &answers : vecAnswers)
            vQueueCycle(CMD_BIT_0, uiPolls, answers, CycleReads::Sample);
        pTransferState->ucLastCommand = CMD_BIT_0;
        const uint64_t ullStart = ullTickMs();
        if ((eResult = pAdapter->eFlush()) != BISS_OK) {
            pTransferState->bStopBeforeCycle = true;
            return eResult;
        }
        for (uint32_t j = 0; j < ulBatch; ++j, ++c) {
            CycleAnswers &answers = vecAnswers[j];
            if (!bCycleEnded(answers)) {
                // Slower than the first cycle of the block. Only the last cycle of a batch may be read
                // on: a later command has replaced this one's cycle, so it runs again with longer polls.
                unsigned uiWaited = 0;
                CycleAnswers &last = vecAnswers.back();
                if ((eResult = eAwaitCycleEnd(last, ullStart, &uiWaited)) != BISS_OK) {
                    pTransferState->bStopBeforeCycle = true;
                    return eResult;
                }
                uiPolls = std::min(2 * (uiPolls + uiWaited), pAdapter->uiAccessesPerExchange());
                if (&answers != &last)
                    break;
            }
            vJudgeCycle(answers, &record);
            if (record.ulError != 0) {
                pTransferState->bStopBeforeCycle = true;
                return BISS_COMM_FAILED;
            }
            vStore(record, c);
        }
    }
    lastCycle = record;
    return BISS_OK;
}
