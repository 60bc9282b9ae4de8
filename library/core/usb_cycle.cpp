// Register mode C on the USB adapter: every sensor cycle is one batched transfer (the cycle command,
// the status polls, the status and CDS registers and the slaves' data memory go out in one device write
// and come back in one device read), and the control frame rides on the cycles one bit at a time.
#include "usb_adapter.h"

#include <array>

#include "control_frame.h"
#include "platform/clock.h"
#include "tarnbus/BissClass.h"
#include "transfer_state.h"

using namespace tarnbus;

namespace {

constexpr uint8_t REG_STATUS = 0xF0;
constexpr uint8_t REG_ERRORS_LOW = 0xF1;
constexpr uint8_t REG_ERRORS_HIGH = 0xF2;
constexpr uint8_t REG_CONTROL = 0xF3; // bit 7 slave ready, bit 6 CDS
constexpr uint8_t REG_INSTRUCTION = 0xF4;
constexpr uint8_t INSTRUCTION_ABORT = 0x80;
constexpr uint8_t CONTROL_READY = 0x80;

constexpr uint8_t MPSSE_BYTES_OUT = 0x11;
constexpr uint8_t MPSSE_BYTES_OUT_IN = 0x35;
constexpr uint8_t MPSSE_SEND_IMMEDIATE = 0x87;
constexpr uint8_t SPI_WRITE = 0x02;
constexpr uint8_t SPI_READ = 0x03;

constexpr uint32_t CYCLE_ERROR_NOT_TAKEN = 10;
constexpr uint32_t CYCLE_ERROR_TRANSPORT = 11;
constexpr uint32_t CYCLE_ERROR_NO_SECOND_DATA = 6;

constexpr unsigned IDLE_CYCLES_AFTER_ERROR = 14; // the slave's control channel falls idle
constexpr unsigned IMAGE_SIZE = 128;

// Request bits of one cycle.
constexpr uint8_t REQ_READ = 1;
constexpr uint8_t REQ_WRITE = 2;
constexpr uint8_t REQ_CHAINED = 4;
constexpr uint8_t REQ_NEXT_REGISTER = 8;

} // namespace

uint8_t UsbAdapterClass::ucUsbSlaveCount() const
{
    return ucE5LowBits > 7 ? 7 : ucE5LowBits;
}

void UsbAdapterClass::vBuildCycle(unsigned uiQueue, uint8_t ucCommand, unsigned uiPolls)
{
    auto &q = avecQueue[uiQueue];
    vAddSelect(uiQueue);
    q.insert(q.end(), {MPSSE_BYTES_OUT, uint8_t(0x02), uint8_t(0x00), SPI_WRITE, REG_INSTRUCTION, ucCommand});
    vAddDeselect(uiQueue);
    auto vRead = [&](uint8_t ucAddress) {
        vAddSelect(uiQueue);
        q.insert(q.end(),
                 {MPSSE_BYTES_OUT_IN, uint8_t(0x02), uint8_t(0x00), SPI_READ, ucAddress, uint8_t(0)});
        vAddDeselect(uiQueue);
    };
    for (unsigned i = 0; i < uiPolls; ++i)
        vRead(REG_STATUS);
    vRead(REG_INSTRUCTION);
    vRead(REG_STATUS);
    vRead(REG_CONTROL);
    for (unsigned s = 0; s <= ucUsbSlaveCount(); ++s) {
        for (unsigned i = 0; i < 8; ++i)
            vRead(static_cast<uint8_t>(8 * s + i));
        for (unsigned i = 0; i < 8; ++i)
            vRead(static_cast<uint8_t>(0x40 + 8 * s + i));
    }
    vAddCommand(MPSSE_SEND_IMMEDIATE, uiQueue);
}

