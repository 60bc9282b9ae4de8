/*
 * tarnbus: a BiSS master library.
 *
 * The flat interface: plain C functions that open an adapter, configure the BiSS master chip behind it
 * and move slave registers. Every function returns a BissEnum code as a signed 32-bit integer; 0 is
 * success. A handle comes from OpenInterface and stays valid until CloseInterface, whether or not its
 * adapter came up. The library starts no threads and takes no locks: use it from one thread at a time.
 *
 * Driver libraries are loaded at run time. The D2XX-compatible USB driver: the path in the environment
 * variable TARNBUS_FTD2XX when it is set (then that file alone: when it cannot be loaded the USB kind
 * reports BISS_INTERFACE_NOT_FOU); else FTDI's own "libftd2xx.so" when it is installed; else the
 * project's open driver on libftdi1, "libtarnbus-ftdi.so" in the "tarnbus" folder beside this library.
 * The parallel-port driver from TARNBUS_DLPORTIO, else "libdlportio.so"; the kind-5 driver from
 * TARNBUS_SY2D, else "libsy2d.so". A USB driver that loads but lacks the D2XX functions is missing too.
 * The variables are read when a driver is loaded, from the process's environment as it is then (on
 * Windows, where the files are "ftd2xx.dll", "dlportio.dll" and "sy2d.dll", also what a host set with
 * SetEnvironmentVariable).
 *
 * Diagnostics: with the environment variable TARNBUS_TRACE set to 1, the library writes one line to
 * standard error for every failed driver call (the call, its status and the master register of the
 * frame under way) and for every step it refuses (a master register access, a wait on the master that
 * ran out, a slave transfer the master reports unanswered, with its status register). Any other value
 * except 0 names a file the lines are appended to. Unset, empty or 0: no trace. The trace changes no
 * result and no call's behaviour.
 *
 * This header is plain C and may be included from C or C++.
 */
#ifndef TARNBUS_H
#define TARNBUS_H

#include <stdbool.h>
#include <stdint.h>

#include "tarnbus_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Result of every library operation. Two names are cut at 22 characters on purpose. */
typedef enum BissEnum {
    BISS_OK = 0,                /* success */
    BISS_INVALID_HANDLE = 1,    /* the handle's slot is not open; also: no free handle (OpenInterface) */
    BISS_INVALID_INTERFACE = 2, /* interface kind above 5, or no interface active */
    BISS_INTERFACE_NOT_FOU = 3, /* the driver library of the selected kind cannot be loaded */
    BISS_MASTERCOMM_FAILED = 4, /* a transfer with the master chip failed or read back another value */
    BISS_INVALID_MASTERADR = 5, /* parallel-port kinds: master register address above 255 */
    BISS_INVALID_MASTERDAT = 6, /* parallel-port kinds: master register data above 255 */
    BISS_INVALID_PARAMETER = 7, /* bad item, slave index, count or pointer */
    BISS_INIT_FAILED = 8,       /* a time limit of InitBissComm ran out */
    BISS_TIMEOUT = 9,           /* slave and sensor transfers */
    BISS_REGERROR = 10,         /* slave register transfers in register mode C */
    BISS_COMM_FAILED = 11       /* slave and sensor transfers: no or incomplete answer */
} BissEnum;

/* Adapter kinds. */
typedef enum InterfaceEnum {
    INTERFACE_NONE = 0,
    INTERFACE_LPT1 = 1, /* parallel port, 8-bit bus, wiring 1 (through the port I/O driver) */
    INTERFACE_LPT2 = 2, /* parallel port, 8-bit bus, wiring 2 */
    INTERFACE_LPT3 = 3, /* parallel port, bit-serial */
    INTERFACE_USB = 4,  /* FTDI USB adapter in MPSSE mode */
    INTERFACE_SY2D = 5  /* probed only; has no transport */
} InterfaceEnum;

/* Version of the detected master chip. */
typedef enum MasterVersionEnum {
    MASTER_VERSION_UNKNOWN = 0,
    MASTER_VERSION_1 = 1,
    MASTER_VERSION_2 = 2
} MasterVersionEnum;

