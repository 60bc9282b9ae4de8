// The encoder's 6-byte configuration block (RAM at 0, EEPROM at 16): what the program reads from it
// and how it merges a new setting into it without disturbing the bits it does not own.
#ifndef ROTACONF_CONFIGBLOCK_H
#define ROTACONF_CONFIGBLOCK_H

#include <cstdint>
#include <span>

struct TConfigBlockValues {
    uint16_t Code = 0;     // byte 0, bits 0..4
    uint8_t Direction = 0; // byte 2, bit 5
    uint8_t Mode = 0; // zero-pulse mode 0..6 from gate g (byte 2, bits 0..1) and select s (byte 3, bits 4..5)
    uint16_t Divider = 0; // byte 4 and byte 5 bits 0..6
};

constexpr size_t ConfigBlockSize = 6;

// Zero-pulse mode of a gate g and select s (both 0..3).
uint8_t ZeroPulseMode(unsigned Gate, unsigned Select);
// Gate and select that give a mode; modes outside 2..6 give 0, 0.
void ZeroPulseBits(int Mode, unsigned &Gate, unsigned &Select);

TConfigBlockValues DecodeConfigBlock(std::span<const uint8_t, ConfigBlockSize> Block);
// Only the low 5 bits of Code and 15 bits of Divider reach the block; every other bit keeps its value.
void MergeConfigBlock(std::span<uint8_t, ConfigBlockSize> Block, int Code, int Direction, int Divider,
                      int Mode);

#endif
