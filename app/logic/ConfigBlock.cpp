#include "ConfigBlock.h"

uint8_t ZeroPulseMode(unsigned Gate, unsigned Select)
{
    switch (Gate) {
    case 0:
        return Select == 0 ? 1 : Select == 3 ? 2 : 0;
    case 1: {
        static const uint8_t BySelect[4] = {3, 6, 5, 4};
        return BySelect[Select & 3];
    }
    default:
        return 0;
    }
}

void ZeroPulseBits(int Mode, unsigned &Gate, unsigned &Select)
{
    Gate = 0;
    Select = 0;
    switch (Mode) {
    case 2:
        Select = 3;
        break;
    case 3:
        Gate = 1;
        break;
    case 4:
        Gate = 1;
        Select = 3;
        break;
    case 5:
        Gate = 1;
        Select = 2;
        break;
    case 6:
        Gate = 1;
        Select = 1;
        break;
    default:
        break;
    }
}

TConfigBlockValues DecodeConfigBlock(std::span<const uint8_t, ConfigBlockSize> Block)
{
    TConfigBlockValues Values;
    Values.Code = Block[0] & 0x1F;
    Values.Direction = (Block[2] >> 5) & 1;
    Values.Mode = ZeroPulseMode(Block[2] & 3, (Block[3] >> 4) & 3);
    Values.Divider = static_cast<uint16_t>(Block[4] | ((Block[5] & 0x7F) << 8));
    return Values;
}

void MergeConfigBlock(std::span<uint8_t, ConfigBlockSize> Block, int Code, int Direction, int Divider,
                      int Mode)
{
    unsigned Gate = 0, Select = 0;
    ZeroPulseBits(Mode, Gate, Select);
    // A code of 32 or more from a bad catalogue entry must not reach the bits above the code field.
    Block[0] = static_cast<uint8_t>((Block[0] & 0xE0) | (Code & 0x1F));
    Block[2] = static_cast<uint8_t>((Block[2] & ~0x23) | (Direction == 1 ? 0x20 : 0) | Gate);
    Block[3] = static_cast<uint8_t>((Block[3] & ~0x30) | (Select << 4));
    Block[4] = static_cast<uint8_t>(Divider & 0xFF);
    Block[5] = static_cast<uint8_t>((Block[5] & 0x80) | ((Divider >> 8) & 0x7F));
}
