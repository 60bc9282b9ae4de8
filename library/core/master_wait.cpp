// Waiting on the master: every loop of the library that polls the master until something happens or
// the time limit runs out goes through eWaitFor. The waits poll without sleeping.
#include "tarnbus/BissClass.h"

#include "master_registers.h"
#include "platform/clock.h"
#include "platform/trace.h"

BissEnum BissClass::eWaitFor(const PollFunction &fnPoll, uint64_t ullStart, bool *pbTimedOut,
                             bool bStopOnTimeout)
{
    *pbTimedOut = false;
    for (;;) {
        PollEnum ePoll = POLL_WAITING;
        BissEnum eResult = fnPoll(&ePoll);
        if (eResult != BISS_OK || ePoll == POLL_DONE)
            return eResult;
        if (ePoll == POLL_WAITING && tarnbus::bTimedOut(ullStart, tarnbus::TIME_LIMIT_MS)) {
            *pbTimedOut = true;
            tarnbus::vTrace("waiting on the master ran out after %u ms", tarnbus::TIME_LIMIT_MS);
            return bStopOnTimeout ? eStopMaster() : BISS_OK;
        }
    }
}

BissEnum BissClass::eWaitEot(uint64_t ullStart, bool *pbTimedOut, bool bStopOnTimeout)
{
    return eWaitFor(
        [this](PollEnum *pePoll) {
            bool bEot = false;
            BissEnum eResult = eReadEOT(&bEot);
            *pePoll = bEot ? POLL_DONE : POLL_WAITING;
            return eResult;
        },
        ullStart, pbTimedOut, bStopOnTimeout);
}

BissEnum BissClass::eStopMaster()
{
    return eWriteMaster(tarnbus::mapFor(eMasterVersion).ucInstruction, tarnbus::INSTRUCTION_STOP, 0xFFFFFFFF);
}
