// Small helpers on 64-bit words shared by the value and image code: shifts that accept any count
// (a count of 64 or more shifts everything out) and low-bit masks.
#ifndef TARNBUS_DATA_BIT_MATH_H
#define TARNBUS_DATA_BIT_MATH_H

#include <bit>
#include <cstdint>

namespace tarnbus_data {

inline uint64_t ullShiftLeft(uint64_t ullWord, int iCount)
{
    return iCount >= 64 ? 0 : ullWord << iCount;
}

inline uint64_t ullShiftRight(uint64_t ullWord, int iCount)
{
    return iCount >= 64 ? 0 : ullWord >> iCount;
}

// The lowest uBits bits set (all 64 for 64 or more).
inline uint64_t ullLowMask(unsigned uBits)
{
    return uBits >= 64 ? ~uint64_t{0} : (uint64_t{1} << uBits) - 1;
}

// Index of the highest set bit plus 1; 0 for 0.
inline int iBitLength(uint64_t ullWord)
{
    return static_cast<int>(std::bit_width(ullWord));
}

} // namespace tarnbus_data

#endif
