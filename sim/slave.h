// A slave on the BiSS line as the master chip sees it during a register transfer.
#ifndef TBSIM_SLAVE_H
#define TBSIM_SLAVE_H

#include "control_channel.h"
#include "sensor_data.h"

#include <array>
#include <cstdint>

namespace tbsim {

constexpr unsigned kSlaveRegisters = 128;

class Slave {
public:
    virtual ~Slave() = default;

    // Register access over the line (address 0..127). A slave may refuse a write (protected area).
    virtual uint8_t readRegister(unsigned address) const { return m_regs[address & 0x7F]; }
    virtual void writeRegister(unsigned address, uint8_t value) { m_regs[address & 0x7F] = value; }

    // Direct access for the control interface, bypassing every protection.
    uint8_t peek(unsigned address) const { return m_regs[address & 0x7F]; }
    virtual void poke(unsigned address, uint8_t value) { m_regs[address & 0x7F] = value; }

    // Power-up of the slave (nothing for a plain register file).
    virtual void powerCycle() {}

    // The register-mode-C control channel, on the same registers as the master's register transfers.
    ControlChannel &control() { return m_control; }

    // What the slave answers each sensor cycle with.
    SensorData &sensor() { return m_sensor; }
    const SensorData &sensor() const { return m_sensor; }

protected:
    std::array<uint8_t, kSlaveRegisters> m_regs{};
    ControlChannel m_control;
    SensorData m_sensor = defaultSensorData();
};

} // namespace tbsim

#endif
