// One FTDI device opened through libftdi1 on its first interface, with the behaviour of FTDI's D2XX
// driver where libftdi1 differs: reads wait for the whole count until the read time-out, then hand over
// what came; the serial number is read once at opening.
#ifndef TARNBUS_FTDI_DEVICE_H
#define TARNBUS_FTDI_DEVICE_H

#include <cstdint>
#include <memory>
#include <string>

#include "d2xx.h"

struct ftdi_context;

namespace tbftdi {

// The FTDI chips with an MPSSE engine, in the order devices are counted by index.
constexpr uint16_t FTDI_VENDOR = 0x0403;
constexpr uint16_t MPSSE_PRODUCTS[] = {0x6010 /* FT2232 */, 0x6011 /* FT4232H */, 0x6014 /* FT232H */};

class FtdiDevice {
public:
    // The index-th MPSSE-capable FTDI device on the machine, opened on its interface A.
    static FT_STATUS open(int index, std::unique_ptr<FtdiDevice> &device);
    ~FtdiDevice();
    FtdiDevice(const FtdiDevice &) = delete;
    FtdiDevice &operator=(const FtdiDevice &) = delete;

    FT_STATUS write(const uint8_t *bytes, DWORD count, DWORD &written);
    FT_STATUS read(uint8_t *bytes, DWORD count, DWORD &received);
    FT_STATUS purge(ULONG mask);
    FT_STATUS setTimeouts(ULONG readMs, ULONG writeMs);
    FT_STATUS setLatencyTimer(UCHAR ms);
    FT_STATUS setBitMode(UCHAR mask, UCHAR mode);
    FT_STATUS reset();
    FT_STATUS setTransferSizes(ULONG inBytes, ULONG outBytes);
    FT_STATUS readEeprom(FT_PROGRAM_DATA &data) const;

private:
    explicit FtdiDevice(ftdi_context *context) : context(context) {}

    ftdi_context *context;
    uint16_t productId = 0;
    bool haveStrings = false;
    std::string manufacturer, description, serialNumber;
    uint32_t readTimeoutMs;
};

} // namespace tbftdi

#endif
