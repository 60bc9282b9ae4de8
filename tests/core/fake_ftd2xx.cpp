// A bare D2XX-compatible driver for tests and benchmarks that need a master answering exactly as told:
// each register frame the library sends is decoded by its fixed layout, registers are plain storage
// that the test presets, and the instruction register always reads 0 (taken at once). No timing, no
// slaves: a stand-in, not a simulation.
#include <cstdint>
#include <cstring>
#include <deque>

#include "platform/d2xx.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

uint8_t aucRegisters[256];
std::deque<uint8_t> dequeRx;
int iDummyDevice;

} // namespace

FAKE_EXPORT void fake_ftd2xx_set(uint8_t ucAddress, uint8_t ucValue) { aucRegisters[ucAddress] = ucValue; }
FAKE_EXPORT uint8_t fake_ftd2xx_get(uint8_t ucAddress) { return aucRegisters[ucAddress]; }
FAKE_EXPORT void fake_ftd2xx_reset()
{
    std::memset(aucRegisters, 0, sizeof aucRegisters);
    dequeRx.clear();
}

FAKE_EXPORT FT_STATUS FT_Open(int, FT_HANDLE *pHandle)
{
    *pHandle = &iDummyDevice;
    return FT_OK;
}
FAKE_EXPORT FT_STATUS FT_Close(FT_HANDLE) { return FT_OK; }
FAKE_EXPORT FT_STATUS FT_Purge(FT_HANDLE, ULONG)
{
    dequeRx.clear();
    return FT_OK;
}
FAKE_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE, ULONG, ULONG) { return FT_OK; }
FAKE_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE, UCHAR) { return FT_OK; }
FAKE_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE, UCHAR, UCHAR) { return FT_OK; }
FAKE_EXPORT FT_STATUS FT_EE_Read(FT_HANDLE, FT_PROGRAM_DATA *) { return FT_OK; }

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
    DWORD ulDone = 0;
    for (; ulDone < ulCount && !dequeRx.empty(); ++ulDone) {
        puc[ulDone] = dequeRx.front();
        dequeRx.pop_front();
    }
    *pulRead = ulDone;
    return FT_OK;
}
