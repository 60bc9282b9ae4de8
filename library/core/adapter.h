/* The one door to the master chip. Every transport (USB adapter, parallel port, none) answers these
 * four calls, so BissClass reaches the master the same way whatever sits in between. */
#ifndef TARNBUS_ADAPTER_H
#define TARNBUS_ADAPTER_H

#include <cstdint>

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

    /* A transport with byte-wide accesses refuses addresses and data above 0xFF instead of cutting
     * them to their low byte. */
    virtual bool bRefusesWideValues() const { return false; }
    /* Whether a poll comes soon enough to see an instruction in its register before the master takes
     * it. A slow link sees it taken at once. */
    virtual bool bSeesPendingInstruction() const { return true; }
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
