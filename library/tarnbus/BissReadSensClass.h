/*
 * BissReadSensClass: the record of one sensor cycle. Up to eight slaves (index 0..7) answer a cycle
 * with their single-cycle data (SCD) and a second data word (MCD); the record keeps both per slave,
 * the CRC and trail bits a version-1 master leaves beside them, the master's status and valid masks,
 * and the outcome of a register control frame that ended in the cycle. A plain value, copied whole.
 *
 * Cycle errors (ulError) are the CycleErrorEnum values below.
 */
#ifndef TARNBUS_BISS_READ_SENS_CLASS_H
#define TARNBUS_BISS_READ_SENS_CLASS_H

#include <cstdint>

#include "UL64Class.h"
#include "tarnbus_export.h"

/* Cycle errors of a record (ulError); 0 = none. */
enum CycleErrorEnum : uint32_t {
    CYCLE_NOT_VALID = 4,        /* the master's valid bit was clear after the cycle */
    CYCLE_SLAVE_INVALID = 5,    /* a slave's data are not valid (its bit is clear in ucValidMask) */
    CYCLE_NO_SECOND_DATA = 6,   /* status flag set without valid second data: nothing to extract */
    CYCLE_NO_ACK = 7,           /* the slave's control answer bit (CDS) did not match (ucFailStep) */
    CYCLE_CRC_FAILED = 8,       /* register data CRC mismatch in a control frame */
    CYCLE_NO_START_BIT = 9,     /* no start bit from the slave within 100 repeated cycles */
    CYCLE_NOT_TAKEN = 10,       /* the cycle command was still pending in the instruction register */
    CYCLE_TRANSPORT_FAILED = 11 /* transport failure (adapter write or read) */
};

class TARNBUS_EXPORT BissReadSensClass {
public:
    static constexpr unsigned SLAVE_COUNT = 8;

    /* Every field 0. */
    BissReadSensClass();

    uint32_t aulScdLow[SLAVE_COUNT];    /* low 32 bits of slave s's single-cycle data */
    uint32_t aulScdHigh[SLAVE_COUNT];   /* high 32 bits of the same */
    UL64Class aScd[SLAVE_COUNT];        /* the single-cycle data as a 64-bit value */
    uint32_t ulError;                   /* cycle error, 0 = none (codes above) */
    uint32_t aulScdCrc[SLAVE_COUNT];    /* CRC bits beside the single-cycle data (version-1 master) */
    uint32_t aulMcdLow[SLAVE_COUNT];    /* low 32 bits of slave s's second data word */
    uint32_t aulMcdHigh[SLAVE_COUNT];   /* high 32 bits of the same */
    UL64Class aMcd[SLAVE_COUNT];        /* the second data word as a 64-bit value */
    uint32_t aulMcdCrc[SLAVE_COUNT];    /* CRC bits beside the second data word (version-1 master) */
    uint8_t abScdTrailBit[SLAVE_COUNT]; /* lowest bit of the single-cycle field (version-1 master) */
    uint8_t bStatusFlag;                /* status bit 1 after the cycle: the cycle enters the MCD list */
    uint8_t ucStatus;                   /* master status read by the cycle evaluation */
    uint8_t ucValidMask;                /* bit s set: slave s's data are valid and were extracted */
    uint8_t ucMcdValidMask;             /* bit s set: slave s's second data word is valid */
    uint8_t ucRegisterData;             /* register byte of a control frame that completed here */
    uint8_t ucFailStep;                 /* frame step at which a CDS mismatch ended the frame */
    uint8_t bFrameComplete;             /* 1: a register control frame completed in this cycle */
};

/* One completed register control frame of a transfer. */
struct ControlResult {
    uint8_t ucData;    /* the register byte */
    uint32_t ulValid;  /* 1 when the frame's cycle had no error */
    uint32_t ulStatus; /* the cycle's master status */
};

#endif
