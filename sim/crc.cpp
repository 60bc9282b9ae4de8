#include "crc.h"

namespace tbsim {

unsigned crcWidth(uint32_t polynomial)
{
    unsigned degree = 0;
    for (uint32_t p = polynomial >> 1; p != 0; p >>= 1)
        ++degree;
    return degree;
}

uint32_t crcOf(const std::vector<bool> &bits, uint32_t polynomial)
{
    const unsigned width = crcWidth(polynomial);
    if (width == 0)
        return 0;
    const uint32_t top = uint32_t(1) << (width - 1);
    const uint32_t mask = width >= 32 ? UINT32_MAX : (uint32_t(1) << width) - 1;
    uint32_t crc = 0;
    for (const bool bit : bits) {
        const bool feedback = bit != ((crc & top) != 0);
        crc = (crc << 1) & mask;
        if (feedback)
            crc ^= polynomial & mask;
    }
    return crc;
}

uint32_t polynomialFromRegister(uint8_t value)
{
    return value == 0 ? 0 : (uint32_t(value) << 1) | 1;
}

} // namespace tbsim
