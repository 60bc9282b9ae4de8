// The master chip's SPI front end: frames between chip select edges, opcode first, turned into
// register accesses of the register core.
#ifndef TBSIM_MASTER_SPI_H
#define TBSIM_MASTER_SPI_H

#include "faults.h"
#include "master_chip.h"
#include "spi_target.h"

#include <cstdint>

namespace tbsim {

class MasterSpi : public SpiTarget {
public:
    MasterSpi(MasterChip &core, const Faults &faults) : m_core(core), m_faults(faults) {}

    // Idle: deselected, no frame in progress.
    void reset();

    void chipSelect(bool selected) override;
    bool clockBit(bool mosi) override;
    uint8_t clockByte(uint8_t mosi) override;

private:
    void byteDone(uint8_t b);

    MasterChip &m_core;
    const Faults &m_faults;

    bool m_selected = false;
    unsigned m_byteIndex = 0;
    uint8_t m_opcode = 0, m_address = 0;
    uint8_t m_out = 0xFF;
    uint8_t m_shift = 0;
    unsigned m_bits = 0;
};

} // namespace tbsim

#endif
