#include "usb_adapter.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "master_registers.h"
#include "platform/trace.h"
#include "transfer_state.h"

namespace {

// Low GPIO byte: clock, data out, chip select and bit 4 are outputs; data in is an input.
constexpr uint8_t GPIO_DIRECTION = 0x1B;
constexpr uint8_t GPIO_SELECTED = 0x10; // chip select low
constexpr uint8_t GPIO_IDLE = 0x18;     // chip select high

constexpr uint8_t MPSSE_SET_LOW = 0x80;
constexpr uint8_t MPSSE_SET_HIGH = 0x82;
constexpr uint8_t MPSSE_DIVISOR = 0x86;
constexpr uint8_t MPSSE_LOOPBACK_OFF = 0x85;
constexpr uint8_t MPSSE_BYTES_OUT = 0x11;
constexpr uint8_t MPSSE_BYTES_OUT_IN = 0x35;
constexpr uint8_t MPSSE_SEND_IMMEDIATE = 0x87;
constexpr uint8_t MPSSE_BAD_COMMAND = 0xAA;        // an opcode the engine does not know
constexpr uint8_t MPSSE_BAD_COMMAND_ANSWER = 0xFA; // the engine's answer to one, before the opcode

constexpr uint8_t SPI_WRITE = 0x02;
constexpr uint8_t SPI_READ = 0x03;

constexpr uint32_t DEVICE_TIMEOUT_MS = 1000;
constexpr uint8_t LATENCY_MS = 16;

} // namespace

UsbAdapterClass::UsbAdapterClass(uint8_t ucE5LowBits)
    : pTransferState(std::make_unique<TransferState>()), ucE5LowBits(ucE5LowBits)
{
    for (auto &vecQueue : avecQueue)
        vecQueue.reserve(64);
}

UsbAdapterClass::~UsbAdapterClass()
{
    vClose();
}

void UsbAdapterClass::vClose()
{
    if (hDevice && pDriver)
        pDriver->pClose(hDevice);
    hDevice = nullptr;
}

std::string UsbAdapterClass::strFrameRegister() const
{
    char acText[32];
    if (iFrameRegister < 0)
        return ", setting the device up";
    std::snprintf(acText, sizeof acText, ", master register 0x%02X", static_cast<unsigned>(iFrameRegister));
    return acText;
}

bool UsbAdapterClass::bCallOk(const char *strCall, FT_STATUS status) const
{
    if (status == FT_OK)
        return true;
    tarnbus::vTrace("%s failed: status %u%s", strCall, static_cast<unsigned>(status),
                    strFrameRegister().c_str());
    return false;
}

void UsbAdapterClass::vTraceTransfer(const char *strCall, FT_STATUS status, DWORD ulDone,
                                     size_t uiAsked) const
{
    tarnbus::vTrace("%s failed: status %u, %u of %u bytes%s", strCall, static_cast<unsigned>(status),
                    static_cast<unsigned>(ulDone), static_cast<unsigned>(uiAsked),
                    strFrameRegister().c_str());
}

bool UsbAdapterClass::bOpenDevice(int iIndex)
{
    if (!pDriver)
        pDriver = tarnbus::D2xxDriver::pLoad(tarnbus::strD2xxPath());
    if (!pDriver)
        return false;
    if (hDevice) {
        pDriver->pClose(hDevice); // a device left open by an earlier opening; its status does not matter
        hDevice = nullptr;
    }
    FT_HANDLE hNew = nullptr;
    if (!bCallOk("FT_Open", pDriver->pOpen(iIndex, &hNew)))
        return false;
    hDevice = hNew;
    return true;
}

bool UsbAdapterClass::bOpen()
{
    if (!bOpenDevice(0))
        return false;
    if (bConfigure())
        return true;
    // A device left half set up would take register frames as plain data: let it go instead, so that
    // every later access fails without reaching it.
    pDriver->pClose(hDevice);
    hDevice = nullptr;
    return false;
}

bool UsbAdapterClass::bConfigure()
{
    bOutOfStep = false;
    bRxSuspect = false;
    iFrameRegister = -1;
    for (unsigned q = 0; q < QUEUE_COUNT; ++q) {
        avecQueue[q].clear();
        if (!abQueueClean[q]) {
            apSendBuffer[q].reset();
            abQueueClean[q] = true;
        }
    }
    if (!bCallOk("FT_SetLatencyTimer", pDriver->pSetLatencyTimer(hDevice, LATENCY_MS)))
        return false;
    if (!bCallOk("FT_SetBitMode", pDriver->pSetBitMode(hDevice, 0x00, FT_BITMODE_RESET)))
        return false;
    if (!bCallOk("FT_SetBitMode", pDriver->pSetBitMode(hDevice, 0x00, FT_BITMODE_MPSSE)))
        return false;
    if (!bCallOk("FT_SetTimeouts", pDriver->pSetTimeouts(hDevice, DEVICE_TIMEOUT_MS, DEVICE_TIMEOUT_MS)))
        return false;

    // Chip deselected, high byte bits 1 and 3 driven low, fastest clock, no loop-back.
    if (!bSetUpEngine())
        return false;
    if (!bPurgeRx())
        return false;

    // The serial number is a courtesy; an adapter without EEPROM still works.
    char acManufacturer[32] = {};
    char acManufacturerId[16] = {};
    char acDescription[64] = {};
    acSerialNumber.fill(0);
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature1 = 0x00000000;
    data.Signature2 = 0xFFFFFFFF;
    data.Manufacturer = acManufacturer;
    data.ManufacturerId = acManufacturerId;
    data.Description = acDescription;
    data.SerialNumber = acSerialNumber.data();
    pDriver->pEeRead(hDevice, &data);
    acSerialNumber.back() = '\0';
    return true;
}

