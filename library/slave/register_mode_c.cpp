// Register mode C: the library runs the control frame itself, one bit per sensor cycle. On a batching
// transport the frames ride on batched cycles (register_mode_c_frames.cpp); on the other kinds the
// register request and the cycle runs carry the frames and the control results tell how each register
// went.
#include "tarnbus/BissClass.h"

#include <vector>

#include "control_frame.h"
#include "platform/clock.h"
#include "transfer_state.h"

namespace {

constexpr uint32_t MAX_SLAVE_ID = 7;
constexpr uint32_t MAX_ADDRESS = 127;

// The lists of one transfer, released whatever way the call leaves.
struct DataLists {
    READDATA1 *pScd = nullptr;
    READDATA5 *pMcd = nullptr;
    READDATA8 *pCtr = nullptr;
    ~DataLists() { ReleaseDataLists(pScd, pMcd, pCtr); }
};

} // namespace

// The cycle count reaches the register count as the last cycle is polled; a master that never reports
// its cycle ended gives up after the library's time limit.
BissEnum BissClass::eModCWaitCycles(uint32_t ulCount)
{
    const uint64_t ullStart = tarnbus::ullTickMs();
    for (uint32_t ulCycles = 0; ulCycles < ulCount;) {
        const BissEnum eResult = eReadStatus(&ulCycles);
        if (eResult != BISS_OK)
            return eResult;
        if (ulCycles < ulCount && tarnbus::bTimedOut(ullStart, tarnbus::TIME_LIMIT_MS))
            return BISS_TIMEOUT;
    }
    return BISS_OK;
}

// Cycles carrying the given control bits, each started once the master is free and waited for until
// it has ended (the status register's end of transmission).
BissEnum BissClass::eSteppedCycles(const std::vector<bool> &vecBits)
{
    const tarnbus::MasterRegisterMap &map = tarnbus::mapFor(eMasterVersion);
    auto eAwait = [this](uint8_t ucAddress, uint8_t ucMask, uint8_t ucWanted) {
        bool bLate = false;
        const BissEnum eResult = eWaitFor(
            [&](PollEnum *pePoll) {
                uint8_t ucValue = 0;
                const BissEnum eRead = eReadMaster(ucAddress, &ucValue);
                *pePoll = (ucValue & ucMask) == ucWanted ? POLL_DONE : POLL_WAITING;
                return eRead;
            },
            tarnbus::ullTickMs(), &bLate, false);
        return eResult == BISS_OK && bLate ? BISS_TIMEOUT : eResult;
    };
    for (const bool bBit : vecBits) {
        uint8_t ucCommand = bBit ? tarnbus::CMD_BIT_1 : tarnbus::CMD_BIT_0;
        if (eMasterVersion == MASTER_VERSION_1)
            ucCommand |= tarnbus::COMMAND_V1_SINGLE;
        BissEnum eResult = eAwait(map.ucStatus, tarnbus::EOT_BIT, tarnbus::EOT_BIT);
        if (eResult == BISS_OK)
            eResult = eWriteMaster(map.ucInstruction, ucCommand, 0xFFFFFFFF);
        if (eResult == BISS_OK)
            eResult = eAwait(map.ucInstruction, 0xFF, 0); // taken
        if (eResult == BISS_OK)
            eResult = eAwait(map.ucStatus, tarnbus::EOT_BIT, tarnbus::EOT_BIT);
        if (eResult != BISS_OK)
            return eResult;
    }
    return BISS_OK;
}

// Bad arguments are refused before anything reaches the adapter: a cut-down id, address or count would
// reach another slave or register.
BissEnum BissClass::eCheckModCArguments(uint32_t ulSlaveId, uint32_t ulAddress, const uint32_t *pulCount,
                                        const uint8_t *pucData) const
{
    if (!pulCount || !pucData || ulSlaveId > MAX_SLAVE_ID || ulAddress > MAX_ADDRESS)
        return BISS_INVALID_PARAMETER;
    if (*pulCount < 1 || *pulCount > SLAVE_DATA_WINDOW)
        return BISS_INVALID_PARAMETER;
    return BISS_OK;
}

