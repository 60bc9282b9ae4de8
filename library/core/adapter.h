/* The one door to the master chip. Every transport (USB adapter, parallel port, none) answers these
 * calls, so BissClass reaches the master the same way whatever sits in between.
 *
 * Besides single accesses a transport takes a batch: accesses queued in order and carried out by
 * eFlush. A transport that gains nothing by gathering them (the parallel port) carries each one out as
 * it is queued; the USB adapter sends the whole batch in one device write and reads every answer in one
 * device read. The first failure is kept: later queued accesses are dropped, eFlush reports it, and the
 * destinations of the reads are written only by a flush that succeeds. */
#ifndef TARNBUS_ADAPTER_H
#define TARNBUS_ADAPTER_H

#include <cstdint>
#include <utility>
#include <vector>

#include "tarnbus/tarnbus.h"

class AdapterClass {
public:
    virtual ~AdapterClass() = default;

    /* One master register access: BISS_OK, or the failure the transport gives. A failed read leaves
     * *pucData alone. */
    virtual BissEnum eWriteRegister(uint8_t ucAddress, uint8_t ucData) = 0;
    virtual BissEnum eReadRegister(uint8_t ucAddress, uint8_t *pucData) = 0;
    /* The master's end-of-transmission flag: true while no transfer runs. */
    virtual BissEnum eReadEot(bool *pbEot) = 0;
    /* Lets the device go; later accesses fail. */
    virtual void vClose() {}

    /* The batch. */
    virtual void vQueueWrite(uint8_t ucAddress, uint8_t ucData)
    {
        if (eBatchResult == BISS_OK)
            eBatchResult = eWriteRegister(ucAddress, ucData);
    }
    virtual void vQueueRead(uint8_t ucAddress, uint8_t *pucInto)
    {
        uint8_t ucValue = 0;
        if (eBatchResult == BISS_OK && (eBatchResult = eReadRegister(ucAddress, &ucValue)) == BISS_OK)
            vecBatchReads.emplace_back(pucInto, ucValue);
    }
    virtual BissEnum eFlush()
    {
        const BissEnum eResult = eBatchResult;
        if (eResult == BISS_OK)
            for (const auto &[pucInto, ucValue] : vecBatchReads)
                *pucInto = ucValue;
        vecBatchReads.clear();
        eBatchResult = BISS_OK;
        return eResult;
    }
    /* Whether a batch travels as one exchange, so that queueing a whole cycle saves round trips. */
    virtual bool bBatches() const { return false; }
    /* Accesses one exchange of a batch carries at most. */
    virtual unsigned uiAccessesPerExchange() const { return 1; }

    /* A transport with byte-wide accesses refuses addresses and data above 0xFF instead of cutting
     * them to their low byte. */
    virtual bool bRefusesWideValues() const { return false; }
    /* Whether a poll comes soon enough to see an instruction in its register before the master takes
     * it. A slow link sees it taken at once. */
    virtual bool bSeesPendingInstruction() const { return true; }

protected:
    BissEnum eBatchResult = BISS_OK; /* the first failure of the batch under way */

private:
    std::vector<std::pair<uint8_t *, uint8_t>> vecBatchReads; /* reads done, delivered by the flush */
};

/* No master behind the interface: no kind selected, or its driver missing. Every access answers
 * BISS_INVALID_INTERFACE and touches nothing. */
class NoAdapterClass : public AdapterClass {
public:
    explicit NoAdapterClass(bool bRefusesWide) : bRefusesWide(bRefusesWide) {}
    BissEnum eWriteRegister(uint8_t, uint8_t) override { return BISS_INVALID_INTERFACE; }
    BissEnum eReadRegister(uint8_t, uint8_t *) override { return BISS_INVALID_INTERFACE; }
    BissEnum eReadEot(bool *) override { return BISS_INVALID_INTERFACE; }
    bool bRefusesWideValues() const override { return bRefusesWide; }

private:
    bool bRefusesWide;
};

/* Kind 5: its driver is probed, but nothing stands behind it. Writes vanish and every register reads
 * 1, which also reads as end of transmission. */
class Sy2dAdapterClass : public AdapterClass {
public:
    BissEnum eWriteRegister(uint8_t, uint8_t) override { return BISS_OK; }
    BissEnum eReadRegister(uint8_t, uint8_t *pucData) override
    {
        *pucData = 1;
        return BISS_OK;
    }
    BissEnum eReadEot(bool *pbEot) override
    {
        *pbEot = true; // bit 0 of a register that reads 1
        return BISS_OK;
    }
};

#endif
