/* The sensor-cycle engine: what one cycle's answers mean, whichever way the accesses travelled. A cycle
 * is its command, the status polls, then the reads of its instruction, status, control-channel and
 * valid registers and of the slaves' data memory; on a batching transport they are queued together
 * and flushed once. */
#ifndef TARNBUS_CYCLE_ENGINE_H
#define TARNBUS_CYCLE_ENGINE_H

#include <array>
#include <cstdint>
#include <vector>

#include "master_registers.h"
#include "tarnbus/BissReadSensClass.h"

namespace tarnbus {

/* What a cycle reads after itself: the status alone (a frame's cycle), the slaves' data too (a
 * sample), or also the per-slave valid bits (a record kept for the result lists). */
enum class CycleReads {
    Status,
    Sample,
    Record
};

/* The answers of one queued cycle, filled by the flush. */
struct CycleAnswers {
    std::vector<uint8_t> vecPolls; /* the status polls, in order */
    uint8_t ucPending = 0xFF;      /* the instruction register after the polls: 0 once taken */
    uint8_t ucStatus = 0;          /* the status after the polls */
    uint8_t ucCds = 0;             /* the control channel */
    uint8_t ucValidLow = 0, ucValidHigh = 0;
    std::array<uint8_t, DATA_MEMORY_SIZE> aucImage{}; /* addresses not read stay 0 */
    CycleReads eReads = CycleReads::Status;
};

/* The per-slave valid bits sit at the even bits of two registers: slaves 0..3, then 4..7. */
uint8_t ucSlaveValidMask(uint8_t ucLow, uint8_t ucHigh);

/* The status of an ended, valid cycle into the record: valid masks (a clear all-valid bit takes the
 * per-slave bits and is error 5), the status flag, and error 6 for second words that came invalid.
 * False when nothing is to be extracted (error 6). */
bool bTakeCycleStatus(uint8_t ucStatus, uint8_t ucSlaveMask, BissReadSensClass *pRecord);

/* Status polls per cycle for the clock setting MC_E6_LOW5: twice the clock divider, tenfold for the
 * slow clock. */
unsigned uiPollsFor(uint32_t ulE6Low5);

} // namespace tarnbus

#endif