/* Master configuration items (SetMasterConfig, GetMasterConfig). Items marked "per slave" hold one
 * value for each slave index 0..7. */
typedef enum MasterConfigEnum {
    MC_LPT_MODE = 0,           /* cycle start mode of the cycle steps: 0 single, 1 automatic, 2 stop */
    MC_F5_BIT0 = 1,            /* layout 2: register 0xF5 = value & 1 */
    MC_E5_LOW_BITS = 2,        /* slave count, 0..7: the slaves ReadSens delivers; layout 1: register 0xE5 */
    MC_DATA1_LENGTH = 3,       /* per slave: length of data word 1, 1..64, 0 = off */
    MC_DATA1_CRCPOLY = 4,      /* per slave: CRC polynomial of data word 1 (reads back odd) */
    MC_DATA1_BIT7 = 5,         /* per slave, bool */
    MC_DATA2_LENGTH = 6,       /* per slave: length of data word 2, 1..64, 0 = off */
    MC_DATA2_CRCPOLY = 7,      /* per slave: CRC polynomial of data word 2 (reads back odd) */
    MC_DATA2_BIT7 = 8,         /* per slave, bool */
    MC_STORED_9 = 9,           /* starts at 1; not written to the master */
    MC_DATA1_FLAG_A = 10,      /* per slave, bool */
    MC_DATA2_FLAG_A = 11,      /* per slave, bool */
    MC_SLAVE_MODE_C = 12,      /* per slave, bool: slave registers by register mode C instead of B */
    MC_DATA1_FLAG_B = 13,      /* per slave, bool */
    MC_DATA2_FLAG_B_BOTH = 14, /* per slave: sets items 15 and 16; reads item 15 */
    MC_DATA2_FLAG_B = 15,      /* per slave, bool */
    MC_STORED_16 = 16,         /* per slave, bool; stored only */
    MC_E5_BIT0 = 17,           /* bool: layout 2b register 0xE5 */
    MC_EC_VALUE = 18,          /* layout 2b: register 0xEC */
    MC_STORED_19 = 19,         /* per slave, 8 bits; stored only */
    MC_E6_LOW5 = 20,           /* layout 2: bits 4..0 of register 0xE6 */
    MC_E6_HIGH3 = 21           /* layout 2: bits 7..5 of register 0xE6 */
} MasterConfigEnum;

/* Every pointer argument below must be valid; a null pointer gives BISS_INVALID_PARAMETER and nothing
 * is written. A handle is checked first: a handle that is not open (0, closed, never issued, or above
 * 255) gives BISS_INVALID_HANDLE whatever the other arguments are. */

/*
 * Opens an adapter of kind ulInterface. strText carries the parallel-port base as "0x378" for kinds
 * 1 to 3 (read as hexadecimal after a lower-case "0x"; any other text sets no base, which stays 0) and is
 * ignored by the other kinds. pulReserved1 and pulReserved2 are ignored (they may be null).
 * The new handle (1..255) is written to *pulHandle even when the result is an error; close it then.
 * When all 255 handles have been handed out, the result is BISS_INVALID_HANDLE, *pulHandle is set to 0
 * (never a valid handle) and every open handle stays as it was. Handles are handed out in rising order;
 * closing the most recent handle makes it the next one again, while a closed handle below it is not
 * handed out again until every handle above it has been closed. A null strText counts as "" and a
 * null pulHandle gives BISS_INVALID_PARAMETER without opening anything. Kinds above 5 give
 * BISS_INVALID_INTERFACE (the handle is still filled in).
 */
TARNBUS_FLAT int32_t TARNBUS_API OpenInterface(uint32_t ulInterface, const char *strText,
                                               uint32_t *pulReserved1, uint32_t *pulReserved2,
                                               uint32_t *pulHandle);
TARNBUS_FLAT int32_t TARNBUS_API CloseInterface(uint32_t ulHandle);