BissEnum BissClass::eReadSlaveRegisterModC(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                           uint32_t *pulCount, uint8_t *pucData)
{
    if (bMasterConfigFailed())
        return BISS_MASTERCOMM_FAILED;
    BissEnum eResult = eCheckModCArguments(ulSlaveId, ulAddress, pulCount, pucData);
    if (eResult != BISS_OK)
        return eResult;
    // With the CDS checks off nothing of the slave's answer is taken in, so no byte read could be
    // trusted.
    if (abMcData1FlagA[0]) {
        *pulCount = 0;
        return BISS_REGERROR;
    }
    if (bBatchedCycles())
        return eModCBatched(ulSlaveId, ulAddress, pulCount, pucData, false);
    return eModCTransfer(ulSelector, ulSlaveId, ulAddress, pulCount, pucData, false);
}

BissEnum BissClass::eWriteSlaveRegisterModC(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                            uint32_t *pulCount, uint8_t *pucData, uint8_t)
{
    if (bMasterConfigFailed())
        return BISS_MASTERCOMM_FAILED;
    BissEnum eResult = eCheckModCArguments(ulSlaveId, ulAddress, pulCount, pucData);
    if (eResult != BISS_OK)
        return eResult;
    if (bBatchedCycles())
        return eModCBatched(ulSlaveId, ulAddress, pulCount, pucData, true);
    return eModCTransfer(ulSelector, ulSlaveId, ulAddress, pulCount, pucData, true);
}

// The other interface kinds: one register request, cycles until its registers have completed their
// frames, then the control results.
BissEnum BissClass::eModCTransfer(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                  uint32_t *pulCount, uint8_t *pucData, bool bWrite)
{
    const uint32_t ulCount = *pulCount;
    std::vector<DATAITEM> vecItems(ulCount);
    for (uint32_t i = 0; i < ulCount; ++i)
        vecItems[i].ucData = bWrite ? pucData[i] : 0;
    vecItems[0].ulCount = ulCount;
    DATAITEM *pItems = vecItems.data();
    WRITEDATA8 request{};
    request.ulCount = 1;
    request.ulSelector = ulSelector;
    request.ulSlaveId = ulSlaveId;
    request.ulAddress = ulAddress;
    request.ulRegCount = ulCount;
    request.bWrite = bWrite ? 1 : 0;
    request.ppItems = &pItems;
    WRITEDATA8 *pRequest = &request;

    BissEnum eResult = eWriteData(nullptr, nullptr, &pRequest);
    request.ulRegCount = 0; // handing it over again cancels it
    auto eCancel = [&](BissEnum eOutcome) {
        eWriteData(nullptr, nullptr, &pRequest);
        tarnbus::vAbandonFrame(*pTransferState);
        // A write broken off inside its byte: the bits that follow must never complete it.
        if (bWrite && eOutcome != BISS_OK) {
            const int iLast = pTransferState->ucFrameStep - 1;
            eSteppedCycles(tarnbus::vecFinishingBits(pTransferState->ucWriteByte, iLast - 1, iLast));
        }
        return eOutcome;
    };
    if (eResult != BISS_OK)
        return eCancel(eResult);
    eResult = eStartBissTransfer(ulCount, 1);
    if (eResult != BISS_OK)
        return eCancel(eResult);
    eResult = eModCWaitCycles(ulCount);
    if (eResult != BISS_OK)
        return eCancel(eResult);
    DataLists lists;
    eResult = eReadData(&lists.pScd, &lists.pMcd, &lists.pCtr);
    if (eResult != BISS_OK)
        return eCancel(eResult);
    eCancel(BISS_OK);

    // Register i's control result tells how it went; a register without one never completed.
    const uint32_t ulResults = lists.pCtr ? lists.pCtr[0].ulCount : 0;
    for (uint32_t i = 0; i < ulCount; ++i) {
        if (i >= ulResults || !lists.pCtr[i].ulValid) {
            *pulCount = i;
            return BISS_REGERROR;
        }
        if (!bWrite)
            pucData[i] = lists.pCtr[i].ucData;
    }
    return BISS_OK;
}
