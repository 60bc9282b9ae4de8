#include "master_spi.h"

namespace tbsim {

namespace {

// SPI opcodes of the master chip.
constexpr uint8_t kOpWrite = 0x02;
constexpr uint8_t kOpRead = 0x03;
constexpr uint8_t kOpReadStatus = 0x05;       // short form: read 0xF0
constexpr uint8_t kOpWriteInstruction = 0x07; // short form: write 0xF4
constexpr uint8_t kShortFormStatus = 0xF0;
constexpr uint8_t kShortFormInstruction = 0xF4;

} // namespace

void MasterSpi::reset()
{
    m_selected = false;
    m_byteIndex = 0;
    m_bits = 0;
    m_out = 0xFF;
}

void MasterSpi::chipSelect(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    if (selected) {
        m_byteIndex = 0;
        m_bits = 0;
        m_out = 0xFF;
    } else if (!m_faults.on(TBSIM_MASTER_SILENT)) {
        m_core.frameEnded();
    }
}

bool MasterSpi::clockBit(bool mosi)
{
    if (!m_selected || m_faults.on(TBSIM_MASTER_SILENT))
        return true; // nobody drives the line: the pull-up reads 1
    const bool miso = (m_out >> (7 - m_bits)) & 1;
    m_shift = static_cast<uint8_t>((m_shift << 1) | (mosi ? 1 : 0));
    if (++m_bits == 8) {
        m_bits = 0;
        byteDone(m_shift);
    }
    return miso;
}

uint8_t MasterSpi::clockByte(uint8_t mosi)
{
    if (!m_selected || m_faults.on(TBSIM_MASTER_SILENT))
        return 0xFF;
    if (m_bits != 0)
        return SpiTarget::clockByte(mosi);
    const uint8_t out = m_out;
    byteDone(mosi);
    return out;
}

// One byte of a frame has come in; decides what the chip drives during the next one.
void MasterSpi::byteDone(uint8_t b)
{
    const unsigned index = m_byteIndex++;
    m_out = 0xFF;
    if (index == 0) {
        m_opcode = b;
        if (b == kOpReadStatus) {
            m_address = kShortFormStatus;
            m_out = m_core.readAccess(kShortFormStatus);
        }
        return;
    }
    if (index == 1) {
        switch (m_opcode) {
        case kOpWrite:
            m_address = b;
            break;
        case kOpRead:
            m_address = b;
            m_out = m_core.readAccess(b);
            break;
        case kOpWriteInstruction:
            m_core.writeAccess(kShortFormInstruction, b);
            break;
        default:
            break; // unknown opcode: the rest of the frame is ignored
        }
        return;
    }
    if (index == 2 && m_opcode == kOpWrite)
        m_core.writeAccess(m_address, b);
}

} // namespace tbsim
