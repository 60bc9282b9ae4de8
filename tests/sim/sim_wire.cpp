#include "sim_wire.h"

FT_STATUS SimWire::open()
{
    FT_STATUS s = FT_Open(0, &handle);
    if (s != FT_OK)
        return s;
    FT_SetBitMode(handle, 0x00, 0x00);
    FT_SetBitMode(handle, 0x00, 0x02);
    write({0x80, 0x18, 0x1B, 0x82, 0x00, 0x0A, 0x86, 0x00, 0x00, 0x85});
    FT_Purge(handle, FT_PURGE_RX);
    return FT_OK;
}

void SimWire::close()
{
    if (handle)
        FT_Close(handle);
    handle = nullptr;
}

DWORD SimWire::write(std::vector<uint8_t> bytes)
{
    DWORD written = 0;
    FT_Write(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
    return written;
}

std::vector<uint8_t> SimWire::read(DWORD n)
{
    std::vector<uint8_t> buffer(n);
    DWORD got = 0;
    FT_Read(handle, buffer.data(), n, &got);
    buffer.resize(got);
    return buffer;
}

void SimWire::writeMaster(uint8_t address, uint8_t value)
{
    write({0x80, 0x10, 0x1B, 0x11, 0x02, 0x00, 0x02, address, value, 0x80, 0x18, 0x1B});
}

int SimWire::readMaster(uint8_t address)
{
    write({0x80, 0x10, 0x1B, 0x35, 0x02, 0x00, 0x03, address, 0x00, 0x80, 0x18, 0x1B, 0x87});
    const auto answer = read(3);
    return answer.size() == 3 ? answer[2] : -1;
}

int SimWire::transfer(int version, uint8_t slave, uint8_t address, unsigned count, bool write)
{
    const uint8_t instruction = version == 1 ? 0xE1 : 0xF4;
    writeMaster(0xE3, static_cast<uint8_t>((count - 1) & 0x7F));
    writeMaster(0xE2, static_cast<uint8_t>((address & 0x7F) | (write ? 0x80 : 0)));
    writeMaster(0xE5, static_cast<uint8_t>((slave & 7) << 3));
    writeMaster(instruction, version == 1 ? 0x04 : 0x08);
    for (int i = 0; i < 20 && readMaster(instruction) != 0; ++i) {
    }
    for (int i = 0; i < 20; ++i) {
        const int eot = readMaster(0xF0);
        if (eot >= 0 && (eot & 1))
            return readMaster(version == 1 ? 0xE0 : 0xF0);
    }
    return -1;
}
