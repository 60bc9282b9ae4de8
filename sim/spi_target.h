// A device on the MPSSE serial link: chip select and clocked bits, most significant bit first.
#ifndef TBSIM_SPI_TARGET_H
#define TBSIM_SPI_TARGET_H

#include <cstdint>

namespace tbsim {

class SpiTarget {
public:
    virtual ~SpiTarget() = default;
    // Chip select line: true while it is held low.
    virtual void chipSelect(bool selected) = 0;
    // One clock: the bit on the data-out line in, the bit the device drives back out.
    virtual bool clockBit(bool mosi) = 0;
    // Eight clocks; the default goes bit by bit.
    virtual uint8_t clockByte(uint8_t mosi)
    {
        uint8_t in = 0;
        for (int i = 7; i >= 0; --i)
            in = static_cast<uint8_t>((in << 1) | (clockBit((mosi >> i) & 1) ? 1 : 0));
        return in;
    }
};

} // namespace tbsim

#endif
