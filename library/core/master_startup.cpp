// The master's start-up handshake. Every wait polls the master without sleeping and gives up after
// the library's time limit.
#include "tarnbus/BissClass.h"

#include <chrono>
#include <thread>

#include "platform/clock.h"

using tarnbus::bTimedOut;
using tarnbus::TIME_LIMIT_MS;
using tarnbus::ullTickMs;

namespace {
constexpr uint8_t INSTRUCTION_STOP = 0x80;
}

// Polls end of transmission until it comes (BISS_OK, *pbTimedOut false) or the limit counted from
// ullStart runs out (BISS_OK, *pbTimedOut true). A failed query is returned as it is.
BissEnum BissClass::eWaitEot(uint64_t ullStart, bool *pbTimedOut)
{
    *pbTimedOut = false;
    for (;;) {
        bool bEot = false;
        BissEnum eResult = eReadEOT(&bEot);
        if (eResult != BISS_OK)
            return eResult;
        if (bEot)
            return BISS_OK;
        if (bTimedOut(ullStart, TIME_LIMIT_MS)) {
            *pbTimedOut = true;
            return BISS_OK;
        }
    }
}

// Stops the master and waits for it to go idle: eOnTimeout when it does not, else eOtherwise.
BissEnum BissClass::eAbortAndWaitEot(uint8_t ucInstruction, BissEnum eOnTimeout, BissEnum eOtherwise)
{
    BissEnum eResult = eWriteMaster(ucInstruction, INSTRUCTION_STOP, 0xFFFFFFFF);
    if (eResult != BISS_OK)
        return eResult;
    bool bTimeout = false;
    eResult = eWaitEot(ullTickMs(), &bTimeout);
    if (eResult != BISS_OK)
        return eResult;
    return bTimeout ? eOnTimeout : eOtherwise;
}

BissEnum BissClass::eInitBissComm()
{
    MasterVersionEnum eVersion;
    uint8_t ucId, ucRevision;
    vGetMasterVersion(&eVersion, &ucId, &ucRevision);
    const uint8_t ucInstruction = bLayout1() ? 0xE1 : 0xF4;
    const uint8_t ucStartUp = bLayout1() ? 0x08 : 0x10;
    const uint8_t ucStatus = bLayout1() ? 0xE0 : 0xF8;
    const uint8_t ucReadyMask = bLayout1() ? 0x80 : 0x01;

    bool bEot = false;
    BissEnum eResult = eReadEOT(&bEot);
    if (eResult != BISS_OK)
        return eResult;
    if (!bEot) {
        // A transfer is still running: stop it and give the master a moment to settle.
        eResult = eAbortAndWaitEot(ucInstruction, BISS_INIT_FAILED, BISS_OK);
        if (eResult != BISS_OK)
            return eResult;
        std::this_thread::sleep_for(std::chrono::milliseconds(6));
    }

    eResult = eWriteMaster(ucInstruction, ucStartUp, 0xFFFFFFFF);
    if (eResult != BISS_OK)
        return eResult;

    // The master clears the instruction register once it has taken the instruction.
    const uint64_t ullStart = ullTickMs();
    for (;;) {
        uint8_t ucPending = 0;
        eResult = eReadMaster(ucInstruction, &ucPending);
        if (eResult != BISS_OK)
            return eResult;
        if (ucPending == 0)
            break;
        if (bTimedOut(ullStart, TIME_LIMIT_MS))
            return eAbortAndWaitEot(ucInstruction, BISS_INIT_FAILED, BISS_MASTERCOMM_FAILED);
    }

    bool bTimeout = false;
    eResult = eWaitEot(ullTickMs(), &bTimeout);
    if (eResult != BISS_OK)
        return eResult;
    if (bTimeout)
        return eAbortAndWaitEot(ucInstruction, BISS_INIT_FAILED, BISS_INIT_FAILED);

    const uint64_t ullReadyStart = ullTickMs();
    for (;;) {
        uint8_t ucReady = 0;
        eResult = eReadMaster(ucStatus, &ucReady);
        if (eResult != BISS_OK)
            return eResult;
        if (ucReady & ucReadyMask)
            return BISS_OK;
        if (bTimedOut(ullReadyStart, TIME_LIMIT_MS))
            return BISS_INIT_FAILED;
    }
}