BissReadSensClass UsbAdapterClass::RunUsbCycle(const UsbCycleContext &context, unsigned uiQueue,
                                               uint8_t ucRequest, uint8_t ucSlaveId, uint8_t ucAddress,
                                               uint8_t ucData)
{
    BissReadSensClass record;
    TransferState &state = *pTransferState;
    if (uiQueue >= QUEUE_COUNT) {
        record.ulError = CYCLE_ERROR_TRANSPORT;
        return record;
    }

    const uint32_t ulPollField = context.ulE6Low5;
    const unsigned uiPolls = (ulPollField & 0x10 ? 20 : 2) * (ulPollField & 0x0F);
    const bool bCheckCds = !context.bCdsChecksOff;

    if (ucRequest & (REQ_READ | REQ_WRITE)) {
        vStartFrame(state, ucRequest & REQ_READ ? FRAME_READ : FRAME_WRITE, ucSlaveId, ucAddress, ucData,
                    (ucRequest & REQ_NEXT_REGISTER) != 0);
    }
    uint8_t ucCommand = uiQueue == 0 ? CMD_BIT_0 : CMD_BIT_1; // idle
    if (state.ucFrameMode != FRAME_IDLE) {
        state.ucMoreRegisters = (ucRequest & REQ_CHAINED) ? 1 : 0;
        ucCommand = ucFrameCommand(state, CMD_START_BIT_0);
    }

    if (!bBackInStep()) {
        record.ulError = CYCLE_ERROR_TRANSPORT;
        return record;
    }
    // The transfer is prepared once and sent again as long as the command stays the same.
    if (bQueueClean(uiQueue) || aucPreparedCommand[uiQueue] != ucCommand ||
        auiPreparedPolls[uiQueue] != uiPolls) {
        vDropPrepared(uiQueue);
        avecQueue[uiQueue].clear();
        vBuildCycle(uiQueue, ucCommand, uiPolls);
        aucPreparedCommand[uiQueue] = ucCommand;
        auiPreparedPolls[uiQueue] = uiPolls;
    }
    const size_t uiReads = uiPolls + 3 + 16 * (ucUsbSlaveCount() + 1);
    std::vector<uint8_t> vecAnswer(3 * uiReads);
    const bool bSent = bSendQueue(false, uiQueue);
    vSetQueueClean(uiQueue, false);
    if (!bSent || !bReadAnswer(vecAnswer.data(), vecAnswer.size())) {
        record.ulError = CYCLE_ERROR_TRANSPORT;
        return record;
    }
    auto ucAnswer = [&](size_t uiIndex) { return vecAnswer[3 * uiIndex + 2]; };

    if (ucAnswer(uiPolls) != 0) {
        record.ulError = CYCLE_ERROR_NOT_TAKEN;
        return record;
    }
    const uint8_t ucStatus = ucAnswer(uiPolls + 1);
    const bool bCds = (ucAnswer(uiPolls + 2) & CDS_HIGH) != 0;
    record.ucStatus = ucStatus;

    FrameOutcome outcome;
    vEvaluateFrameCycle(state, bCds, bCheckCds, &outcome);
    record.bFrameComplete = outcome.bComplete ? 1 : 0;
    record.ucRegisterData = outcome.ucRegisterData;
    record.ucFailStep = outcome.ucFailStep;
    if (outcome.ulError != 0) {
        record.ulError = outcome.ulError;
        return record;
    }

    if (!(ucStatus & 0x40)) {
        record.ulError = 4;
        return record;
    }
    if (ucStatus & 0x10) {
        record.ucValidMask = 0xFF;
    } else if (record.bFrameComplete) {
        // The frame's last check has passed; the sensor data of this cycle are not needed.
        record.ucValidMask = 0xFF;
        return record;
    } else {
        uint8_t ucLow = 0, ucHigh = 0;
        if (!bReadMaster(REG_ERRORS_LOW, &ucLow) || !bReadMaster(REG_ERRORS_HIGH, &ucHigh)) {
            record.ulError = CYCLE_ERROR_TRANSPORT;
            return record;
        }
        auto ucEven = [](uint8_t uc) {
            return static_cast<uint8_t>((uc & 1) | ((uc >> 1) & 2) | ((uc >> 2) & 4) | ((uc >> 3) & 8));
        };
        record.ucValidMask = static_cast<uint8_t>(ucEven(ucLow) | (ucEven(ucHigh) << 4));
        record.ulError = 5;
    }
    record.bStatusFlag = (ucStatus & 0x02) ? 1 : 0;
    if ((ucStatus & 0x20) || !(ucStatus & 0x02)) {
        // Addresses the transfer did not read stay 0.
        std::array<uint8_t, IMAGE_SIZE> aucImage{};
        size_t uiIndex = uiPolls + 3;
        for (unsigned s = 0; s <= ucUsbSlaveCount(); ++s) {
            for (unsigned i = 0; i < 8; ++i)
                aucImage[8 * s + i] = ucAnswer(uiIndex++);
            for (unsigned i = 0; i < 8; ++i)
                aucImage[0x40 + 8 * s + i] = ucAnswer(uiIndex++);
        }
        const uint32_t ulError = record.ulError;
        context.pOwner->eExtractSensData(&record, aucImage.data());
        if (record.ulError == 0)
            record.ulError = ulError;
    } else {
        record.ulError = CYCLE_ERROR_NO_SECOND_DATA;
    }
    return record;
}

uint8_t UsbAdapterClass::ucUsbAbort()
{
    vAbandonFrame(*pTransferState);
    bWriteMaster(REG_INSTRUCTION, INSTRUCTION_ABORT);
    return USB_TIMED_OUT;
}

void UsbAdapterClass::vUsbFallIdle(const UsbCycleContext &context)
{
    vAbandonFrame(*pTransferState);
    for (unsigned i = 0; i < IDLE_CYCLES_AFTER_ERROR; ++i)
        RunUsbCycle(context, 0, 0, 0, 0, 0);
}

