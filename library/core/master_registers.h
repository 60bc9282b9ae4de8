/* The master chip's registers and bits that the library drives, by chip version. Start-up, register
 * mode B and the transports take their addresses from here; the configuration registers stay with the
 * configuration writer, which is their only user. */
#ifndef TARNBUS_MASTER_REGISTERS_H
#define TARNBUS_MASTER_REGISTERS_H

#include <cstdint>

#include "tarnbus/tarnbus.h"

namespace tarnbus {

/* Registers that do not move between versions. */
constexpr uint8_t REG_REVISION = 0xEA; /* version 2: revision, after writing 0 to it */
constexpr uint8_t REG_ID = 0xEB;       /* bits 7 and 6 both clear on a version-1 master */
constexpr uint8_t REG_TEST = 0xE2;     /* the register the communication test inverts */
constexpr uint8_t REG_EOT = 0xF0;      /* end of transmission, read over the serial links */
constexpr uint8_t EOT_BIT = 0x01;      /* set while the master is idle */

/* Register mode B: the transfer the master runs with a slave by itself. */
constexpr uint8_t REG_MODB_ADDRESS = 0xE2;  /* first slave register; bit 7 set = write */
constexpr uint8_t MODB_WRITE = 0x80;        /* in REG_MODB_ADDRESS */
constexpr uint8_t REG_MODB_COUNT = 0xE3;    /* registers to move, minus one */
constexpr uint8_t REG_MODB_SELECTOR = 0xE4; /* version 2: selector */
constexpr uint8_t REG_MODB_SLAVE = 0xE5;    /* bits 5..3 slave id; version 1: bits 2..0 count */

/* Instructions, whatever the version: the master drops an instruction from its register once taken. */
constexpr uint8_t INSTRUCTION_STOP = 0x80;

/* What changes with the version. A master whose version is not known yet is driven as version 2. */
struct MasterRegisterMap {
    uint8_t ucInstruction;   /* instruction register */
    uint8_t ucStartUp;       /* instruction: start the BiSS line */
    uint8_t ucTransfer;      /* instruction: run the register-mode-B transfer */
    uint8_t ucStartUpStatus; /* register holding the start-up flag */
    uint8_t ucStartUpDone;   /* the flag: set once the line is up */
    uint8_t ucStatus;        /* outcome of a register-mode-B transfer (bits below) */
    uint8_t ucDoneCount;     /* registers moved by a transfer that broke off */
    uint8_t ucWindow;        /* first register of the data window */
};

constexpr MasterRegisterMap MASTER_MAP_V1{0xE1, 0x08, 0x04, 0xE0, 0x80, 0xE0, 0xE4, 0x40};
constexpr MasterRegisterMap MASTER_MAP_V2{0xF4, 0x10, 0x08, 0xF8, 0x01, 0xF0, 0xF3, 0x80};

/* Outcome bits of a register-mode-B transfer. Version 1: complete clear = broke off, the done count
 * tells how far it came; data clear = failed. Version 2: neither bit = broke off (done count); no
 * answer without acknowledge = failed. */
constexpr uint8_t STATUS_V1_COMPLETE = 0x04;
constexpr uint8_t STATUS_V1_DATA = 0x02;
constexpr uint8_t STATUS_V2_ACK = 0x08;
constexpr uint8_t STATUS_V2_NO_ANSWER = 0x40;

constexpr const MasterRegisterMap &mapFor(MasterVersionEnum eVersion)
{
    return eVersion == MASTER_VERSION_1 ? MASTER_MAP_V1 : MASTER_MAP_V2;
}

} // namespace tarnbus

#endif
