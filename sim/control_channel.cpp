#include "control_channel.h"

#include "slave.h"

#include <cstdio>

namespace tbsim {

namespace {

constexpr unsigned kHeaderBits = 11; // register-access bit, 3 id bits, 7 address bits
constexpr unsigned kCrcBits = 4;
constexpr unsigned kDataBits = 8;

std::string event(const char *what, unsigned address, uint8_t value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%s 0x%02X = 0x%02X", what, address, value);
    return text;
}

} // namespace

uint8_t controlCrc(uint32_t bits, unsigned count)
{
    uint8_t crc = 0;
    for (unsigned i = count; i-- > 0;) {
        const bool feed = ((bits >> i) & 1) != ((crc >> 3) & 1);
        crc = static_cast<uint8_t>(((crc << 1) & 0x0F) ^ (feed ? 0x03 : 0));
    }
    return crc;
}

bool ControlChannel::ready() const
{
    return m_phase == Phase::Idle && m_zeros >= kIdleZeros && !m_faults.neverReady;
}

void ControlChannel::reset()
{
    m_phase = Phase::Idle;
    m_zeros = 0;
    m_frameCycle = -1;
    m_cdsNext = false;
    m_out.clear();
}

std::vector<std::string> ControlChannel::takeEvents()
{
    std::vector<std::string> events;
    events.swap(m_events);
    return events;
}

bool ControlChannel::cycle(Slave &slave, bool cdm)
{
    if (m_frameCycle >= 0)
        ++m_frameCycle;
    bool cds = m_cdsNext;
    if (m_frameCycle >= 0 && m_frameCycle == m_faults.flipCycle)
        cds = !cds;
    m_cdsNext = false;
    takeBit(slave, cdm);
    m_zeros = cdm ? 0 : (m_zeros < 1000 ? m_zeros + 1 : m_zeros);
    return cds;
}

void ControlChannel::abandon()
{
    // Silent until the line has been quiet again.
    m_phase = Phase::Idle;
    m_frameCycle = -1;
    m_cdsNext = false;
    m_out.clear();
}

void ControlChannel::takeBit(Slave &slave, bool cdm)
{
    switch (m_phase) {
    case Phase::Idle:
        // The master's start bit counts only once the line was quiet long enough.
        if (cdm && ready()) {
            m_phase = Phase::Header;
            m_frameCycle = 0;
            m_bits = 0;
            m_shift = 0;
            m_cdsNext = true; // echo
        }
        return;
    case Phase::Header:
        m_cdsNext = cdm;
        m_shift = (m_shift << 1) | (cdm ? 1 : 0);
        if (++m_bits == kHeaderBits + kCrcBits)
            headerDone();
        return;
    case Phase::ReadWrite:
        m_cdsNext = cdm;
        m_shift = (m_shift << 1) | (cdm ? 1 : 0);
        if (++m_bits < 3)
            return;
        // Read 1 0 or write 0 1, then the master's start bit.
        if ((m_shift & 1) == 0 || ((m_shift >> 1) & 3) == 0 || ((m_shift >> 1) & 3) == 3) {
            abandon();
            return;
        }
        m_write = ((m_shift >> 1) & 3) == 1;
        m_phase = Phase::Start;
        m_delayLeft = m_faults.startDelay;
        startDone(slave);
        return;
    case Phase::Start:
        startDone(slave);
        return;
    case Phase::Data:
        if (m_write) {
            m_cdsNext = cdm;
            m_shift = (m_shift << 1) | (cdm ? 1 : 0);
            if (++m_bits == kDataBits + kCrcBits)
                dataDone(slave);
            return;
        }
        m_cdsNext = m_out[m_bits];
        if (++m_bits == m_out.size())
            dataDone(slave);
        return;
    case Phase::Stop:
        if (m_write)
            m_cdsNext = cdm; // the echo goes on while the master ends the register
        if (++m_bits < 2)
            return;
        if (!cdm) {
            abandon(); // end of frame
            return;
        }
        // The master goes on with the next register of the frame.
        m_address = (m_address + 1) & 0x7F;
        m_phase = Phase::Start;
        m_delayLeft = m_faults.startDelay;
        m_cdsNext = false;
        startDone(slave);
        return;
    }
}

void ControlChannel::headerDone()
{
    const uint32_t header = m_shift >> kCrcBits;
    const uint8_t crc = static_cast<uint8_t>(~m_shift & 0x0F); // sent complemented
    const unsigned id = (header >> 7) & 7;
    const unsigned myId = m_faults.foreignId >= 0 ? unsigned(m_faults.foreignId) : m_id;
    const bool registerAccess = (header >> 10) & 1;
    if (crc != controlCrc(header, kHeaderBits) || !registerAccess || id != myId) {
        abandon();
        return;
    }
    m_address = header & 0x7F;
    m_phase = Phase::ReadWrite;
    m_bits = 0;
    m_shift = 0;
}

// Decides the next cycle's CDS while the slave is getting ready to send or take data: 0 while the
// start delay runs, then its start bit. A write's data start in the cycle that carries the start bit;
// a read's follow it.
void ControlChannel::startDone(Slave &slave)
{
    if (m_delayLeft > 0) {
        --m_delayLeft;
        m_cdsNext = false;
        return;
    }
    m_cdsNext = true;
    m_phase = Phase::Data;
    m_bits = 0;
    m_shift = 0;
    m_out.clear();
    if (m_write)
        return;
    const uint8_t data = slave.readRegister(m_address);
    uint8_t crc = controlCrc(data, kDataBits);
    if (m_faults.badCrc)
        crc ^= 0x05;
    for (unsigned i = kDataBits; i-- > 0;)
        m_out.push_back((data >> i) & 1);
    for (unsigned i = kCrcBits; i-- > 0;)
        m_out.push_back(!((crc >> i) & 1)); // sent complemented
    m_events.push_back(event("read", m_address, data));
}

void ControlChannel::dataDone(Slave &slave)
{
    if (m_write) {
        const uint8_t data = static_cast<uint8_t>(m_shift >> kCrcBits);
        const uint8_t crc = static_cast<uint8_t>(~m_shift & 0x0F);
        // Only a byte whose CRC holds is written.
        if (crc == controlCrc(data, kDataBits)) {
            slave.writeRegister(m_address, data);
            m_events.push_back(event("write", m_address, data));
        }
    }
    m_phase = Phase::Stop;
    m_bits = 0;
}

} // namespace tbsim
