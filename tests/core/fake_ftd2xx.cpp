// A bare D2XX-compatible driver for answers the simulated master never gives and for timing the library
// alone: register frames are decoded by their fixed layout, registers are plain storage preset by the
// test, and the instruction register always reads 0 (taken at once). A stand-in, not a simulation.
#include <cstdint>
#include <cstring>
#include <deque>

#include "platform/d2xx.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
uint8_t aucRegisters[256];
std::deque<uint8_t> dequeRx;
int iDevice;
} // namespace

FAKE_EXPORT void fake_ftd2xx_set(uint8_t ucAddress, uint8_t ucValue)
{
    aucRegisters[ucAddress] = ucValue;
}
FAKE_EXPORT void fake_ftd2xx_reset()
{
    std::memset(aucRegisters, 0, sizeof aucRegisters);
    dequeRx.clear();
}

FAKE_EXPORT FT_STATUS FT_Open(int, FT_HANDLE *pHandle)
{
    return *pHandle = &iDevice, FT_OK;
}
FAKE_EXPORT FT_STATUS FT_Close(FT_HANDLE)
{
    return FT_OK;
}
FAKE_EXPORT FT_STATUS FT_Purge(FT_HANDLE, ULONG)
{
    return dequeRx.clear(), FT_OK;
}
FAKE_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE, ULONG, ULONG)
{
    return FT_OK;
}
FAKE_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE, UCHAR)
{
    return FT_OK;
}
FAKE_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE, UCHAR, UCHAR)
{
    return FT_OK;
}
FAKE_EXPORT FT_STATUS FT_EE_Read(FT_HANDLE, FT_PROGRAM_DATA *)
{
    return FT_OK;
}

FAKE_EXPORT FT_STATUS FT_Write(FT_HANDLE, void *pBuffer, DWORD ulCount, DWORD *pulWritten)
{
    const auto *puc = static_cast<const uint8_t *>(pBuffer);
    if (ulCount == 12 && puc[3] == 0x11 && puc[6] == 0x02 && puc[7] != 0xF4 && puc[7] != 0xE1)
        aucRegisters[puc[7]] = puc[8];
    else if (ulCount == 13 && puc[3] == 0x35 && puc[6] == 0x03)
        dequeRx.insert(dequeRx.end(), {0xFF, 0xFF, aucRegisters[puc[7]]});
    *pulWritten = ulCount;
    return FT_OK;
}

FAKE_EXPORT FT_STATUS FT_Read(FT_HANDLE, void *pBuffer, DWORD ulCount, DWORD *pulRead)
{
    auto *puc = static_cast<uint8_t *>(pBuffer);
    for (*pulRead = 0; *pulRead < ulCount && !dequeRx.empty(); ++*pulRead, dequeRx.pop_front())
        puc[*pulRead] = dequeRx.front();
    return FT_OK;
}
