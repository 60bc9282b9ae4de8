/* The register control frame of register mode C: one control bit (CDM) per sensor cycle from the
 * master, one answer bit (CDS) per cycle from the slave. The machine lives in a TransferState; the
 * cycle engines ask it for each cycle's command and hand it the CDS bit the cycle brought back. */
#ifndef TARNBUS_CONTROL_FRAME_H
#define TARNBUS_CONTROL_FRAME_H

#include <cstdint>
#include <vector>

#include "master_registers.h"
#include "tarnbus/BissReadSensClass.h"
#include "transfer_state.h"

namespace tarnbus {

/* Frame modes; the cycle commands that carry the frame bits are the master's (master_registers.h). */
constexpr uint8_t FRAME_IDLE = 0;
constexpr uint8_t FRAME_READ = 1;
constexpr uint8_t FRAME_WRITE = 2;

/* Cycle errors of the frame. */
constexpr uint32_t FRAME_ERROR_NO_ACK = CYCLE_NO_ACK;
constexpr uint32_t FRAME_ERROR_CRC = CYCLE_CRC_FAILED;
constexpr uint32_t FRAME_ERROR_NO_START = CYCLE_NO_START_BIT;

/* The first step of a register that continues the frame of the one before (no new header). */
constexpr uint8_t FRAME_STEP_NEXT_REGISTER = 18;
/* Cycles the slave is given to send its start bit. */
constexpr uint8_t FRAME_START_RETRIES = 100;

/* What one cycle's answer did to the frame; the cycle engines copy it into the cycle record. */
struct FrameOutcome {
    uint32_t ulError = 0;       /* 0, or FRAME_ERROR_*: the frame has ended without its register */
    uint8_t ucFailStep = 0;     /* the step whose answer was wrong (error 7) */
    bool bComplete = false;     /* the register's frame ended with every check passed */
    uint8_t ucRegisterData = 0; /* the register byte, when complete */
};

/* Starts the frame of a register: the first of a request at step 0 with the header, a following one of
 * the same request at step 18. ucMoreRegisters is the caller's to set. */
void vStartFrame(TransferState &state, uint8_t ucMode, uint8_t ucSlaveId, uint8_t ucAddress, uint8_t ucData,
                 bool bNextRegister);

/* The command for the step due now, advancing to the next step; the frame's last command marks it done
 * (bFrameDone) so that the answer of that cycle closes it. ucStep19Zero is the command for a 0 bit at
 * write step 19 and for read step 19, which the cycle engine picks for its master. */
uint8_t ucFrameCommand(TransferState &state, uint8_t ucStep19Zero);

/* True when the answer of the cycle just run is checked: a frame runs and the step just sent is one of
 * 17..32. */
bool bFrameCdsDue(const TransferState &state);

/* Takes the answer of the cycle just run. With bCheck the CDS bit is checked against the frame (no
 * acknowledge, the wait for the slave's start bit, the data and CRC of a read); without it (CDS checks
 * off) only the frame's end is taken. Ends the frame on an error or when its register is done. */
void vEvaluateFrameCycle(TransferState &state, bool bCds, bool bCheck, FrameOutcome *pOutcome);

/* The bits that finish a write's byte broken off after one of the frame steps iFirstSent..iLastSent
 * (any of them may have been the last to reach the slave), chosen so that however many of them the
 * slave has, the byte's CRC fails and the slave commits nothing. Empty when the slave cannot be inside
 * the byte. */
std::vector<bool> vecFinishingBits(uint8_t ucData, int iFirstSent, int iLastSent);

/* Leaves no frame running: a later cycle must never finish a frame its caller gave up. */
void vAbandonFrame(TransferState &state);

} // namespace tarnbus

#endif