bool UsbAdapterClass::bOpenSy2d()
{
    return lSy2dHandle >= 0;
}

void UsbAdapterClass::vAddCommand(uint8_t ucByte, unsigned uiQueue)
{
    avecQueue[uiQueue].push_back(ucByte);
}

void UsbAdapterClass::vAddSelect(unsigned uiQueue)
{
    auto &q = avecQueue[uiQueue];
    q.insert(q.end(), {MPSSE_SET_LOW, GPIO_SELECTED, GPIO_DIRECTION});
}

void UsbAdapterClass::vAddDeselect(unsigned uiQueue)
{
    auto &q = avecQueue[uiQueue];
    q.insert(q.end(), {MPSSE_SET_LOW, GPIO_IDLE, GPIO_DIRECTION});
}

bool UsbAdapterClass::bWriteDevice(const uint8_t *pucBytes, size_t uiCount)
{
    if (!hDevice || !pDriver)
        return false;
    DWORD ulWritten = 0;
    FT_STATUS status =
        pDriver->pWrite(hDevice, const_cast<uint8_t *>(pucBytes), static_cast<DWORD>(uiCount), &ulWritten);
    if (status == FT_OK && ulWritten == uiCount)
        return true;
    vTraceTransfer("FT_Write", status, ulWritten, uiCount);
    // A write cut short leaves the MPSSE engine inside a command, where it would take the next frame's
    // bytes as that command's arguments and never find its way back; the next frame starts afresh.
    // A write that failed outright may have been cut short as well: the driver does not say how much
    // of it reached the device.
    if (status != FT_OK || ulWritten > 0)
        bOutOfStep = true;
    return false;
}

bool UsbAdapterClass::bSetUpEngine()
{
    static const uint8_t aucSetup[] = {
        MPSSE_SET_LOW, GPIO_IDLE,     GPIO_DIRECTION, MPSSE_SET_HIGH, 0x00,
        0x0A,          MPSSE_DIVISOR, 0x00,           0x00,           MPSSE_LOOPBACK_OFF};
    vDropPrepared(0);
    avecQueue[0].assign(std::begin(aucSetup), std::end(aucSetup));
    return bSendQueue(true, 0);
}

bool UsbAdapterClass::bResetEngine()
{
    // Only a reset brings the engine out of an unfinished command; then it is set up as at opening.
    return bCallOk("FT_SetBitMode", pDriver->pSetBitMode(hDevice, 0x00, FT_BITMODE_RESET)) &&
           bCallOk("FT_SetBitMode", pDriver->pSetBitMode(hDevice, 0x00, FT_BITMODE_MPSSE)) && bSetUpEngine();
}

bool UsbAdapterClass::bEchoAnswers()
{
    // An opcode the engine does not know comes back at once as 0xFA and the opcode: the first
    // bytes read after it are that echo only when nothing older is still on its way.
    static const uint8_t aucProbe[] = {MPSSE_BAD_COMMAND, MPSSE_SEND_IMMEDIATE};
    if (!bWriteDevice(aucProbe, sizeof aucProbe))
        return false;
    uint8_t aucEcho[2] = {};
    DWORD ulRead = 0;
    FT_STATUS status = pDriver->pRead(hDevice, aucEcho, sizeof aucEcho, &ulRead);
    if (status == FT_OK && ulRead == sizeof aucEcho && aucEcho[0] == MPSSE_BAD_COMMAND_ANSWER &&
        aucEcho[1] == MPSSE_BAD_COMMAND)
        return true;
    if (status == FT_OK && ulRead == sizeof aucEcho)
        tarnbus::vTrace("resynchronisation: an old answer (%02X %02X) came before the echo%s", aucEcho[0],
                        aucEcho[1], strFrameRegister().c_str());
    else
        vTraceTransfer("FT_Read", status, ulRead, sizeof aucEcho);
    return false;
}

