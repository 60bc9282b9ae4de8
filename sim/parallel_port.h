// The PC parallel port with the master chip's port adapter on it. The port keeps its data and control
// latches and composes its status byte; the adapter decodes the control-line edges of its wiring
// into register accesses of the master's register core:
//   wiring 1 and 2: an 8-bit bus, address then data on the data lines, strobed by control lines;
//   wiring 3: the chip's serial link on the control lines (bit 0 clock, bit 1 data out inverted, bit 2
//             chip select, low while selected), its data line back on status bit 7, inverted.
// Status bit 5 is the master's end of transmission on every wiring.
#ifndef TBSIM_PARALLEL_PORT_H
#define TBSIM_PARALLEL_PORT_H

#include "activity_log.h"
#include "faults.h"
#include "master_chip.h"
#include "master_spi.h"

#include <cstdint>

namespace tbsim {

class ParallelPort {
public:
    ParallelPort(MasterChip &core, const Faults &faults, ActivityLog &log);

    // Power-up at this base with the adapter of this wiring (1..3): latches idle, nothing driven.
    void powerUp(uint32_t base, int wiring);
    uint32_t base() const { return m_base; }
    int wiring() const { return m_wiring; }

    // One driver call. Ports outside base..base+2 belong to nobody here: logged as stray, reads 0xFF.
    void write(uint32_t port, uint8_t value);
    uint8_t read(uint32_t port);

    static constexpr uint32_t kDefaultBase = 0x378;
    static constexpr int kDefaultWiring = 3;

private:
    void control(uint8_t value);
    void busEdges(uint8_t before, uint8_t after);
    void serialEdges(uint8_t before, uint8_t after);
    uint8_t status();
    uint8_t dataLines() const;
    void readStrobe();
    void strobeEnded();

    MasterChip &m_core;
    const Faults &m_faults;
    ActivityLog &m_log;
    MasterSpi m_serial;

    uint32_t m_base = kDefaultBase;
    int m_wiring = kDefaultWiring;
    uint8_t m_data = 0;
    uint8_t m_control = 0;
    uint8_t m_address = 0;    // wirings 1, 2: latched by the address strobe
    bool m_driving = false;   // wirings 1, 2: the chip drives the data lines
    uint8_t m_driven = 0xFF;  // what it drives
    bool m_serialLine = true; // wiring 3: the chip's data line (pulled up while released)
};

} // namespace tbsim

#endif