uint8_t UsbAdapterClass::ucUsbFrameFailed(const UsbCycleContext &context, uint32_t ulError, uint8_t ucOther)
{
    if (ulError == CYCLE_ERROR_NOT_TAKEN)
        return ucUsbAbort();
    vUsbFallIdle(context);
    if (ulError == FRAME_ERROR_NO_ACK || ulError == FRAME_ERROR_NO_START)
        return USB_NO_ANSWER;
    return ulError == FRAME_ERROR_CRC ? USB_CRC_FAILED : ucOther;
}

uint8_t UsbAdapterClass::ucUsbReadyWait(const UsbCycleContext &context)
{
    uint8_t ucControl = 0;
    if (!bReadMaster(REG_CONTROL, &ucControl))
        return USB_TRANSPORT_FAILED;
    const uint64_t ullStart = ullTickMs();
    while (!(ucControl & CONTROL_READY)) {
        if (bTimedOut(ullStart, TIME_LIMIT_MS))
            return USB_TIMED_OUT;
        const BissReadSensClass record = RunUsbCycle(context, 0, 0, 0, 0, 0);
        if (record.ulError == CYCLE_ERROR_NOT_TAKEN)
            return ucUsbAbort();
        if (record.ulError == CYCLE_ERROR_TRANSPORT || !bReadMaster(REG_CONTROL, &ucControl))
            return USB_TRANSPORT_FAILED;
    }
    return USB_DONE;
}

// One register's frame, from its first cycle until it completes or fails. A cycle that fails ends the
// frame (its machine has stopped, or the caller leaves it idle).
BissReadSensClass UsbAdapterClass::RunUsbRegisterFrame(const UsbCycleContext &context, uint8_t ucRequest,
                                                       uint8_t ucSlaveId, uint8_t ucAddress, uint8_t ucData,
                                                       bool bRead)
{
    const uint8_t ucChain = ucRequest & REQ_CHAINED;
    BissReadSensClass record = RunUsbCycle(context, 0, ucRequest, ucSlaveId, ucAddress, ucData);
    auto bGoOn = [&] {
        const bool bNoError = record.ulError == 0 || (bRead && record.ulError == CYCLE_ERROR_NO_SECOND_DATA);
        return bNoError && !record.bFrameComplete && pTransferState->ucFrameMode != FRAME_IDLE;
    };
    while (bGoOn())
        record = RunUsbCycle(context, 0, ucChain, ucSlaveId, ucAddress, ucData);
    if (bRead && record.ulError == CYCLE_ERROR_NO_SECOND_DATA)
        record.ulError = 0;
    return record;
}

uint8_t UsbAdapterClass::RunUsbRegisterWrite(const UsbCycleContext &context, uint8_t ucSlaveId,
                                             uint8_t ucAddress, uint32_t ulCount, const uint8_t *pucData,
                                             uint32_t *pulDone)
{
    *pulDone = 0;
    const uint8_t ucReady = ucUsbReadyWait(context);
    if (ucReady != USB_DONE) {
        vAbandonFrame(*pTransferState);
        return ucReady;
    }
    // Each register's frame is finished before the next one goes on from it; the first failure ends
    // the write.
    for (uint32_t i = 0; i < ulCount; ++i) {
        const uint8_t ucChain = i + 1 < ulCount ? REQ_CHAINED : 0;
        const uint8_t ucRequest = static_cast<uint8_t>(REQ_WRITE | (i > 0 ? REQ_NEXT_REGISTER : 0) | ucChain);
        const BissReadSensClass record = RunUsbRegisterFrame(
            context, ucRequest, ucSlaveId, static_cast<uint8_t>(ucAddress + i), pucData[i], false);
        if (record.ulError != 0)
            return ucUsbFrameFailed(context, record.ulError, USB_WRITE_FAILED);
        *pulDone = i + 1;
    }
    return USB_DONE;
}

uint8_t UsbAdapterClass::RunUsbRegisterRead(const UsbCycleContext &context, uint8_t ucSlaveId,
                                            uint8_t ucAddress, uint32_t ulCount, uint8_t *pucData,
                                            uint32_t *pulRead)
{
    *pulRead = 0;
    const uint8_t ucReady = ucUsbReadyWait(context);
    if (ucReady != USB_DONE) {
        vAbandonFrame(*pTransferState);
        return ucReady;
    }
    for (uint32_t i = 0; i < ulCount; ++i) {
        const uint8_t ucChain = i + 1 < ulCount ? REQ_CHAINED : 0;
        const uint8_t ucRequest = static_cast<uint8_t>(REQ_READ | (i > 0 ? REQ_NEXT_REGISTER : 0) | ucChain);
        const BissReadSensClass record =
            RunUsbRegisterFrame(context, ucRequest, ucSlaveId, static_cast<uint8_t>(ucAddress + i), 0, true);
        if (record.ulError == CYCLE_ERROR_TRANSPORT) {
            vAbandonFrame(*pTransferState);
            return USB_TRANSPORT_FAILED;
        }
        if (record.ulError != 0)
            return ucUsbFrameFailed(context, record.ulError, USB_READ_FAILED);
        pucData[i] = record.ucRegisterData;
        *pulRead = i + 1;
    }
    return USB_DONE;
}
