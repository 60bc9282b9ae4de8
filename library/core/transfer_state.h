/* State of the sensor cycles and of the register control frame: one record behind every BissClass
 * object, whatever the transport. */
#ifndef TARNBUS_TRANSFER_STATE_H
#define TARNBUS_TRANSFER_STATE_H

#include <cstdint>
#include <string>

struct TransferState {
    /* Cycle state of the master-instruction path. */
    bool bCdsRequest = true;   /* the slave raised CDS while no frame ran; answered by the next idle step */
    uint8_t ucFramesDone = 0;  /* registers finished since creation; a count only, nothing waits on it */
    bool bFrameDone = false;   /* a frame ended in the last step; the cycle read next takes it over */
    uint8_t ucLastCommand = 0; /* the cycle command last written to the instruction register */
    uint32_t ulCycleState = 0; /* 0 nothing started, 1 command written, 2 command taken */
    bool bAutoCycles = false;  /* the master runs cycles on its own; the instruction register is left alone */
    bool bStopBeforeCycle = false; /* a cycle failed or ran late: stop the master before the next one */
    uint8_t ucLastCds = 0;         /* the control-channel register as the last batched cycle read it */

    /* Control frame in progress. */
    uint8_t ucFrameMode = 0; /* 0 idle, 1 register read, 2 register write */
    uint8_t ucFrameStep = 0; /* the step whose command goes out next */
    uint8_t ucFrameSlaveId = 0;
    uint8_t ucFrameAddress = 0;
    uint8_t ucShiftData = 0;     /* the byte being written, or the byte read so far */
    uint8_t ucWriteByte = 0;     /* the byte of the write frame as it started */
    uint8_t ucExpectedCds = 0;   /* the CDS level the slave owes for the step just sent */
    uint8_t ucMoreRegisters = 0; /* another register follows in the same frame */
    uint8_t ucStartRetries = 0;  /* idle cycles spent waiting for the slave's start bit */
    std::string strFrameBits;    /* the frame's bits as '0'/'1', for the CRCs */
    std::string strRxCrc;        /* the CRC the slave sent */
    std::string strTxCrc;        /* the CRC the master sends or checks against */
    uint32_t ulCycleCount = 0;   /* cycles counted since the last eStartBissTransfer */
};

#endif
