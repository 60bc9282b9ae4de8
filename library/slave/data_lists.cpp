// Register requests in and result lists out: the counted arrays of the class interface.
#include "tarnbus/BissClass.h"

#include <algorithm>

namespace {

constexpr uint32_t MAX_REQUEST_REGISTERS = 128; // addresses 0..127

// Each level of a list is its own allocation, so that it can be released level by level.
template <typename List>
void vCreateCycleList(List **ppList, int32_t lCount, int32_t lSlaves)
{
    if (lCount <= 0 || lSlaves <= 0)
        return;
    List *pList = new List[static_cast<size_t>(lCount)]();
    pList[0].ulCount = static_cast<uint32_t>(lCount);
    for (int32_t c = 0; c < lCount; ++c) {
        pList[c].ppEntries = new SLAVEDATA *(new SLAVEDATA[static_cast<size_t>(lSlaves)]());
        (*pList[c].ppEntries)[0].ulCount = static_cast<uint32_t>(lSlaves);
    }
    *ppList = pList;
}

template <typename List>
void vReleaseCycleList(List *pList)
{
    if (!pList)
        return;
    const uint32_t ulCount = pList[0].ulCount;
    for (uint32_t c = 0; c < ulCount; ++c) {
        if (pList[c].ppEntries) {
            delete[] * pList[c].ppEntries;
            delete pList[c].ppEntries;
        }
    }
    delete[] pList;
}

// One cycle's element: a value per slave from the record, valid as its mask says.
template <typename List>
void vFillCycle(List &element, const UL64Class *pValues, uint8_t ucMask, uint8_t ucStatus, uint32_t ulSlaves)
{
    SLAVEDATA *pEntries = *element.ppEntries;
    for (uint32_t s = 0; s < ulSlaves; ++s) {
        pValues[s].vGetValue(&pEntries[s].ulHigh, &pEntries[s].ulLow);
        pEntries[s].ulValid = ucMask & (1u << s);
    }
    element.ulStatus = ucStatus;
}

} // namespace

void BissClass::CreateSCDList(READDATA1 **ppList, int32_t lCount, int32_t lSlaves)
{
    vCreateCycleList(ppList, lCount, lSlaves);
}

void BissClass::CreateMCDList(READDATA5 **ppList, int32_t lCount, int32_t lSlaves)
{
    vCreateCycleList(ppList, lCount, lSlaves);
}

void BissClass::CreateCTRList(READDATA8 **ppList, int32_t lCount)
{
    if (lCount <= 0)
        return;
    READDATA8 *pList = new READDATA8[static_cast<size_t>(lCount)]();
    pList[0].ulCount = static_cast<uint32_t>(lCount);
    *ppList = pList;
}

extern "C" TARNBUS_FLAT void TARNBUS_API ReleaseDataLists(READDATA1 *pScd, READDATA5 *pMcd, READDATA8 *pCtr)
{
    vReleaseCycleList(pScd);
    vReleaseCycleList(pMcd);
    delete[] pCtr;
}

uint32_t BissClass::ulListSlaves() const
{
    return std::min<uint32_t>(ulMcE5LowBits, SLAVE_COUNT);
}

BissEnum BissClass::eWriteData(WRITEDATA1 **, WRITEDATA5 **, WRITEDATA8 **ppWrite8)
{
    // A refused request leaves nothing pending, whatever was pending before.
    ulReqCount = 0;
    vecReqData.clear();
    if (!ppWrite8 || !*ppWrite8)
        return BISS_INVALID_PARAMETER;
    const WRITEDATA8 &request = **ppWrite8;
    if (request.ulAddress > 127 || request.ulSlaveId >= SLAVE_COUNT ||
        request.ulRegCount > MAX_REQUEST_REGISTERS)
        return BISS_INVALID_PARAMETER;
    std::vector<uint8_t> vecData;
    if (request.bWrite && request.ulRegCount > 0) {
        // The bytes come from the item array, which must hold one item per register.
        if (!request.ppItems || !*request.ppItems || (*request.ppItems)[0].ulCount < request.ulRegCount)
            return BISS_INVALID_PARAMETER;
        const DATAITEM *pItems = *request.ppItems;
        for (uint32_t i = 0; i < request.ulRegCount; ++i)
            vecData.push_back(pItems[i].ucData);
    }
    ulReqSelector = request.ulSelector;
    ulReqReserved = request.ulReserved;
    ulReqSlaveId = request.ulSlaveId;
    ulReqAddress = request.ulAddress;
    ulReqCount = request.ulRegCount;
    bReqWrite = request.bWrite;
    vecReqData = std::move(vecData);
    return BISS_OK;
}