/* One master register. A mask other than 0xFFFFFFFF reads the register first and changes only the
 * bits set in the mask. The USB adapter uses the low 8 bits of address and data. The parallel-port kinds
 * 1 to 3 reach the master through the port I/O driver at the base OpenInterface was given; they refuse
 * an address above 255 with BISS_INVALID_MASTERADR and data above 255 with BISS_INVALID_MASTERDAT
 * (nothing is sent) rather than cut them to 8 bits. A kind whose driver could not be loaded answers
 * BISS_INVALID_INTERFACE. Kind 5 has no transport: writes do nothing, every register reads 1, and
 * OpenInterface on it ends with BISS_MASTERCOMM_FAILED.
 * A USB write that the device takes only in part fails; the adapter's engine is reset and set up again
 * before the next frame, so later accesses work once the device does. */
TARNBUS_FLAT int32_t TARNBUS_API WriteMaster(uint32_t ulHandle, uint32_t ulAddress, uint32_t ulData,
                                             uint32_t ulMask);
TARNBUS_FLAT int32_t TARNBUS_API ReadMaster(uint32_t ulHandle, uint32_t ulAddress, uint32_t *pulData);

/* Master configuration: items are stored by SetMasterConfig without touching the hardware and written
 * by WriteMasterConfig (ulForce 0: only registers whose value changed). Items marked "per slave" take a
 * slave index 0..7; the other items ignore the index. A per-slave item with an index above 7, an item
 * above 21, a data length (items 3 and 6) above 64 or a slave count (item 2, MC_E5_LOW_BITS: the number
 * of slaves whose data ReadSens delivers) above 7 is refused with BISS_INVALID_PARAMETER, not cut to the
 * bits its register holds, and nothing is stored or returned. */
TARNBUS_FLAT int32_t TARNBUS_API SetMasterConfig(uint32_t ulHandle, uint32_t ulSlave, uint32_t ulItem,
                                                 uint32_t ulValue);
TARNBUS_FLAT int32_t TARNBUS_API GetMasterConfig(uint32_t ulHandle, uint32_t ulSlave, uint32_t ulItem,
                                                 uint32_t *pulValue);
/* WriteMasterConfig writes and reads back each register; the first mismatch or failure ends it. With
 * ulForce 0 a register is skipped when the handle's record already holds its value (every register counts
 * as 0 after opening, so zeros are not sent by the first unforced call); a register whose last write
 * failed or read back wrong is always sent again. */
TARNBUS_FLAT int32_t TARNBUS_API WriteMasterConfig(uint32_t ulHandle, uint32_t ulForce);
/* On Windows tarnbus.dll exports ReadMasterConfig only as "_ReadMasterConfig@4" (the name to give
 * GetProcAddress); a host built with this header and the import library needs nothing special. */
TARNBUS_FLAT int32_t TARNBUS_API ReadMasterConfig(uint32_t ulHandle);

/* The master's start-up handshake. */
TARNBUS_FLAT int32_t TARNBUS_API InitBissComm(uint32_t ulHandle);

/*
 * Slave registers. ulSlaveId is the slave's place on the BiSS line (its low three bits are used),
 * ulAddress the first register (its low seven bits are used), *pulCount the number of consecutive
 * registers, 1 to 64 (the master's data window); pucData holds one byte per register. ulSelector goes
 * to the master's selector register on version-2 masters (pass 0 when in doubt).
 *
 * A slave is served in register mode B (run by the master chip) unless its MC_SLAVE_MODE_C item is set.
 * Register mode C works on every adapter kind: the library sends the control frame one bit per sensor
 * cycle, so the master must be set up for sensor cycles as for ReadSens: the slave's data words
 * configured (MC_DATA1_LENGTH, and MC_DATA2_LENGTH where it has a second word, with their CRC items),
 * the slave count MC_E5_LOW_BITS, and MC_DATA1_FLAG_A of slave 0 left 0 (with it set no answer bit is
 * taken in and reads give BISS_REGERROR), all written with WriteMasterConfig. Without data words the
 * cycles carry no answer and the transfer ends with BISS_TIMEOUT. In mode C a slave id above 7 or an
 * address above 127 is refused with BISS_INVALID_PARAMETER rather than cut to its low bits, since it
 * would reach another slave or register; BISS_REGERROR reports a control frame the slave did not
 * acknowledge.
 *
 * Results: BISS_OK; BISS_INVALID_PARAMETER for a null pointer or a count of 0 or above 64 (nothing is
 * sent); BISS_COMM_FAILED when the slave does not answer or the transfer breaks off, in which case
 * *pulCount may be lowered to the registers that were moved (never raised) and a read fills only that
 * many bytes; BISS_MASTERCOMM_FAILED or BISS_INVALID_INTERFACE when the master itself cannot be reached.
 * A busy master is stopped before a transfer starts; every wait gives up after one second.
 */
