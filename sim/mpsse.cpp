#include "mpsse.h"

#include <algorithm>
#include <cstring>

namespace tbsim {

namespace {

// Bits of a data-shifting opcode (below 0x80).
constexpr uint8_t kOutFalling = 0x01;
constexpr uint8_t kBitMode = 0x02;
constexpr uint8_t kInFalling = 0x04;
constexpr uint8_t kLsbFirst = 0x08;
constexpr uint8_t kWriteTdi = 0x10;
constexpr uint8_t kReadTdo = 0x20;
constexpr uint8_t kWriteTms = 0x40;

// Low GPIO pins.
constexpr uint8_t kPinClock = 0x01;
constexpr uint8_t kPinDataOut = 0x02;
constexpr uint8_t kPinDataIn = 0x04;
constexpr uint8_t kPinChipSelect = 0x08;

constexpr uint8_t kBadCommand = 0xFA;

uint8_t reverse(uint8_t b)
{
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    b = static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
    return b;
}

} // namespace

Mpsse::Mpsse(SpiTarget &target) : m_target(target)
{
    m_rx.reserve(65536);
}

void Mpsse::reset()
{
    m_enabled = false;
    m_mode = 0;
    m_cmdSize = m_cmdNeeded = 0;
    m_dataLeft = 0;
    m_lowValue = m_lowDir = m_highValue = m_highDir = 0;
    m_divisor = 0;
    m_loopback = false;
    m_lastOutBit = false;
    m_lastInBit = true;
    updateChipSelect();
    purgeRx();
}

void Mpsse::setBitMode(uint8_t mode)
{
    if (mode == 0x02 && m_mode != 0x00 && !m_enabled)
        return; // the controller leaves another bit mode only through a reset
    if (mode != 0x02 || !m_enabled) {
        // Entering or leaving MPSSE drops any half-received command.
        m_cmdSize = m_cmdNeeded = 0;
        m_dataLeft = 0;
    }
    m_mode = mode;
    m_enabled = mode == 0x02;
    if (!m_enabled) {
        // Outside MPSSE the pins go back to inputs: the chip select is released.
        m_lowDir = m_highDir = 0;
        updateChipSelect();
    }
}

int Mpsse::parameterCount(uint8_t op)
{
    if (op < 0x80) {
        if (op & kWriteTms)
            return 2; // length, data
        if (op & kBitMode)
            return (op & kWriteTdi) ? 2 : 1;
        return 2; // length low, length high; data bytes follow when writing
    }
    switch (op) {
    case 0x80:
    case 0x82:
    case 0x86:
    case 0x8F:
    case 0x9C:
    case 0x9D:
    case 0x9E:
        return 2;
    case 0x8E:
        return 1;
    case 0x81:
    case 0x83:
    case 0x84:
    case 0x85:
    case 0x87:
    case 0x88:
    case 0x89:
    case 0x8A:
    case 0x8B:
    case 0x8C:
    case 0x8D:
    case 0x94:
    case 0x95:
    case 0x96:
    case 0x97:
        return 0;
    default:
        return -1;
    }
}

void Mpsse::write(const uint8_t *data, size_t size)
{
    if (!m_enabled)
        return;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (m_dataLeft > 0) {
            shiftByte(b);
            --m_dataLeft;
            continue;
        }
        if (m_cmdSize == 0) {
            const int n = parameterCount(b);
            if (n < 0) {
                answer(kBadCommand);
                answer(b);
                continue;
            }
            m_cmd[0] = b;
            m_cmdSize = 1;
            m_cmdNeeded = static_cast<unsigned>(n);
        } else {
            m_cmd[m_cmdSize++] = b;
        }
        if (m_cmdSize == 1 + m_cmdNeeded) {
            execute();
            m_cmdSize = 0;
        }
    }
}

void Mpsse::execute()
{
    const uint8_t op = m_cmd[0];
    if (op < 0x80) {
        if (op & kWriteTms) {
            tmsBits(m_cmd[2], (m_cmd[1] & 7) + 1u);
            return;
        }
        if (op & kBitMode) {
            shiftBits((op & kWriteTdi) ? m_cmd[2] : (m_lastOutBit ? 0xFF : 0x00), (m_cmd[1] & 7) + 1u);
            return;
        }
        const uint32_t count = (m_cmd[1] | (uint32_t(m_cmd[2]) << 8)) + 1u;
        m_shiftOpcode = op;
        if (op & kWriteTdi) {
            m_dataLeft = count; // the data bytes follow, possibly in later writes
            return;
        }
        for (uint32_t i = 0; i < count; ++i)
            shiftByte(m_lastOutBit ? 0xFF : 0x00);
        return;
    }
    switch (op) {
    case 0x80:
        setLow(m_cmd[1], m_cmd[2]);
        break;
    case 0x82:
        m_highValue = m_cmd[1];
        m_highDir = m_cmd[2];
        break;
    case 0x81:
        // Input pins read high (pull-ups), except data in, which is whatever the line carries.
        answer(static_cast<uint8_t>((m_lowValue & m_lowDir) | (~m_lowDir & 0xFF)));
        break;
    case 0x83:
        answer(static_cast<uint8_t>((m_highValue & m_highDir) | (~m_highDir & 0xFF)));
        break;
    case 0x84:
        m_loopback = true;
        break;
    case 0x85:
        m_loopback = false;
        break;
    case 0x86:
        m_divisor = static_cast<uint16_t>(m_cmd[1] | (m_cmd[2] << 8));
        break;
    case 0x8E:
        clockOnly((m_cmd[1] & 7) + 1u);
        break;
    case 0x8F:
        clockOnly(((m_cmd[1] | (uint32_t(m_cmd[2]) << 8)) + 1u) * 8u);
        break;
    case 0x87:
        ++m_sendImmediates; // the chip's USB side sends what is queued at once
        break;
    default:
        break; // send immediate, waits, clock modes: nothing to model
    }
}

