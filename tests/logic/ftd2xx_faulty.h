// Control of libftd2xx-faulty.so, a D2XX stand-in that passes every call through to the simulated
// adapter and spoils the N-th call in one of the ways a USB device fails.
#ifndef ROTACONF_TEST_FTD2XX_FAULTY_H
#define ROTACONF_TEST_FTD2XX_FAULTY_H

#include <stdint.h>

extern "C" {

enum FaultyMode {
    FAULTY_ERROR = 0,       // the call fails (FT_IO_ERROR, FT_DEVICE_NOT_FOUND for FT_Open) and does nothing
    FAULTY_SHORT_READ = 1,  // FT_Read takes one byte less than asked, status FT_OK
    FAULTY_SHORT_WRITE = 2, // FT_Write takes one byte less than asked, status FT_OK
    FAULTY_TIMEOUT = 3,     // FT_Read or FT_Write moves nothing, status FT_OK: the answer stays queued
    FAULTY_UNPLUG = 4,      // this call and every later one fail as in FAULTY_ERROR
    FAULTY_MODE_COUNT
};

// Spoils call number n (1 = the next call) in the given way; n = 0 spoils nothing. Counts from 0.
__attribute__((visibility("default"))) void faulty_arm(uint32_t n, int mode);
// The calls made since faulty_arm, one letter each: O open, C close, R read, W write, P purge,
// T time-outs, L latency, B bit mode, E EEPROM read.
__attribute__((visibility("default"))) const char *faulty_calls(void);
}

#endif
