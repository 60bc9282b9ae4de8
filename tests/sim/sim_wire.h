// Talks to the simulated adapter as a host would: D2XX calls and MPSSE command bytes, one SPI frame
// per master register access.
#ifndef TBSIM_TEST_SIM_WIRE_H
#define TBSIM_TEST_SIM_WIRE_H

#include "d2xx.h"
#include "tarnbus_sim.h"

#include <cstdint>
#include <vector>

extern "C" {
FT_STATUS FT_Open(int, FT_HANDLE *);
FT_STATUS FT_Close(FT_HANDLE);
FT_STATUS FT_Read(FT_HANDLE, void *, DWORD, DWORD *);
FT_STATUS FT_Write(FT_HANDLE, void *, DWORD, DWORD *);
FT_STATUS FT_Purge(FT_HANDLE, ULONG);
FT_STATUS FT_SetTimeouts(FT_HANDLE, ULONG, ULONG);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE, UCHAR);
FT_STATUS FT_SetBitMode(FT_HANDLE, UCHAR, UCHAR);
FT_STATUS FT_GetQueueStatus(FT_HANDLE, DWORD *);
FT_STATUS FT_EE_Read(FT_HANDLE, FT_PROGRAM_DATA *);
}

struct SimWire {
    FT_HANDLE handle = nullptr;

    // Opens device 0 and puts it into MPSSE mode with the chip deselected.
    FT_STATUS open();
    void close();

    // Writes raw bytes; returns the count the device took.
    DWORD write(std::vector<uint8_t> bytes);
    // Reads up to n bytes, returning what came.
    std::vector<uint8_t> read(DWORD n);

    // One write frame: select, 0x11 with opcode 0x02, address, data, deselect.
    void writeMaster(uint8_t address, uint8_t value);
    // One read frame: select, 0x35 with opcode 0x03, address, filler, deselect, send immediate.
    // Returns the byte clocked in during the filler, or -1 when fewer than 3 bytes came back.
    int readMaster(uint8_t address);

    // A mode-B register transfer as the master runs it: parameters, start, wait, status.
    // Returns the status register after end of transmission, or -1 when it never came.
    int transfer(int version, uint8_t slave, uint8_t address, unsigned count, bool write);
};

#endif
