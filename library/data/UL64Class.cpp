// Value, arithmetic, comparison, shift and bit-field operations of UL64Class. The halves are joined
// into one 64-bit word for the work and split again through vSetValue, which keeps the bit count.
#include "tarnbus/UL64Class.h"

#include "bit_math.h"

namespace {

uint64_t ullJoin(uint32_t ulHigh, uint32_t ulLow)
{
    return (static_cast<uint64_t>(ulHigh) << 32) | ulLow;
}

UL64Class ullFromWord(uint64_t ullWord)
{
    return UL64Class(static_cast<uint32_t>(ullWord >> 32), static_cast<uint32_t>(ullWord));
}

} // namespace

UL64Class::UL64Class(uint32_t ulHigh, uint32_t ulLow) : ulValueH(0), ulValueL(0), iBitCount(1)
{
    vSetValue(ulHigh, ulLow);
}

void UL64Class::vSetValue(uint32_t ulHigh, uint32_t ulLow)
{
    ulValueH = ulHigh;
    ulValueL = ulLow;
    const int iLength = tarnbus_data::iBitLength(ullJoin(ulHigh, ulLow));
    iBitCount = iLength > 0 ? iLength : 1;
}

void UL64Class::vSetValueH(uint32_t ulHigh)
{
    vSetValue(ulHigh, ulValueL);
}

void UL64Class::vSetValueL(uint32_t ulLow)
{
    vSetValue(ulValueH, ulLow);
}

void UL64Class::vGetValue(uint32_t *const pulHigh, uint32_t *const pulLow) const
{
    if (pulHigh)
        *pulHigh = ulValueH;
    if (pulLow)
        *pulLow = ulValueL;
}

uint32_t UL64Class::ulGetValueH() const
{
    return ulValueH;
}

uint32_t UL64Class::ulGetValueL() const
{
    return ulValueL;
}

void UL64Class::vSetValue(unsigned char ucMsb, unsigned char ucLen, uint32_t ulValue)
{
    vSetValue(ucMsb, ucLen, UL64Class(0, ulValue));
}

void UL64Class::vSetValue(unsigned char ucMsb, unsigned char ucLen, UL64Class ullValue)
{
    using namespace tarnbus_data;
    if (ucLen == 0)
        return;
    const unsigned uLen = ucLen > 64 ? 64 : ucLen;
    const uint64_t ullBits = ullJoin(ullValue.ulValueH, ullValue.ulValueL) & ullLowMask(uLen);
    const int iShift = static_cast<int>(ucMsb) + 1 - static_cast<int>(uLen);
    uint64_t ullField;
    uint64_t ullPlaced;
    if (iShift > 0) {
        ullField = ullShiftLeft(ullLowMask(uLen), iShift);
        ullPlaced = ullShiftLeft(ullBits, iShift);
    } else {
        // The field reaches below bit 0: it is cut there and the value's low bits fill bits 0..ucMsb.
        ullField = ullLowMask(static_cast<unsigned>(ucMsb) + 1);
        ullPlaced = ullBits;
    }
    const uint64_t ullOld = ullJoin(ulValueH, ulValueL);
    const uint64_t ullNew = (ullOld & ~ullField) | (ullPlaced & ullField);
    vSetValue(static_cast<uint32_t>(ullNew >> 32), static_cast<uint32_t>(ullNew));
}

UL64Class UL64Class::ullExtractData(unsigned char ucMsb, unsigned char ucLen) const
{
    using namespace tarnbus_data;
    if (ucLen == 0)
        return UL64Class();
    const uint64_t ullWord = ullJoin(ulValueH, ulValueL);
    const int iShift = static_cast<int>(ucMsb) + 1 - static_cast<int>(ucLen);
    if (iShift <= 0)
        return ullFromWord(ullWord & ullLowMask(static_cast<unsigned>(ucMsb) + 1));
    return ullFromWord(ullShiftRight(ullWord, iShift) & ullLowMask(ucLen));
}

uint32_t UL64Class::ulExtractData(unsigned char ucMsb, unsigned char ucLen) const
{
    return ullExtractData(ucMsb, ucLen).ulValueL;
}

UL64Class UL64Class::operator+(int32_t lValue) const
{
    // Adding the sign-extended count modulo 2^64 is the same as subtracting its magnitude when it
    // is negative, -2^31 included.
    const uint64_t ullAddend = static_cast<uint64_t>(static_cast<int64_t>(lValue));
    return ullFromWord(ullJoin(ulValueH, ulValueL) + ullAddend);
}

UL64Class UL64Class::operator+(uint32_t ulValue) const
{
    return ullFromWord(ullJoin(ulValueH, ulValueL) + ulValue);
}

UL64Class UL64Class::operator+(UL64Class ullValue) const
{
    return ullFromWord(ullJoin(ulValueH, ulValueL) + ullJoin(ullValue.ulValueH, ullValue.ulValueL));
}

UL64Class UL64Class::operator-(uint32_t ulValue) const
{
    return ullFromWord(ullJoin(ulValueH, ulValueL) - ulValue);
}

UL64Class UL64Class::operator-(UL64Class ullValue) const
{
    return ullFromWord(ullJoin(ulValueH, ulValueL) - ullJoin(ullValue.ulValueH, ullValue.ulValueL));
}

UL64Class UL64Class::operator>>=(int iCount)
{
    if (iCount < 0)
        iCount = 0;
    // Taking the top 64 - n bits as a field also recomputes the bit count.
    *this = iCount >= 64 ? UL64Class() : ullExtractData(63, static_cast<unsigned char>(64 - iCount));
    return *this;
}

UL64Class UL64Class::operator<<=(int iCount)
{
    if (iCount <= 0)
        return *this;
    // The halves are written directly: the bit count stays as it was.
    const uint64_t ullWord = tarnbus_data::ullShiftLeft(ullJoin(ulValueH, ulValueL), iCount);
    ulValueH = static_cast<uint32_t>(ullWord >> 32);
    ulValueL = static_cast<uint32_t>(ullWord);
    return *this;
}

bool UL64Class::operator==(UL64Class ullValue) const
{
    return ulValueH == ullValue.ulValueH && ulValueL == ullValue.ulValueL;
}

bool UL64Class::operator==(uint32_t ulValue) const
{
    return ulValueH == 0 && ulValueL == ulValue;
}

bool UL64Class::operator!=(UL64Class ullValue) const
{
    return !(*this == ullValue);
}

bool UL64Class::operator!=(uint32_t ulValue) const
{
    return !(*this == ulValue);
}

bool UL64Class::operator<(UL64Class ullValue) const
{
    return ullJoin(ulValueH, ulValueL) < ullJoin(ullValue.ulValueH, ullValue.ulValueL);
}

bool UL64Class::operator>(UL64Class ullValue) const
{
    return ullJoin(ulValueH, ulValueL) > ullJoin(ullValue.ulValueH, ullValue.ulValueL);
}
