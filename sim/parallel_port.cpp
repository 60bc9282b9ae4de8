#include "parallel_port.h"

namespace tbsim {

namespace {

constexpr uint32_t kData = 0, kStatus = 1, kControl = 2;

constexpr uint8_t kControlIdle = 0x04;  // a PC port after reset: every strobe line inactive
constexpr uint8_t kControlInput = 0x20; // data lines turned to input
constexpr uint8_t kStatusEot = 0x20;
constexpr uint8_t kStatusSerial = 0x80; // the serial data line, inverted by the port
// Lines the adapter leaves unconnected read 1, so a reader that forgets its mask sees them.
constexpr uint8_t kStatusUnused = 0x5F;

bool fell(uint8_t before, uint8_t after, uint8_t bit)
{
    return (before & bit) && !(after & bit);
}
bool rose(uint8_t before, uint8_t after, uint8_t bit)
{
    return !(before & bit) && (after & bit);
}

} // namespace

ParallelPort::ParallelPort(MasterChip &core, const Faults &faults, ActivityLog &log)
    : m_core(core), m_faults(faults), m_log(log), m_serial(core, faults)
{}

void ParallelPort::powerUp(uint32_t base, int wiring)
{
    m_base = base;
    m_wiring = wiring >= 1 && wiring <= 3 ? wiring : kDefaultWiring;
    m_data = 0;
    m_control = kControlIdle;
    m_address = 0;
    m_driving = false;
    m_driven = 0xFF;
    m_serialLine = true;
    m_serial.reset();
}

void ParallelPort::write(uint32_t port, uint8_t value)
{
    const bool ours = port >= m_base && port - m_base <= kControl;
    m_log.port('W', port, value, !ours);
    if (!ours)
        return;
    if (port - m_base == kData)
        m_data = value;
    else if (port - m_base == kControl)
        control(value);
    // The status register takes no writes.
}

uint8_t ParallelPort::read(uint32_t port)
{
    const bool ours = port >= m_base && port - m_base <= kControl;
    uint8_t value = 0xFF;
    if (ours) {
        switch (port - m_base) {
        case kData:
            value = dataLines();
            break;
        case kStatus:
            value = status();
            break;
        default:
            value = m_control;
            break;
        }
    }
    m_log.port('R', port, value, !ours);
    return value;
}

// With the data lines turned to input the port reads what the chip drives, or the pull-ups; else it
// reads back its own latch.
uint8_t ParallelPort::dataLines() const
{
    if (!(m_control & kControlInput))
        return m_data;
    return m_driving ? m_driven : 0xFF;
}

uint8_t ParallelPort::status()
{
    const bool eot = m_core.eot();
    uint8_t value = kStatusUnused;
    if (eot)
        value |= kStatusEot;
    if (!m_serialLine)
        value |= kStatusSerial;
    // Outside a frame a status read is the library watching end of transmission: time passes for
    // the master as it does between two frames.
    const bool inSerialFrame = m_wiring == 3 && !(m_control & 0x04);
    if (!inSerialFrame && !m_faults.on(TBSIM_MASTER_SILENT))
        m_core.frameEnded();
    return value;
}

void ParallelPort::control(uint8_t value)
{
    const uint8_t before = m_control;
    m_control = value;
    if (m_wiring == 3)
        serialEdges(before, value);
    else
        busEdges(before, value);
}

void ParallelPort::readStrobe()
{
    if (m_faults.on(TBSIM_MASTER_SILENT))
        return;
    m_driven = m_core.readAccess(m_address);
    m_driving = true;
}

void ParallelPort::strobeEnded()
{
    m_driving = false;
    if (!m_faults.on(TBSIM_MASTER_SILENT))
        m_core.frameEnded();
}

// Wiring 1: bit 1 low latches the address, bit 0 high writes the data, bit 2 low has the chip drive
// the addressed register onto the data lines.
// Wiring 2: bit 1 low latches the address, bit 0 low is the data strobe, bit 2 says read (high) or
// write (low).
void ParallelPort::busEdges(uint8_t before, uint8_t after)
{
    const bool silent = m_faults.on(TBSIM_MASTER_SILENT);
    if (fell(before, after, 0x02))
        m_address = m_data;
    if (m_wiring == 1) {
        if (rose(before, after, 0x01) && !silent)
            m_core.writeAccess(m_address, m_data);
        if (fell(before, after, 0x01))
            strobeEnded();
        if (fell(before, after, 0x04))
            readStrobe();
        if (rose(before, after, 0x04))
            strobeEnded();
        return;
    }
    if (fell(before, after, 0x01)) {
        if (after & 0x04)
            readStrobe();
        else if (!silent)
            m_core.writeAccess(m_address, m_data);
    }
    if (rose(before, after, 0x01))
        strobeEnded();
}

// Wiring 3: the chip takes the data line on the falling clock edge and drives its answer for the
// port to read after it.
void ParallelPort::serialEdges(uint8_t before, uint8_t after)
{
    if (fell(before, after, 0x04))
        m_serial.chipSelect(true);
    if (fell(before, after, 0x01) && !(after & 0x04))
        m_serialLine = m_serial.clockBit(!(after & 0x02));
    if (rose(before, after, 0x04)) {
        m_serial.chipSelect(false);
        m_serialLine = true;
    }
}

} // namespace tbsim
