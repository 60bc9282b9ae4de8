// The master's start-up handshake. Every wait polls the master without sleeping and gives up after
// the library's time limit.
#include "tarnbus/BissClass.h"

#include <chrono>
#include <thread>

#include "master_registers.h"
#include "platform/clock.h"

using tarnbus::ullTickMs;

// Stops the master and waits for it to go idle, timed from the stop: eOnTimeout when it does not,
// else eOtherwise.
BissEnum BissClass::eStopAndWaitEot(BissEnum eOnTimeout, BissEnum eOtherwise)
{
    BissEnum eResult = eStopMaster();
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
    const tarnbus::MasterRegisterMap &map = tarnbus::mapFor(eVersion);

    bool bEot = false;
    BissEnum eResult = eReadEOT(&bEot);
    if (eResult != BISS_OK)
        return eResult;
    if (!bEot) {
        // A transfer is still running: stop it and give the master a moment to settle.
        eResult = eStopAndWaitEot(BISS_INIT_FAILED, BISS_OK);
        if (eResult != BISS_OK)
            return eResult;
        std::this_thread::sleep_for(std::chrono::milliseconds(6));
    }

    eResult = eWriteMaster(map.ucInstruction, map.ucStartUp, 0xFFFFFFFF);
    if (eResult != BISS_OK)
        return eResult;

    // The master clears the instruction register once it has taken the instruction. One it never
    // takes is stopped; the stop must then end the transmission.
    bool bTimeout = false;
    eResult = eWaitFor(
        [&](PollEnum *pePoll) {
            uint8_t ucPending = 0;
            BissEnum e = eReadMaster(map.ucInstruction, &ucPending);
            *pePoll = ucPending == 0 ? POLL_DONE : POLL_WAITING;
            return e;
        },
        ullTickMs(), &bTimeout, true);
    if (eResult != BISS_OK)
        return eResult;
    if (bTimeout) {
        eResult = eWaitEot(ullTickMs(), &bTimeout);
        if (eResult != BISS_OK)
            return eResult;
        return bTimeout ? BISS_INIT_FAILED : BISS_MASTERCOMM_FAILED;
    }

    eResult = eWaitEot(ullTickMs(), &bTimeout, true);
    if (eResult != BISS_OK)
        return eResult;
    if (bTimeout) {
        eResult = eWaitEot(ullTickMs(), &bTimeout);
        return eResult != BISS_OK ? eResult : BISS_INIT_FAILED;
    }

    eResult = eWaitFor(
        [&](PollEnum *pePoll) {
            uint8_t ucReady = 0;
            BissEnum e = eReadMaster(map.ucStartUpStatus, &ucReady);
            *pePoll = (ucReady & map.ucStartUpDone) ? POLL_DONE : POLL_WAITING;
            return e;
        },
        ullTickMs(), &bTimeout, false);
    if (eResult != BISS_OK)
        return eResult;
    return bTimeout ? BISS_INIT_FAILED : BISS_OK;
}
