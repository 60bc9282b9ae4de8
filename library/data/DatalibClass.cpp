// Construction and single-byte access of the register image.
#include "tarnbus/DatalibClass.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace {

// Bytes of one array of the image; std::bad_alloc when the dimensions cannot be held.
std::size_t uImageSize(int iBytes, int iRows, int iPages)
{
    if (iBytes <= 0 || iRows <= 0 || iPages <= 0)
        throw std::invalid_argument("DatalibClass: bytes per row, rows and pages must all be 1 or more");
    const std::size_t uMax = std::numeric_limits<std::ptrdiff_t>::max();
    std::size_t uSize = static_cast<std::size_t>(iBytes);
    for (const int iFactor : {iRows, iPages}) {
        if (uSize > uMax / static_cast<std::size_t>(iFactor))
            throw std::bad_alloc();
        uSize *= static_cast<std::size_t>(iFactor);
    }
    return uSize;
}

} // namespace

DatalibClass::DatalibClass(int iBytes, int iRows, int iPages)
    : iLastByte(iBytes - 1), iLastRow(iRows - 1), iPageCount(iPages),
      vecValues(uImageSize(iBytes, iRows, iPages), 0), vecValid(vecValues.size(), 1)
{}

DatalibClass::~DatalibClass() = default;

std::size_t DatalibClass::uIndex(int iPage, int iRow, int iByte) const
{
    if (iByte < 0 || iByte > iLastByte || iRow < 0 || iRow > iLastRow || iPage < 1 || iPage > iPageCount)
        throw true;
    const std::size_t uRowLength = static_cast<std::size_t>(iLastByte) + 1;
    const std::size_t uPageLength = uRowLength * (static_cast<std::size_t>(iLastRow) + 1);
    return static_cast<std::size_t>(iPage - 1) * uPageLength + static_cast<std::size_t>(iRow) * uRowLength +
           static_cast<std::size_t>(iByte);
}

void DatalibClass::vSetValue(int iPage, int iRow, int iByte, unsigned char ucValue)
{
    vecValues[uIndex(iPage, iRow, iByte)] = ucValue;
}

void DatalibClass::vSetValue(int iRow, int iByte, unsigned char ucValue)
{
    vSetValue(1, iRow, iByte, ucValue);
}

void DatalibClass::vSetValue(int iByte, unsigned char ucValue)
{
    vSetValue(1, 0, iByte, ucValue);
}

unsigned char DatalibClass::ucGetValue(int iPage, int iRow, int iByte) const
{
    return vecValues[uIndex(iPage, iRow, iByte)];
}

unsigned char DatalibClass::ucGetValue(int iRow, int iByte) const
{
    return ucGetValue(1, iRow, iByte);
}

unsigned char DatalibClass::ucGetValue(int iByte) const
{
    return ucGetValue(1, 0, iByte);
}

void DatalibClass::vSetValid(int iPage, int iRow, int iByte, bool bValid)
{
    vecValid[uIndex(iPage, iRow, iByte)] = bValid ? 1 : 0;
}

void DatalibClass::vSetValid(int iRow, int iByte, bool bValid)
{
    vSetValid(1, iRow, iByte, bValid);
}

void DatalibClass::vSetValid(int iByte, bool bValid)
{
    vSetValid(1, 0, iByte, bValid);
}

bool DatalibClass::bIfValid(int iPage, int iRow, int iByte) const
{
    return vecValid[uIndex(iPage, iRow, iByte)] != 0;
}

bool DatalibClass::bIfValid(int iRow, int iByte) const
{
    return bIfValid(1, iRow, iByte);
}

bool DatalibClass::bIfValid(int iByte) const
{
    return bIfValid(1, 0, iByte);
}

void DatalibClass::vCheckRows(unsigned char ucFirstRow, unsigned char ucRowCount, unsigned char ucPage) const
{
    if (ucRowCount == 0)
        return;
    // The first and last byte of the first and last row stand for the whole block.
    uIndex(ucPage, ucFirstRow, 127);
    uIndex(ucPage, ucFirstRow + ucRowCount - 1, 127);
}