// One clock on the serial link. Data out is meant to change on the falling edge and data in to be
// taken on the falling edge; a command that uses the other edge sees each bit one clock late.
bool Mpsse::clockLine(bool mosi)
{
    const uint8_t op = m_shiftOpcode;
    ++m_clocks;
    const bool seen = (op & kOutFalling) ? mosi : m_lastOutBit;
    m_lastOutBit = mosi;
    const bool driven = (m_lowDir & kPinDataOut) ? seen : true;
    bool miso;
    if (m_loopback)
        miso = mosi;
    else if (m_lowDir & kPinDataIn)
        miso = m_lowValue & kPinDataIn;
    else if (m_lowDir & kPinClock)
        miso = m_target.clockBit(driven);
    else
        miso = true;
    const bool got = (op & kInFalling) ? miso : m_lastInBit;
    m_lastInBit = miso;
    return got;
}

void Mpsse::shiftByte(uint8_t out)
{
    const uint8_t op = m_shiftOpcode;
    const bool plain = (op & kOutFalling) && (op & kInFalling) && !(op & kLsbFirst) && !m_loopback &&
                       (m_lowDir & (kPinClock | kPinDataOut | kPinDataIn)) == (kPinClock | kPinDataOut);
    uint8_t in;
    if (plain) {
        // The usual case, a whole byte at once.
        in = m_target.clockByte(out);
        m_clocks += 8;
        m_lastOutBit = out & 1;
        m_lastInBit = in & 1;
    } else {
        const uint8_t wire = (op & kLsbFirst) ? reverse(out) : out;
        uint8_t got = 0;
        for (int i = 7; i >= 0; --i)
            got = static_cast<uint8_t>((got << 1) | (clockLine((wire >> i) & 1) ? 1 : 0));
        in = (op & kLsbFirst) ? reverse(got) : got;
    }
    if (op & kReadTdo)
        answer(in);
}

void Mpsse::shiftBits(uint8_t out, unsigned count)
{
    m_shiftOpcode = m_cmd[0];
    const bool lsb = m_shiftOpcode & kLsbFirst;
    uint8_t in = 0;
    for (unsigned i = 0; i < count; ++i) {
        const bool bit = lsb ? (out >> i) & 1 : (out >> (7 - i)) & 1;
        const bool got = clockLine(bit);
        // Bits read come in at the low end (most significant first) or the high end (least first).
        in = lsb ? static_cast<uint8_t>((in >> 1) | (got ? 0x80 : 0))
                 : static_cast<uint8_t>((in << 1) | (got ? 1 : 0));
    }
    if (m_shiftOpcode & kReadTdo)
        answer(in);
}

// TMS shifts drive pin 3, which is the master chip's chip select here; data out holds bit 7.
void Mpsse::tmsBits(uint8_t data, unsigned count)
{
    m_shiftOpcode = m_cmd[0];
    const bool tdi = data & 0x80;
    uint8_t in = 0;
    for (unsigned i = 0; i < count; ++i) {
        m_lowValue = static_cast<uint8_t>((data >> i) & 1 ? (m_lowValue | kPinChipSelect)
                                                          : (m_lowValue & ~kPinChipSelect));
        updateChipSelect();
        in = static_cast<uint8_t>((in >> 1) | (clockLine(tdi) ? 0x80 : 0));
    }
    if (m_shiftOpcode & kReadTdo)
        answer(in);
}

void Mpsse::clockOnly(unsigned count)
{
    m_shiftOpcode = kOutFalling | kInFalling;
    for (unsigned i = 0; i < count; ++i)
        clockLine(m_lastOutBit);
}

void Mpsse::setLow(uint8_t value, uint8_t direction)
{
    m_lowValue = value;
    m_lowDir = direction;
    updateChipSelect();
}

void Mpsse::updateChipSelect()
{
    // An undriven chip select is pulled high.
    const bool level = (m_lowDir & kPinChipSelect) ? (m_lowValue & kPinChipSelect) : true;
    const bool selected = !level;
    if (selected != m_chipSelected) {
        m_chipSelected = selected;
        m_target.chipSelect(selected);
    }
}

size_t Mpsse::read(uint8_t *buffer, size_t size)
{
    const size_t n = std::min(size, available());
    if (n) {
        std::memcpy(buffer, m_rx.data() + m_rxHead, n);
        m_rxHead += n;
    }
    if (m_rxHead == m_rx.size())
        purgeRx();
    return n;
}

void Mpsse::purgeRx()
{
    m_rx.clear();
    m_rxHead = 0;
}

} // namespace tbsim
