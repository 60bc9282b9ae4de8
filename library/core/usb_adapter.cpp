#include "usb_adapter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "master_registers.h"
#include "platform/trace.h"

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

// Bytes of one access's frame, and of its answer.
constexpr size_t FRAME_BYTES = 12;
constexpr size_t ANSWER_BYTES = 3;

UsbAdapterClass::UsbAdapterClass()
{
    vecSend.reserve(64);
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
    vecBatch.clear();
    eBatchResult = BISS_OK;
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

void UsbAdapterClass::vAddSelect(std::vector<uint8_t> &vecBytes) const
{
    vecBytes.insert(vecBytes.end(), {MPSSE_SET_LOW, GPIO_SELECTED, GPIO_DIRECTION});
}

void UsbAdapterClass::vAddDeselect(std::vector<uint8_t> &vecBytes) const
{
    vecBytes.insert(vecBytes.end(), {MPSSE_SET_LOW, GPIO_IDLE, GPIO_DIRECTION});
}

void UsbAdapterClass::vAddFrame(std::vector<uint8_t> &vecBytes, bool bRead, uint8_t ucAddress,
                                uint8_t ucData) const
{
    vAddSelect(vecBytes);
    if (bRead)
        vecBytes.insert(vecBytes.end(), {MPSSE_BYTES_OUT_IN, uint8_t(0x02), uint8_t(0x00), SPI_READ,
                                         ucAddress, uint8_t(0x00)});
    else
        vecBytes.insert(vecBytes.end(),
                        {MPSSE_BYTES_OUT, uint8_t(0x02), uint8_t(0x00), SPI_WRITE, ucAddress, ucData});
    vAddDeselect(vecBytes);
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
    return bWriteDevice(aucSetup, sizeof aucSetup);
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

bool UsbAdapterClass::bPurgeRx()
{
    if (!hDevice || !pDriver)
        return false;
    return bCallOk("FT_Purge", pDriver->pPurge(hDevice, FT_PURGE_RX));
}

bool UsbAdapterClass::bWriteMaster(uint8_t ucAddress, uint8_t ucData)
{
    iFrameRegister = ucAddress;
    if (!bBackInStep())
        return false;
    vecSend.clear();
    vAddFrame(vecSend, false, ucAddress, ucData);
    return bWriteDevice(vecSend.data(), vecSend.size());
}

bool UsbAdapterClass::bReadMaster(uint8_t ucAddress, uint8_t *pucData)
{
    iFrameRegister = ucAddress;
    if (!bBackInStep())
        return false;
    vecSend.clear();
    vAddFrame(vecSend, true, ucAddress, 0);
    vecSend.push_back(MPSSE_SEND_IMMEDIATE);
    if (!bWriteDevice(vecSend.data(), vecSend.size()))
        return false;
    uint8_t aucAnswer[ANSWER_BYTES] = {};
    if (!bReadAnswer(aucAnswer, sizeof aucAnswer))
        return false;
    *pucData = aucAnswer[2];
    return true;
}

void UsbAdapterClass::vQueueWrite(uint8_t ucAddress, uint8_t ucData)
{
    if (eBatchResult == BISS_OK)
        vecBatch.push_back({false, ucAddress, ucData, nullptr});
}

void UsbAdapterClass::vQueueRead(uint8_t ucAddress, uint8_t *pucInto)
{
    if (eBatchResult == BISS_OK)
        vecBatch.push_back({true, ucAddress, 0, pucInto});
}

bool UsbAdapterClass::bExchange(size_t uiFirst, size_t uiEnd, std::vector<uint8_t> &vecAnswers)
{
    iFrameRegister = vecBatch[uiFirst].ucAddress;
    if (!bBackInStep())
        return false;
    vecSend.clear();
    size_t uiReads = 0;
    for (size_t i = uiFirst; i < uiEnd; ++i) {
        const QueuedAccess &access = vecBatch[i];
        vAddFrame(vecSend, access.bRead, access.ucAddress, access.ucData);
        uiReads += access.bRead ? 1 : 0;
    }
    if (uiReads == 0)
        return bWriteDevice(vecSend.data(), vecSend.size());
    vecSend.push_back(MPSSE_SEND_IMMEDIATE);
    if (!bWriteDevice(vecSend.data(), vecSend.size()))
        return false;
    const size_t uiHave = vecAnswers.size();
    vecAnswers.resize(uiHave + ANSWER_BYTES * uiReads);
    return bReadAnswer(vecAnswers.data() + uiHave, ANSWER_BYTES * uiReads);
}

// Each exchange takes as many whole frames as the transmit buffer holds (one byte is kept for the
// send-immediate); the answers, three bytes per read, always fit the receive buffer then.
constexpr size_t FRAMES_PER_EXCHANGE = (UsbAdapterClass::DEVICE_BUFFER_SIZE - 1) / FRAME_BYTES;
static_assert(FRAMES_PER_EXCHANGE * ANSWER_BYTES <= UsbAdapterClass::DEVICE_BUFFER_SIZE);

unsigned UsbAdapterClass::uiAccessesPerExchange() const
{
    return FRAMES_PER_EXCHANGE;
}

BissEnum UsbAdapterClass::eFlush()
{
    BissEnum eResult = eBatchResult;
    std::vector<uint8_t> vecAnswers;
    for (size_t i = 0; eResult == BISS_OK && i < vecBatch.size(); i += FRAMES_PER_EXCHANGE) {
        if (!bExchange(i, std::min(vecBatch.size(), i + FRAMES_PER_EXCHANGE), vecAnswers))
            eResult = BISS_MASTERCOMM_FAILED;
    }
    if (eResult == BISS_OK) {
        size_t uiAnswer = 0;
        for (const QueuedAccess &access : vecBatch) {
            if (access.bRead) {
                *access.pucInto = vecAnswers[ANSWER_BYTES * uiAnswer + 2];
                ++uiAnswer;
            }
        }
    }
    vecBatch.clear();
    eBatchResult = BISS_OK;
    return eResult;
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