bool UsbAdapterClass::bBackInStep()
{
    if (!bOutOfStep && !bRxSuspect)
        return true;
    if (!hDevice || !pDriver)
        return false;
    // After a failed transfer the engine may be inside a command and answers may still be on their
    // way; the next frame goes out only once an echo shows that the receive queue holds nothing old.
    // A second round with the engine reset catches an echo swallowed by an unfinished command.
    for (int iRound = 0; iRound < 2; ++iRound) {
        if (bOutOfStep || iRound > 0) {
            if (!bResetEngine()) {
                bOutOfStep = true;
                return false;
            }
            bOutOfStep = false;
        }
        if (!bPurgeRx())
            return false;
        if (bEchoAnswers()) {
            bRxSuspect = false;
            return true;
        }
        bRxSuspect = true;
    }
    return false;
}

bool UsbAdapterClass::bSendQueue(bool bDiscard, unsigned uiQueue)
{
    auto &q = avecQueue[uiQueue];
    auto &pBuffer = apSendBuffer[uiQueue];
    if (!pBuffer && bDiscard) {
        // A one-off sequence goes out straight from the queue: the device copies it before returning.
        bool bOk = bWriteDevice(q.data(), q.size());
        q.clear();
        abQueueClean[uiQueue] = true;
        return bOk;
    }
    if (!pBuffer) {
        pBuffer = std::make_unique<uint8_t[]>(q.size() ? q.size() : 1);
        std::memcpy(pBuffer.get(), q.data(), q.size());
        auiSendBufferSize[uiQueue] = q.size();
    }
    // A prepared buffer goes out as it was made; its length is the one recorded with it.
    size_t uiCount = auiSendBufferSize[uiQueue];
    if (bDiscard) {
        q.clear();
        abQueueClean[uiQueue] = true;
    }
    bool bOk = bWriteDevice(pBuffer.get(), uiCount);
    if (bDiscard)
        pBuffer.reset();
    return bOk;
}

bool UsbAdapterClass::bPurgeRx()
{
    if (!hDevice || !pDriver)
        return false;
    return bCallOk("FT_Purge", pDriver->pPurge(hDevice, FT_PURGE_RX));
}

void UsbAdapterClass::vDropPrepared(unsigned uiQueue)
{
    if (!abQueueClean[uiQueue]) {
        avecQueue[uiQueue].clear();
        apSendBuffer[uiQueue].reset();
        abQueueClean[uiQueue] = true;
    }
}

bool UsbAdapterClass::bWriteMaster(uint8_t ucAddress, uint8_t ucData)
{
    iFrameRegister = ucAddress;
    if (!bBackInStep())
        return false;
    vDropPrepared(0);
    vAddSelect(0);
    auto &q = avecQueue[0];
    q.insert(q.end(), {MPSSE_BYTES_OUT, uint8_t(0x02), uint8_t(0x00), SPI_WRITE, ucAddress, ucData});
    vAddDeselect(0);
    return bSendQueue(true, 0);
}

bool UsbAdapterClass::bReadMaster(uint8_t ucAddress, uint8_t *pucData)
{
    iFrameRegister = ucAddress;
    if (!bBackInStep())
        return false;
    vDropPrepared(0);
    vAddSelect(0);
    auto &q = avecQueue[0];
    q.insert(q.end(), {MPSSE_BYTES_OUT_IN, uint8_t(0x02), uint8_t(0x00), SPI_READ, ucAddress, uint8_t(0x00)});
    vAddDeselect(0);
    vAddCommand(MPSSE_SEND_IMMEDIATE, 0);
    if (!bSendQueue(true, 0))
        return false;
    uint8_t aucAnswer[3] = {};
    if (!bReadAnswer(aucAnswer, sizeof aucAnswer))
        return false;
    *pucData = aucAnswer[2];
    return true;
}

bool UsbAdapterClass::bReadAnswer(uint8_t *pucBytes, size_t uiCount)
{
    if (!hDevice || !pDriver)
        return false;
    DWORD ulRead = 0;
    FT_STATUS status = pDriver->pRead(hDevice, pucBytes, static_cast<DWORD>(uiCount), &ulRead);
    if (status == FT_OK && ulRead == uiCount)
        return true;
    vTraceTransfer("FT_Read", status, ulRead, uiCount);
    // Whatever of this answer is still queued or arrives late would otherwise be taken for the next
    // one: drop what is there, and have the next frame make sure nothing else follows.
    bPurgeRx();
    bRxSuspect = true;
    return false;
}

BissEnum UsbAdapterClass::eReadEotReg(bool *pbEot)
{
    uint8_t ucStatus = 0;
    BissEnum eResult = eReadRegister(tarnbus::REG_EOT, &ucStatus);
    if (eResult == BISS_OK)
        *pbEot = (ucStatus & tarnbus::EOT_BIT) != 0;
    return eResult;
}

BissEnum UsbAdapterClass::eWriteRegister(uint8_t ucAddress, uint8_t ucData)
{
    return bWriteMaster(ucAddress, ucData) ? BISS_OK : BISS_MASTERCOMM_FAILED;
}

BissEnum UsbAdapterClass::eReadRegister(uint8_t ucAddress, uint8_t *pucData)
{
    return bReadMaster(ucAddress, pucData) ? BISS_OK : BISS_MASTERCOMM_FAILED;
}
