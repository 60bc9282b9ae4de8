// The encoder's registers as the program uses them (slave 0, selector 0): the one place that names
// their addresses, for the device model, the register view and the command line.
#ifndef ROTACONF_ENCODERMAP_H
#define ROTACONF_ENCODERMAP_H

#include <cstdint>

namespace EncoderMap {

constexpr uint32_t RamBlock = 0;          // configuration block in RAM, registers 0..15
constexpr uint32_t EepromBlock = 16;      // the same block in EEPROM, registers 16..31
constexpr uint32_t BlockRegisters = 16;   // registers of each area (6 of them hold the configuration)
constexpr uint32_t RatingPlate = 32;      // article type, basic resolution, product code, serial: 32..55
constexpr uint32_t OrderDesignation = 56; // 32 characters: 56..87
constexpr uint32_t FactoryBlock = 88;     // divider, pulse count, direction, zero pulse: 88..103

} // namespace EncoderMap

#endif
