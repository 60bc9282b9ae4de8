#include "lpt_port.h"

#include "master_registers.h"
#include "platform/driver_library.h"

namespace {

// Port registers from the base.
constexpr uint32_t PORT_DATA = 0;
constexpr uint32_t PORT_STATUS = 1;
constexpr uint32_t PORT_CONTROL = 2;

constexpr uint8_t STATUS_EOT = 0x20;    // end-of-transmission line
constexpr uint8_t STATUS_SERIAL = 0x80; // kind 3: the master's data line, inverted by the port
constexpr uint8_t CONTROL_INPUT = 0x20; // data lines turned to input

// Kind 3: the serial link's opcodes, and the two short forms only this link uses.
constexpr uint8_t SERIAL_WRITE = 0x02;
constexpr uint8_t SERIAL_READ = 0x03;
constexpr uint8_t SERIAL_WRITE_INSTRUCTION = 0x07; // writes 0xF4, no address byte
constexpr uint8_t SERIAL_READ_STATUS = 0x05;       // reads 0xF0, no address byte
constexpr uint8_t SHORT_FORM_INSTRUCTION = 0xF4;
constexpr uint8_t SHORT_FORM_STATUS = 0xF0;

} // namespace

LptPortClass::LptPortClass(uint32_t ulBase) : ulPortBase(ulBase) {}

LptPortClass::~LptPortClass() = default;

bool LptPortClass::bDriverReady()
{
    if (!bDriverTried) {
        bDriverTried = true;
        pDriver = tarnbus::DlPortIoDriver::pLoad(tarnbus::strDlPortIoPath());
    }
    return pDriver != nullptr;
}

void LptPortClass::vWriteData(uint8_t ucValue)
{
    pDriver->pWritePort(ulPortBase + PORT_DATA, ucValue);
}
void LptPortClass::vWriteControl(uint8_t ucValue)
{
    pDriver->pWritePort(ulPortBase + PORT_CONTROL, ucValue);
}
uint8_t LptPortClass::ucReadData()
{
    return pDriver->pReadPort(ulPortBase + PORT_DATA);
}
uint8_t LptPortClass::ucReadStatus()
{
    return pDriver->pReadPort(ulPortBase + PORT_STATUS);
}

// Kind 1: control bit 1 low strobes the address, bit 0 high the data; bit 2 low with the data lines
// turned to input makes the master drive them.
void LptPortClass::vWriteRegLpt1(uint8_t ucAddress, uint8_t ucData)
{
    vWriteControl(0x06);
    vWriteData(ucAddress);
    vWriteControl(0x04);
    vWriteControl(0x06);
    vWriteControl(0x06);
    vWriteData(ucData);
    vWriteControl(0x07);
    vWriteControl(0x06);
}

uint8_t LptPortClass::ucReadRegLpt1(uint8_t ucAddress)
{
    vWriteControl(0x06);
    vWriteData(ucAddress);
    vWriteControl(0x04);
    vWriteControl(0x06);
    vWriteData(0xFF);
    vWriteControl(0x22);
    const uint8_t ucValue = ucReadData();
    vWriteControl(0x06);
    return ucValue;
}

// Kind 2: control bit 1 low strobes the address, bit 0 low the data; bit 2 high makes it a read.
void LptPortClass::vWriteRegLpt2(uint8_t ucAddress, uint8_t ucData)
{
    vWriteControl(0x03);
    vWriteData(ucAddress);
    vWriteControl(0x01);
    vWriteControl(0x03);
    vWriteData(ucData);
    vWriteControl(0x02);
    vWriteControl(0x03);
}

uint8_t LptPortClass::ucReadRegLpt2(uint8_t ucAddress)
{
    vWriteControl(0x03);
    vWriteData(ucAddress);
    vWriteControl(0x01);
    vWriteControl(0x03);
    vWriteData(0xFF);
    vWriteControl(0x27);
    vWriteControl(0x26);
    const uint8_t ucValue = ucReadData();
    vWriteControl(0x27);
    vWriteControl(0x03);
    return ucValue;
}

// Kind 3: control bit 0 is the clock, bit 1 the data out (inverted: a 1 is sent as line value 0), bit 2
// high between frames. Most significant bit first.
void LptPortClass::vSendBits(uint8_t ucValue, uint8_t ucHigh)
{
    for (int i = 7; i >= 0; --i) {
        const uint8_t ucLine = static_cast<uint8_t>(((ucValue >> i) & 1) ? 0 : 2);
        vWriteControl(static_cast<uint8_t>(ucLine + 1 + ucHigh));
        vWriteControl(static_cast<uint8_t>(ucLine + ucHigh));
    }
}

uint8_t LptPortClass::ucTakeBits()
{
    uint8_t ucValue = 0;
    for (int i = 0; i < 8; ++i) {
        vWriteControl(0x21);
        vWriteControl(0x20);
        const bool bOne = (ucReadStatus() & STATUS_SERIAL) == 0;
        ucValue = static_cast<uint8_t>((ucValue << 1) | (bOne ? 1 : 0));
    }
    return ucValue;
}

void LptPortClass::vWriteRegLpt3(uint8_t ucAddress, uint8_t ucData)
{
    vWriteControl(0x07);
    if (ucAddress == SHORT_FORM_INSTRUCTION) {
        vSendBits(SERIAL_WRITE_INSTRUCTION, 0);
    } else {
        vSendBits(SERIAL_WRITE, 0);
        vSendBits(ucAddress, 0);
    }
    vSendBits(ucData, 0);
    vWriteControl(0x07);
}

uint8_t LptPortClass::ucReadRegLpt3(uint8_t ucAddress)
{
    vWriteControl(0x27);
    if (ucAddress == SHORT_FORM_STATUS) {
        vSendBits(SERIAL_READ_STATUS, CONTROL_INPUT);
    } else {
        vSendBits(SERIAL_READ, CONTROL_INPUT);
        vSendBits(ucAddress, CONTROL_INPUT);
    }
    const uint8_t ucValue = ucTakeBits();
    vWriteControl(0x27);
    vWriteControl(0x26);
    return ucValue;
}

bool LptPortClass::bReadEotPin()
{
    return (ucReadStatus() & STATUS_EOT) != 0;
}

BissEnum LptPortClass::eWriteRegister(uint8_t ucAddress, uint8_t ucData)
{
    if (!bDriverReady())
        return BISS_MASTERCOMM_FAILED;
    switch (eWiring) {
    case INTERFACE_LPT1:
        vWriteRegLpt1(ucAddress, ucData);
        break;
    case INTERFACE_LPT2:
        vWriteRegLpt2(ucAddress, ucData);
        break;
    default:
        vWriteRegLpt3(ucAddress, ucData);
        break;
    }
    return BISS_OK;
}

BissEnum LptPortClass::eReadRegister(uint8_t ucAddress, uint8_t *pucData)
{
    if (!bDriverReady())
        return BISS_MASTERCOMM_FAILED;
    switch (eWiring) {
    case INTERFACE_LPT1:
        *pucData = ucReadRegLpt1(ucAddress);
        break;
    case INTERFACE_LPT2:
        *pucData = ucReadRegLpt2(ucAddress);
        break;
    default:
        *pucData = ucReadRegLpt3(ucAddress);
        break;
    }
    return BISS_OK;
}

BissEnum LptPortClass::eReadEot(bool *pbEot)
{
    if (!bDriverReady())
        return BISS_MASTERCOMM_FAILED;
    *pbEot = bReadEotPin();
    return BISS_OK;
}
