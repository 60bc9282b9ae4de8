/* The FTDI USB adapter: the D2XX device in MPSSE mode and the SPI frames to the master chip. Command
 * bytes are gathered in one of two queues and handed to the device in one write. Queue 0 carries the
 * register frames and the sensor cycles of register mode C; queue 1 is a second prepared sensor cycle
 * whose idle cycles send the control bit 1 instead of 0 (RunUsbCycle on queue 1). A queue is "clean"
 * while it holds no prepared sequence; a prepared one keeps its bytes in the send buffer and is sent
 * again unchanged until a register frame or another command drops it. */
#ifndef TARNBUS_USB_ADAPTER_H
#define TARNBUS_USB_ADAPTER_H

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapter.h"
#include "platform/d2xx.h"
#include "platform/driver_library.h"

#include "tarnbus/BissReadSensClass.h"

class BissClass;
struct TransferState;

/* What a register-mode-C cycle needs from the master's owner: the status polls per cycle
 * (MC_E6_LOW5), whether the CDS checks are off (MC_DATA1_FLAG_A of slave 0), and the owner that
 * unpacks the sensor data. */
struct UsbCycleContext {
    BissClass *pOwner;
    uint32_t ulE6Low5;
    bool bCdsChecksOff;
};

class UsbAdapterClass : public AdapterClass {
public:
    static constexpr unsigned QUEUE_COUNT = 2;
    static constexpr unsigned SERIAL_NUMBER_SIZE = 18;

    /* Nothing is opened yet; the D2XX driver is loaded by the first opening and kept while this object
     * lives. */
    explicit UsbAdapterClass(uint8_t ucE5LowBits);
    ~UsbAdapterClass() override;
    UsbAdapterClass(const UsbAdapterClass &) = delete;
    UsbAdapterClass &operator=(const UsbAdapterClass &) = delete;

    bool bOpen();
    bool bOpenDevice(int iIndex);
    bool bOpenSy2d();

    bool bWriteMaster(uint8_t ucAddress, uint8_t ucData);
    bool bReadMaster(uint8_t ucAddress, uint8_t *pucData);
    BissEnum eReadEotReg(bool *pbEot);

    /* The transport seen from BissClass: one SPI frame per access; a failed frame is
     * BISS_MASTERCOMM_FAILED. End of transmission is bit 0 of master register 0xF0. */
    BissEnum eWriteRegister(uint8_t ucAddress, uint8_t ucData) override;
    BissEnum eReadRegister(uint8_t ucAddress, uint8_t *pucData) override;
    BissEnum eReadEot(bool *pbEot) override { return eReadEotReg(pbEot); }
    void vClose() override;
    /* A USB round trip takes longer than the master needs to take an instruction. */
    bool bSeesPendingInstruction() const override { return false; }

    /* Queue building: bytes are appended to queue 0 or 1. */
    void vAddCommand(uint8_t ucByte, unsigned uiQueue);
    void vAddSelect(unsigned uiQueue);
    void vAddDeselect(unsigned uiQueue);
    bool bQueueClean(unsigned uiQueue) const { return abQueueClean[uiQueue]; }
    void vSetQueueClean(unsigned uiQueue, bool bClean) { abQueueClean[uiQueue] = bClean; }
    /* Hands a queue to the device. With bDiscard the queue is emptied and left clean; without it the
     * bytes stay prepared in the send buffer for the next send. */
    bool bSendQueue(bool bDiscard, unsigned uiQueue);
    bool bPurgeRx();
    /* Reads one whole answer. On a failure or a short answer, the receive queue is purged and the
     * next frame first makes sure that nothing of this answer is still on its way (bBackInStep). */
    bool bReadAnswer(uint8_t *pucBytes, size_t uiCount);
    /* Brings the device back in step after a failed transfer: resets the engine when a write may
     * have been cut short, empties the receive queue and checks, by the engine's echo of an unknown
     * opcode, that no late answer follows. Does nothing after successful transfers. */
    bool bBackInStep();

