// Small text helpers shared by the scenario and EEPROM file readers.
#ifndef TBSIM_TEXT_UTIL_H
#define TBSIM_TEXT_UTIL_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tbsim {

std::string_view trim(std::string_view s);

// "0x1F", "31" (decimal) or "0b11111". False on anything else or a value above max.
bool parseNumber(std::string_view s, uint32_t max, uint32_t &out);

// Bytes as two-digit hexadecimal numbers separated by blanks or commas ("A4 5A,61"). False on a
// token that is not one hexadecimal byte.
bool parseHexBytes(std::string_view s, std::vector<uint8_t> &out);

} // namespace tbsim

#endif