TARNBUS_FLAT int32_t TARNBUS_API ReadSlaveRegister(uint32_t ulHandle, uint32_t ulSelector, uint32_t ulSlaveId,
                                                   uint32_t ulAddress, uint32_t *pulCount, uint8_t *pucData);
/* As ReadSlaveRegister, writing. With a count of 1 and ucMask other than 0xFF only the bits set in ucMask
 * are taken from pucData[0]; the register is read first and pucData[0] receives the merged byte that is
 * written. Otherwise ucMask is ignored and whole bytes are written. */
TARNBUS_FLAT int32_t TARNBUS_API WriteSlaveRegister(uint32_t ulHandle, uint32_t ulSelector,
                                                    uint32_t ulSlaveId, uint32_t ulAddress,
                                                    uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask);

/*
 * One position sample: runs one sensor cycle and reads every configured slave's data. The slave count
 * is the master item MC_E5_LOW_BITS (0..7; with 0, which it holds after opening, no slave is read, the
 * result is BISS_OK and the arrays are left as they were). pulScd and pulMcd are the caller's arrays
 * with room for one element per slave, that is MC_E5_LOW_BITS elements: element s of pulScd receives
 * the low 32 bits of slave s's first data word; element s of pulMcd receives the low 32 bits of its
 * second data word when that word is valid and is left as it was otherwise. *pbMcdValid becomes true
 * when at least one slave delivered a valid second data word.
 *
 * Results: BISS_OK; BISS_INVALID_PARAMETER for a null pointer; BISS_INVALID_INTERFACE when no adapter is
 * active; BISS_TIMEOUT when the cycle does not end within one second; BISS_COMM_FAILED when the cycle
 * ended with an error (no answer, a CRC error, a slave's data not valid); BISS_MASTERCOMM_FAILED when the
 * master cannot be reached. On every failure the arrays and *pbMcdValid are left untouched.
 */
TARNBUS_FLAT int32_t TARNBUS_API ReadSens(uint32_t ulHandle, uint32_t *pulScd, uint32_t *pulMcd,
                                          bool *pbMcdValid);

/*
 * A block of position samples: ulCycles (1 to 65536) sensor cycles back to back, each taken as ReadSens
 * takes it, with as many cycles per USB exchange as the adapter's buffers hold. With n = the slave count
 * (MC_E5_LOW_BITS), pulScd and pulMcd have room for ulCycles * n elements, cycle-major: element c * n + s
 * is slave s in cycle c. Element c * n + s of pulMcd is written only when that slave's second word was
 * valid in cycle c, as ReadSens does; pucMcdValid receives one byte per cycle, 1 when at least one slave
 * delivered a valid second word in that cycle, else 0. *pulDone receives the number of cycles stored.
 *
 * Results: as ReadSens. BISS_OK: all ulCycles cycles are stored. On a failure the cycles before the
 * failing one are stored (*pulDone of them) and nothing is written for the failing cycle or after it.
 * A null pointer, ulCycles 0 or above 65536 give BISS_INVALID_PARAMETER without any cycle; an unknown
 * handle gives BISS_INVALID_HANDLE.
 */
TARNBUS_FLAT int32_t TARNBUS_API ReadSensBlock(uint32_t ulHandle, uint32_t ulCycles, uint32_t *pulScd,
                                               uint32_t *pulMcd, uint8_t *pucMcdValid, uint32_t *pulDone);

#ifdef __cplusplus
}
#endif

#endif /* TARNBUS_H */