    /* Register mode C: one sensor cycle in one device write and one device read, prepared on queue 0
     * or 1 (idle command 4 or 2: control bit 0 or 1). Request bits: 1 start a read frame, 2 a write
     * frame, 4 more registers follow, 8 the frame goes on with the next register. Failures are
     * reported in the record's ulError (10 command not taken, 11 transport or no such queue). */
    BissReadSensClass RunUsbCycle(const UsbCycleContext &context, unsigned uiQueue, uint8_t ucRequest,
                                  uint8_t ucSlaveId, uint8_t ucAddress, uint8_t ucData);
    /* Outcomes of the register paths. */
    static constexpr uint8_t USB_DONE = 0;
    static constexpr uint8_t USB_TIMED_OUT = 2;    /* slave not ready, or cycle command not taken */
    static constexpr uint8_t USB_CRC_FAILED = 3;   /* register byte with a wrong CRC */
    static constexpr uint8_t USB_NO_ANSWER = 4;    /* no acknowledge, or no start bit */
    static constexpr uint8_t USB_WRITE_FAILED = 7; /* another cycle failure in a write */
    static constexpr uint8_t USB_READ_FAILED = 9;  /* another cycle failure in a read */
    static constexpr uint8_t USB_TRANSPORT_FAILED = 10;
    /* Registers of one slave, one control frame each, chained. *pulDone / *pulRead: registers that
     * completed. Every way out leaves the frame idle. */
    uint8_t RunUsbRegisterWrite(const UsbCycleContext &context, uint8_t ucSlaveId, uint8_t ucAddress,
                                uint32_t ulCount, const uint8_t *pucData, uint32_t *pulDone);
    uint8_t RunUsbRegisterRead(const UsbCycleContext &context, uint8_t ucSlaveId, uint8_t ucAddress,
                               uint32_t ulCount, uint8_t *pucData, uint32_t *pulRead);

private:
    /* Drops a prepared sequence so that a register frame starts on an empty queue. */
    void vDropPrepared(unsigned uiQueue);
    bool bWriteDevice(const uint8_t *pucBytes, size_t uiCount);
    /* The steps of opening after the device itself: queues, latency, MPSSE, time-outs, pins, serial. */
    bool bConfigure();
    /* Pins, clock and loop-back as a register frame expects them (queue 0, sent at once). */
    bool bSetUpEngine();
    bool bResetEngine();
    /* Trace lines for a failed driver call, naming the master register of the frame under way. */
    std::string strFrameRegister() const;
    bool bCallOk(const char *strCall, FT_STATUS status) const;
    void vTraceTransfer(const char *strCall, FT_STATUS status, DWORD ulDone, size_t uiAsked) const;
    /* Sends an unknown opcode and reads its echo; true when the echo is the first thing read. */
    bool bEchoAnswers();

    /* Register mode C. */
    uint8_t ucUsbSlaveCount() const;
    void vBuildCycle(unsigned uiQueue, uint8_t ucCommand, unsigned uiPolls);
    uint8_t ucUsbReadyWait(const UsbCycleContext &context);
    uint8_t ucUsbAbort();
    void vUsbFallIdle(const UsbCycleContext &context);
    /* A register whose frame failed: an abort when the master did not take the cycle command, else
     * the slave's channel falls idle and the failure is named (ucOther when no frame check names it). */
    uint8_t ucUsbFrameFailed(const UsbCycleContext &context, uint32_t ulError, uint8_t ucOther);
    BissReadSensClass RunUsbRegisterFrame(const UsbCycleContext &context, uint8_t ucRequest,
                                          uint8_t ucSlaveId, uint8_t ucAddress, uint8_t ucData, bool bRead);

    std::unique_ptr<TransferState> pTransferState; /* the control frame the USB cycles carry */
    uint8_t ucE5LowBits;                           /* master configuration item 2 at creation: slave count */
    std::unique_ptr<tarnbus::D2xxDriver> pDriver;  /* null when the driver cannot be loaded */
    FT_HANDLE hDevice = nullptr;
    std::array<std::vector<uint8_t>, QUEUE_COUNT> avecQueue;
    std::array<std::unique_ptr<uint8_t[]>, QUEUE_COUNT> apSendBuffer; /* a prepared sequence, or null */
    std::array<size_t, QUEUE_COUNT> auiSendBufferSize{};
    std::array<bool, QUEUE_COUNT> abQueueClean{true, true};
    /* The adapter's serial number from its EEPROM, read at opening; kept with the open device. */
    std::array<char, SERIAL_NUMBER_SIZE> acSerialNumber{};
    bool bOutOfStep = false; /* a write may have been cut short inside a command */
    bool bRxSuspect = false; /* an answer failed: older bytes may still arrive */
    int iFrameRegister = -1; /* master register of the frame under way; -1 while setting up */
    /* The cycle command and status polls the prepared transfer of each queue carries. */
    std::array<uint8_t, QUEUE_COUNT> aucPreparedCommand{};
    std::array<unsigned, QUEUE_COUNT> auiPreparedPolls{};
    int32_t lSy2dHandle = -1; /* the kind-5 adapter has no transport; this never changes */
};

#endif
