/*
 * Result lists and register requests of the class interface (BissClass::eReadData, eWriteData).
 *
 * Every list is a counted array: one block of equal elements whose first element's ulCount holds the
 * number of elements (ulCount of the other elements is unused). The per-slave entries of a cycle hang
 * from its element through ppEntries: *ppEntries is a counted array with one SLAVEDATA per configured
 * slave.
 *
 * eReadData hands its lists to the caller; each level (element array, each inner pointer, each entry
 * array) is allocated separately by the library. Release them with ReleaseDataLists, never with the
 * caller's own allocator.
 *
 * This header is plain C and may be included from C or C++.
 */
#ifndef TARNBUS_DATA_LISTS_H
#define TARNBUS_DATA_LISTS_H

#include <stdint.h>

#include "tarnbus_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One slave's value in one cycle. */
typedef struct SLAVEDATA {
    uint32_t ulCount; /* entry 0: number of entries (the slave count) */
    uint32_t ulHigh;  /* high 32 bits of the value */
    uint32_t ulLow;   /* low 32 bits */
    uint32_t ulValid; /* 1 << s when slave s's value is valid, else 0 */
} SLAVEDATA;

/* Single-cycle data list (SCD): one element per sensor cycle. */
typedef struct READDATA1 {
    uint32_t ulCount;      /* element 0: number of elements */
    SLAVEDATA **ppEntries; /* the per-slave entries of this cycle */
    uint32_t ulStatus;     /* the cycle's master status */
} READDATA1;

/* Second data word list (MCD): one element per cycle that carried second data words. */
typedef struct READDATA5 {
    uint32_t ulCount;
    SLAVEDATA **ppEntries;
    uint32_t ulStatus;
} READDATA5;

/* Register control results (CTR): one element per completed register frame. */
typedef struct READDATA8 {
    uint32_t ulCount;  /* element 0: number of elements */
    uint8_t ucData;    /* the register byte */
    uint32_t ulValid;  /* 1 = the frame's cycle had no error */
    uint32_t ulStatus; /* cycle status; bits 3 and 7 cleared when the cycle had an error */
} READDATA8;

/* One byte to write. */
typedef struct DATAITEM {
    uint32_t ulCount; /* item 0: number of items */
    uint8_t ucData;
} DATAITEM;

/* A register request for the next transfer; only the first request of the array is read. */
typedef struct WRITEDATA8 {
    uint32_t ulCount;    /* number of requests in the array */
    uint32_t ulSelector; /* selector register value (version-2 masters) */
    uint32_t ulReserved; /* carried, not used; set 0 */
    uint32_t ulSlaveId;  /* slave id 0..7 */
    uint32_t ulAddress;  /* first register 0..127 */
    uint32_t ulRegCount; /* number of registers, 1..128; 0 cancels a pending request */
    uint32_t bWrite;     /* nonzero: write request */
    DATAITEM **ppItems;  /* write: counted array of at least ulRegCount items */
} WRITEDATA8;

/* Accepted by eWriteData and not used. */
typedef struct WRITEDATA1 {
    uint32_t ulCount;
} WRITEDATA1;
typedef struct WRITEDATA5 {
    uint32_t ulCount;
} WRITEDATA5;

/* Releases the lists eReadData handed out, every level of them. Any pointer may be null. */
TARNBUS_FLAT void TARNBUS_API ReleaseDataLists(READDATA1 *pScd, READDATA5 *pMcd, READDATA8 *pCtr);

#ifdef __cplusplus
}
#endif

#endif /* TARNBUS_DATA_LISTS_H */