BissEnum BissClass::eReadData(READDATA1 **ppScd, READDATA5 **ppMcd, READDATA8 **ppCtr)
{
    return eMakeDataLists(ppScd, ppMcd, ppCtr, nullptr);
}

BissEnum BissClass::eMakeDataLists(READDATA1 **ppScd, READDATA5 **ppMcd, READDATA8 **ppCtr,
                                   uint32_t *pulCycleError)
{
    if (eInterface < INTERFACE_LPT1 || eInterface > INTERFACE_SY2D)
        return BISS_INVALID_INTERFACE;
    if (!ppScd || !ppMcd || !ppCtr)
        return BISS_INVALID_PARAMETER;

    // Without stored cycles the cycle that has just ended is read now.
    std::vector<BissReadSensClass> vecRead;
    const std::vector<BissReadSensClass> *pCycles = &vecCycles;
    if (vecCycles.empty()) {
        if (bLastCycleKept) {
            vecRead.push_back(lastCycle); // a batched run has read its last cycle already
        } else {
            vecRead.emplace_back();
            const BissEnum eResult = eReadDataLpt(&vecRead.back());
            if (eResult != BISS_OK)
                return eResult;
        }
        pCycles = &vecRead;
    }
    const std::vector<BissReadSensClass> &vecUsed = *pCycles;
    if (pulCycleError) {
        *pulCycleError = 0;
        for (const BissReadSensClass &record : vecUsed)
            if (*pulCycleError == 0)
                *pulCycleError = record.ulError;
    }
    const uint32_t ulSlaves = ulListSlaves();

    std::vector<const BissReadSensClass *> vecKept; // the cycles that carried second data words
    READDATA1 *pScd = nullptr;
    CreateSCDList(&pScd, static_cast<int32_t>(vecUsed.size()), static_cast<int32_t>(ulSlaves));
    for (size_t c = 0; c < vecUsed.size(); ++c) {
        const BissReadSensClass &record = vecUsed.at(c);
        if (pScd)
            vFillCycle(pScd[c], record.aScd, record.ucValidMask, record.ucStatus, ulSlaves);
        if (record.bStatusFlag)
            vecKept.push_back(&record);
    }

    READDATA5 *pMcd = nullptr;
    CreateMCDList(&pMcd, static_cast<int32_t>(vecKept.size()), static_cast<int32_t>(ulSlaves));
    for (size_t m = 0; pMcd && m < vecKept.size(); ++m)
        vFillCycle(pMcd[m], vecKept[m]->aMcd, vecKept[m]->ucMcdValidMask, vecKept[m]->ucStatus, ulSlaves);

    // Frames completed during a run are in the control results already; a frame that completed in
    // the cycle read just now is added.
    const BissReadSensClass &last = vecUsed.back();
    const bool bExtra = pCycles == &vecRead && last.bFrameComplete;
    const size_t uiCtr = vecControlResults.size() + (bExtra ? 1 : 0);
    READDATA8 *pCtr = nullptr;
    CreateCTRList(&pCtr, static_cast<int32_t>(uiCtr));
    for (size_t i = 0; i < vecControlResults.size(); ++i) {
        const ControlResult &result = vecControlResults.at(i);
        pCtr[i].ucData = result.ucData;
        pCtr[i].ulValid = result.ulValid;
        pCtr[i].ulStatus = result.ulStatus;
    }
    if (bExtra) {
        READDATA8 &extra = pCtr[uiCtr - 1];
        extra.ucData = last.ucRegisterData;
        extra.ulValid = last.ulError == 0 ? 1 : 0;
        extra.ulStatus = last.ulError == 0 ? last.ucStatus : (last.ucStatus & 0x77);
    }

    if (pScd)
        *ppScd = pScd;
    if (pMcd)
        *ppMcd = pMcd;
    if (pCtr)
        *ppCtr = pCtr;
    return BISS_OK;
}
