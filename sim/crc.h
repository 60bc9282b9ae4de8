// The CRC a BiSS slave sends after each data word and the master checks: a shift register over the
// bits in the order they travel, most significant first, starting at 0, no final inversion. The
// polynomial is given with all its terms, x^0 included: 0x43 is x^6 + x + 1 (BiSS C position data),
// 0x13 is x^4 + x + 1. The slave sends the CRC complemented.
#ifndef TBSIM_CRC_H
#define TBSIM_CRC_H

#include <cstdint>
#include <vector>

namespace tbsim {

// Width of the CRC of a polynomial: its degree. 0 and 1 have none.
unsigned crcWidth(uint32_t polynomial);

// CRC of bits (first bit first) over the polynomial; 0 when it has no width.
uint32_t crcOf(const std::vector<bool> &bits, uint32_t polynomial);

// The polynomial a master slot register names: the register holds it without its x^0 term, shifted
// down one place (bits 6..0 on a version-2 master, all 8 bits on version 1); 0 means no CRC.
uint32_t polynomialFromRegister(uint8_t value);

} // namespace tbsim

#endif
