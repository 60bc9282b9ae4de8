/* The FTDI USB adapter: the D2XX device in MPSSE mode and the SPI frames to the master chip. A single
 * access is one SPI frame sent at once; a batch gathers the frames of many accesses and hands them to
 * the device in one write, with one read for all their answers. */
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

class UsbAdapterClass : public AdapterClass {
public:
    static constexpr unsigned SERIAL_NUMBER_SIZE = 18;
    /* The adapter's transmit and receive buffers: one exchange of a batch fills at most one of each. */
    static constexpr size_t DEVICE_BUFFER_SIZE = 4096;

    /* Nothing is opened yet; the D2XX driver is loaded by the first opening and kept while this object
     * lives. */
    UsbAdapterClass();
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

    /* The batch: the frames of all queued accesses in one device write (split only where the device's
     * buffers would overflow), every answer in one device read. */
    void vQueueWrite(uint8_t ucAddress, uint8_t ucData) override;
    void vQueueRead(uint8_t ucAddress, uint8_t *pucInto) override;
    BissEnum eFlush() override;
    bool bBatches() const override { return true; }
    unsigned uiAccessesPerExchange() const override;

    bool bPurgeRx();
    /* Reads one whole answer. On a failure or a short answer, the receive queue is purged and the
     * next frame first makes sure that nothing of this answer is still on its way (bBackInStep). */
    bool bReadAnswer(uint8_t *pucBytes, size_t uiCount);
    /* Brings the device back in step after a failed transfer: resets the engine when a write may
     * have been cut short, empties the receive queue and checks, by the engine's echo of an unknown
     * opcode, that no late answer follows. Does nothing after successful transfers. */
    bool bBackInStep();

private:
    void vAddSelect(std::vector<uint8_t> &vecBytes) const;
    void vAddDeselect(std::vector<uint8_t> &vecBytes) const;
    /* One access's SPI frame: select, the command, address and data, deselect. */
    void vAddFrame(std::vector<uint8_t> &vecBytes, bool bRead, uint8_t ucAddress, uint8_t ucData) const;
    /* Hands bytes to the device; a write cut short marks the engine out of step. */
    bool bWriteDevice(const uint8_t *pucBytes, size_t uiCount);
    /* One exchange of a batch: frames of accesses [uiFirst, uiEnd) and their answers. */
    bool bExchange(size_t uiFirst, size_t uiEnd, std::vector<uint8_t> &vecAnswers);
    /* The steps of opening after the device itself: latency, MPSSE, time-outs, pins, serial. */
    bool bConfigure();
    /* Pins, clock and loop-back as a register frame expects them (sent at once). */
    bool bSetUpEngine();
    bool bResetEngine();
    /* Trace lines for a failed driver call, naming the master register of the frame under way. */
    std::string strFrameRegister() const;
    bool bCallOk(const char *strCall, FT_STATUS status) const;
    void vTraceTransfer(const char *strCall, FT_STATUS status, DWORD ulDone, size_t uiAsked) const;
    /* Sends an unknown opcode and reads its echo; true when the echo is the first thing read. */
    bool bEchoAnswers();

    /* One queued access of the batch; ucData is the value written, pucInto where a read's answer goes. */
    struct QueuedAccess {
        bool bRead;
        uint8_t ucAddress;
        uint8_t ucData;
        uint8_t *pucInto;
    };

    std::unique_ptr<tarnbus::D2xxDriver> pDriver; /* null when the driver cannot be loaded */
    FT_HANDLE hDevice = nullptr;
    std::vector<uint8_t> vecSend;       /* the bytes of one device write */
    std::vector<QueuedAccess> vecBatch; /* the batch under way */
    /* The adapter's serial number from its EEPROM, read at opening; kept with the open device. */
    std::array<char, SERIAL_NUMBER_SIZE> acSerialNumber{};
    bool bOutOfStep = false;  /* a write may have been cut short inside a command */
    bool bRxSuspect = false;  /* an answer failed: older bytes may still arrive */
    int iFrameRegister = -1;  /* master register of the frame under way; -1 while setting up */
    int32_t lSy2dHandle = -1; /* the kind-5 adapter has no transport; this never changes */
};

#endif
