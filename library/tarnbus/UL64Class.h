/*
 * UL64Class: an unsigned 64-bit number kept as two 32-bit halves, with bit-field insertion and
 * extraction, shifts, sums, differences, comparisons and text forms. Arithmetic wraps modulo 2^64.
 *
 * Every value also carries its number of significant bits (1..64, the value 0 counting as 1 bit).
 * The two-word setter recomputes it, and with it every operation built on that setter (constructor,
 * bit-field insertion, extraction, sums, differences, right shift). The text setter and the left
 * shift write the halves directly and keep the previous count; strGetValue uses the count when it
 * is asked for an automatic number of digits.
 *
 * Bit fields are named by the index of their most significant bit (ucMsb, 0..63) and their length in
 * bits (ucLen, 0..64). A field longer than ucMsb + 1 is cut at bit 0 and covers bits 0..ucMsb.
 */
#ifndef TARNBUS_UL64CLASS_H
#define TARNBUS_UL64CLASS_H

#include <climits>
#include <cstdint>
#include <string>

#include "tarnbus_export.h"

/* Number format of the text conversions (passed as a 32-bit integer). */
enum FormatEnum : int32_t {
    FORMAT_DEC = 0, /* decimal digits */
    FORMAT_HEX = 1, /* hexadecimal digits, upper case, no prefix */
    FORMAT_BIN = 2  /* binary digits '0' and '1' */
};

class TARNBUS_EXPORT UL64Class {
public:
    /* The value high * 2^32 + low; without arguments the value 0. Not explicit, so that hosts can
     * write {high, low} and clear a value with = 0. Mind that a lone number converted this way is
     * the upper half: the operations a plain number most often reaches (sums, differences,
     * equality, bit-field insertion) have forms of their own that take it as the value. */
    UL64Class(uint32_t ulHigh = 0, uint32_t ulLow = 0);
    UL64Class(const UL64Class &) = default;
    UL64Class &operator=(const UL64Class &) = default;

    void vSetValue(uint32_t ulHigh, uint32_t ulLow);
    void vSetValueH(uint32_t ulHigh);
    void vSetValueL(uint32_t ulLow);
    void vGetValue(uint32_t *const pulHigh, uint32_t *const pulLow) const;
    uint32_t ulGetValueH() const;
    uint32_t ulGetValueL() const;

    /* Text of binary digits, the last character being bit 0; '1' sets a bit, any other character
     * leaves it 0. Up to 64 digits; of a longer text only the last 64 characters count. The bit count
     * is kept as it was. */
    void vSetValue(std::string strBits);

    /* Replaces the bits of the field (ucMsb, ucLen) with the lowest ucLen bits of the value; all other
     * bits stay. A field of length 0 changes nothing. */
    void vSetValue(unsigned char ucMsb, unsigned char ucLen, uint32_t ulValue);
    void vSetValue(unsigned char ucMsb, unsigned char ucLen, UL64Class ullValue);

    /* The field's bits moved down to bit 0 (a cut field: bits 0..ucMsb unchanged); length 0 gives 0. */
    UL64Class ullExtractData(unsigned char ucMsb, unsigned char ucLen) const;
    /* Lower half of ullExtractData: fields of up to 32 bits. */
    uint32_t ulExtractData(unsigned char ucMsb, unsigned char ucLen) const;

    /* A positive count adds, zero or a negative count subtracts its magnitude. */
    UL64Class operator+(int32_t lValue) const;
    UL64Class operator+(uint32_t ulValue) const;
    UL64Class operator+(UL64Class ullValue) const;
#if ULONG_MAX > 0xFFFFFFFFul
    /* Where long has 64 bits, a long or unsigned long fits neither 32-bit form better than the other;
     * these add it whole, modulo 2^64, as the 32-bit forms do within their range. */
    UL64Class operator+(long lValue) const
    {
        return *this + static_cast<unsigned long>(lValue);
    }
    UL64Class operator+(unsigned long ulValue) const
    {
        return *this + UL64Class(static_cast<uint32_t>(ulValue >> 32), static_cast<uint32_t>(ulValue));
    }
#else
    /* Where long has 32 bits but is a type of its own (Windows), it takes the 32-bit forms rather
     * than leaving the caller with an ambiguous call. */
    UL64Class operator+(long lValue) const
    {
        return *this + static_cast<int32_t>(lValue);
    }
    UL64Class operator+(unsigned long ulValue) const
    {
        return *this + static_cast<uint32_t>(ulValue);
    }
#endif
    UL64Class operator-(uint32_t ulValue) const;
    UL64Class operator-(UL64Class ullValue) const;

    /* Logical shifts of the object itself; both return a copy of the new value. A count of 64 or
     * more clears the value; a count of 0 or below leaves it as it is. */
    UL64Class operator>>=(int iCount);
    UL64Class operator<<=(int iCount);

    /* Comparisons look at the value only, never at the bit count. */
    bool operator==(UL64Class ullValue) const;
    bool operator==(uint32_t ulValue) const;
    bool operator!=(UL64Class ullValue) const;
    bool operator!=(uint32_t ulValue) const;
    bool operator<(UL64Class ullValue) const;
    bool operator>(UL64Class ullValue) const;

    /*
     * Text of the value. iDigits 0 picks the digit count from the bit count (all significant bits in
     * FORMAT_BIN, a quarter of them rounded up otherwise); a negative count counts as 0 and counts
     * above 64 as 64. FORMAT_DEC gives the decimal text of the lower half only. FORMAT_HEX pads with
     * '0' to the digit count and never cuts. FORMAT_BIN gives exactly that many digits, most
     * significant first unless bMsbFirst is false. Any other format gives an empty text.
     */
    std::string strGetValue(FormatEnum eFormat, int iDigits, bool bMsbFirst) const;

    /* ucDigits binary digits of the number high * 2^32 + low (not of the object): bits ucDigits - 1
     * down to 0, most significant first, or bit 0 first when bMsbFirst is false. Digits above bit 63
     * read '0'. */
    static std::string strBin2Str(uint32_t ulHigh, uint32_t ulLow, unsigned char ucDigits, bool bMsbFirst);

private:
    uint32_t ulValueH; /* bits 32..63 */
    uint32_t ulValueL; /* bits 0..31 */
    int32_t iBitCount; /* significant bits, 1..64 */
};

#endif
