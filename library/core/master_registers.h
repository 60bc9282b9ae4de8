/* The master chip's registers and bits that the library drives, by chip version. Start-up, register
 * mode B, the sensor cycles and the transports take their addresses from here; the configuration
 * registers stay with the configuration writer, which is their only user. */
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

/* Sensor cycles. A version-1 master answers the first status read of a cycle at 0xE0 and takes its
 * instructions at 0xE1 (MASTER_MAP_V1); everything else of a cycle sits at these addresses. */
constexpr uint8_t REG_CYCLE_STATUS = 0xF0;      /* the status bits below, end of transmission in bit 0 */
constexpr uint8_t REG_SLAVE_VALID_LOW = 0xF1;   /* per-slave valid bits of slaves 0..3 (even bits) */
constexpr uint8_t REG_SLAVE_VALID_HIGH = 0xF2;  /* the same for slaves 4..7 */
constexpr uint8_t REG_CDS = 0xF3;               /* the control channel (bits below) */
constexpr uint8_t REG_CYCLE_INSTRUCTION = 0xF4; /* the cycle commands below */
constexpr uint8_t REG_READY_V1 = 0xE0;          /* version 1: bit 6 = ready for a command */
constexpr uint8_t READY_V1 = 0x40;
constexpr uint8_t DATA_MEMORY_SECOND = 0x40; /* each slave's second word: 8 bytes from 0x40 + 8·s */
constexpr unsigned DATA_MEMORY_SIZE = 0x80;  /* the data memory, addresses 0..0x7F */

/* Status bits of a cycle (REG_CYCLE_STATUS). */
constexpr uint8_t CYCLE_SECOND_WORDS = 0x02; /* second data words came */
constexpr uint8_t CYCLE_FIRST_VALID = 0x10;  /* every first data word is valid */
constexpr uint8_t CYCLE_SECOND_VALID = 0x20; /* every second data word is valid */
constexpr uint8_t CYCLE_VALID = 0x40;        /* the cycle ran with the slaves' start bit */
constexpr uint8_t CYCLE_VALID_V1 = 0x04;     /* version 1, first status read: the same */

/* The control channel (REG_CDS). */
constexpr uint8_t CDS_READY = 0x80; /* the slave's control channel is ready for a frame */
constexpr uint8_t CDS_HIGH = 0x40;  /* the CDS bit the slave answered the last cycle with */

/* Cycle commands and instructions. */
constexpr uint8_t CMD_BIT_1 = 2;                 /* one cycle carrying the control bit 1 */
constexpr uint8_t CMD_BIT_0 = 4;                 /* one cycle carrying the control bit 0: the idle cycle */
constexpr uint8_t CMD_START_BIT_0 = 6;           /* a 0 where the slave's start bit is awaited */
constexpr uint8_t INSTRUCTION_AUTO = 0x01;       /* cycles one after the other until stopped */
constexpr uint8_t INSTRUCTION_SAMPLE_CDS = 0x20; /* latch the CDS level, no cycle */
constexpr uint8_t INSTRUCTION_HOLD = 0x41;       /* automatic cycles pause while the data are read */
constexpr uint8_t COMMAND_V1_CDS = 0x20;         /* version 1: answer the slave's CDS request */
constexpr uint8_t COMMAND_V1_SINGLE = 0x02;      /* version 1: or-ed in for one cycle */
constexpr uint8_t COMMAND_V1_AUTO = 0x01;        /* version 1: or-ed in for automatic cycles */

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
