// One FTDI device opened through libftdi1 on its first interface, with the behaviour of FTDI's D2XX
// driver where libftdi1 differs: reads wait for the whole count until the read time-out, then hand over
// what came; the serial number is read once at opening. One write is one bulk transfer, and a read asks
// for as many packets as its answer fills. The chip's latency timer always runs at its shortest useful
// period: it only decides how soon an answer the caller did not push out with send-immediate arrives and
// how often an idle chip reports, and a read that waits for the chip waits inside libusb.
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
    // The read buffer of libftdi1 sized to the packets the rest of an answer fills.
    void fitReadChunk(DWORD wanted);

    ftdi_context *context;
    uint16_t productId = 0;
    bool haveStrings = false;
    std::string manufacturer, description, serialNumber;
    uint32_t readTimeoutMs;
    ULONG largestIn = 16384, largestOut = 0; // FT_SetUSBParameters; 0: a write goes out whole
};

} // namespace tbftdi

#endif
