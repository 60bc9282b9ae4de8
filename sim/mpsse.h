// The FTDI device's MPSSE engine: decodes command bytes (a command may be split across writes),
// drives the GPIO pins and the serial link, and queues the bytes it clocks in for the host to read.
#ifndef TBSIM_MPSSE_H
#define TBSIM_MPSSE_H

#include "spi_target.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tbsim {

class Mpsse {
public:
    explicit Mpsse(SpiTarget &target);

    // Back to the state after the device opened: not in MPSSE mode, pins inputs, queues empty.
    void reset();
    // FT_SetBitMode: 0x00 resets the controller; 0x02 enters MPSSE from reset. Other modes leave
    // MPSSE and are otherwise not modelled.
    void setBitMode(uint8_t mode);
    bool enabled() const { return m_enabled; }

    // Bytes the host wrote; in MPSSE mode they are commands, otherwise they go nowhere.
    void write(const uint8_t *data, size_t size);

    size_t available() const { return m_rx.size() - m_rxHead; }
    size_t read(uint8_t *buffer, size_t size);
    void purgeRx();
    // Bytes that reach the host's receive queue late, behind what is already there.
    void arrive(const uint8_t *data, size_t size) { m_rx.insert(m_rx.end(), data, data + size); }

    uint8_t lowValue() const { return m_lowValue; }
    uint8_t lowDirection() const { return m_lowDir; }
    uint8_t highValue() const { return m_highValue; }
    uint8_t highDirection() const { return m_highDir; }
    uint16_t divisor() const { return m_divisor; }
    bool loopback() const { return m_loopback; }
    // Serial clock cycles run and send-immediate commands (0x87) taken since power-up: what a model of
    // the chip's USB side needs to know when the answers are ready and when they go to the host.
    uint64_t clocks() const { return m_clocks; }
    uint64_t sendImmediates() const { return m_sendImmediates; }

private:
    // Parameter bytes after an opcode; -1 for an opcode the engine does not know.
    static int parameterCount(uint8_t opcode);
    void execute();
    void shiftByte(uint8_t out);
    void shiftBits(uint8_t out, unsigned count);
    void tmsBits(uint8_t data, unsigned count);
    void clockOnly(unsigned count);
    bool clockLine(bool mosi);
    void setLow(uint8_t value, uint8_t direction);
    void updateChipSelect();
    void answer(uint8_t b) { m_rx.push_back(b); }

    SpiTarget &m_target;
    bool m_enabled = false;
    uint8_t m_mode = 0;

    uint8_t m_lowValue = 0, m_lowDir = 0, m_highValue = 0, m_highDir = 0;
    uint16_t m_divisor = 0;
    bool m_loopback = false;
    bool m_chipSelected = false;
    uint64_t m_clocks = 0;
    uint64_t m_sendImmediates = 0;

    // The command being assembled, and data bytes still to come for a byte-mode shift.
    uint8_t m_cmd[4] = {};
    unsigned m_cmdSize = 0;
    unsigned m_cmdNeeded = 0;
    uint32_t m_dataLeft = 0;
    uint8_t m_shiftOpcode = 0;
    bool m_lastOutBit = false; // data-out level left by the last clock
    bool m_lastInBit = true;   // data-in level seen at the last clock

    std::vector<uint8_t> m_rx;
    size_t m_rxHead = 0;
};

} // namespace tbsim

#endif
