/* State of the sensor cycles and of the register control frame. One record sits behind every
 * BissClass object and one more belongs to the USB adapter object. */
#ifndef TARNBUS_TRANSFER_STATE_H
#define TARNBUS_TRANSFER_STATE_H

#include <cstdint>
#include <string>

struct TransferState {
    /* Cycle state of the master-instruction path. */
    bool bCdsRequest = true; /* the slave raised CDS while no frame ran; answered by the next idle step */
    uint8_t ucFramesDone = 0;
    bool bFrameDone = false;
    uint8_t ucLastCommand = 0;
    uint32_t ulCycleState = 0; /* 0 nothing started, 1 command written, 2 command taken */
    bool bAutoCycles = false;

    /* Control frame in progress. */
    uint8_t ucFrameMode = 0; /* 0 idle, 1 register read, 2 register write */
    uint8_t ucFrameStep = 0;
    uint8_t ucFrameSlaveId = 0;
    uint8_t ucFrameAddress = 0;
    uint8_t ucShiftData = 0;
    uint8_t ucExpectedCds = 0;
    uint8_t ucMoreRegisters = 0;
    uint8_t ucStartRetries = 0;
    std::string strFrameBits;
    std::string strRxCrc;
    std::string strTxCrc;
    uint32_t ulCycleCount = 0;
};

#endif
