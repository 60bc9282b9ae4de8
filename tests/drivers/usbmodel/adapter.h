// The FTDI chip as the USB host sees it: descriptors and strings, vendor requests, and the bulk
// endpoints of its interfaces, with the chip's own timing. Interface A is wired to the simulated
// adapter (its MPSSE engine and master chip); the other interfaces of a multi-channel chip are there
// and answer, but nothing hangs behind them.
#ifndef TARNBUS_TEST_USBMODEL_ADAPTER_H
#define TARNBUS_TEST_USBMODEL_ADAPTER_H

#include <libusb.h>

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "usbmodel.h"

namespace usbmodel {

struct Chip {
    const char *name;
    uint16_t product, bcdDevice;
    uint8_t interfaces;
    const char *defaultProduct; // the product string of a chip without EEPROM
};

class Adapter {
public:
    Adapter();

    void reset();
    bool setChip(const char *name, bool fullSpeed);
    void setFault(usbmodel_fault fault, bool on, uint32_t arg);
    void setStrings(const char *manufacturer, const char *product, const char *serial);

    // On the bus: plugged in and the simulated adapter neither absent nor unplugged.
    bool present();
    // Each enumeration is a new appearance on the bus; handles of an older one find no device.
    uint32_t generation() const { return busGeneration; }
    // Reads the strings out of the adapter's EEPROM, as the chip does when it powers up.
    void enumerate();
    void deviceDescriptor(libusb_device_descriptor &desc) const;
    libusb_config_descriptor *configDescriptor() const;
    int stringDescriptor(uint8_t index, unsigned char *data, int length);

    int claim(unsigned interface);
    void release(unsigned interface);
    int control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, unsigned char *data,
                uint16_t length);
    int bulk(unsigned char endpoint, unsigned char *data, int length, int *transferred, unsigned timeoutMs);

    uint64_t clockNs() const { return now; }
    usbmodel_counters counters{};
    std::vector<std::string> log;
    void note(const std::string &line);

private:
    struct Byte {
        uint8_t value;
        uint64_t ready; // when the engine has clocked it in
    };
    struct Channel {
        bool claimed = false;
        int lockFd = -1;
        void *simHandle = nullptr; // interface A only
        uint8_t latencyMs = 16;
        std::deque<Byte> tx;   // on the way to the host
        size_t flushCount = 0; // how many of them a send-immediate pushes out, from flushAt on
        uint64_t flushAt = 0;
        uint64_t lastPacket = 0; // the latency timer runs from the last packet sent
        uint64_t engineFree = 0; // when the engine has worked through what it was given
    };

    unsigned packetSize() const { return fullSpeed ? 64 : 512; }
    uint64_t frameNs() const { return fullSpeed ? 1000000 : 125000; }
    unsigned packetsPerFrame() const { return fullSpeed ? 19 : 13; } // bulk packets a (micro)frame carries
    uint64_t packetNs() const { return frameNs() / packetsPerFrame(); }
    uint64_t frameAfter(uint64_t t) const { return (t + frameNs() - 1) / frameNs() * frameNs(); }
    bool fault(usbmodel_fault f) const { return faultOn[f]; }
    // One more packet on the bus; false once the adapter is gone (unplugged now or earlier).
    bool packetGoes();
    bool gone();
    void purgeToHost(Channel &ch);
    int bulkOut(Channel &ch, const unsigned char *data, int length, int *transferred, unsigned timeoutMs);
    int bulkIn(Channel &ch, unsigned char *data, int length, int *transferred, unsigned timeoutMs);
    // Hands bytes to the engine; false when it took none (the adapter failed or went).
    int feedEngine(Channel &ch, const unsigned char *data, size_t length, uint64_t at, size_t &taken);
    uint64_t nextPacketTime(const Channel &ch, uint64_t from) const;
    size_t readyCount(const Channel &ch, uint64_t at) const;
    bool lockInterface(Channel &ch, unsigned interface);

    const Chip *chip;
    bool fullSpeed = false;
    std::array<bool, USBMODEL_FAULT_COUNT> faultOn{};
    std::array<uint32_t, USBMODEL_FAULT_COUNT> faultArg{};
    bool unplugged = false;
    uint32_t busGeneration = 1;
    // Manufacturer, product and serial number (string descriptors 1 to 3); no serial number: none.
    std::array<std::string, 3> eeprom;
    std::array<std::optional<std::string>, 3> overrides;
    const std::string &text(unsigned i) const { return overrides[i] ? *overrides[i] : eeprom[i]; }
    std::array<Channel, 4> channels;
    uint64_t now = 0; // nanoseconds
};

Adapter &adapter();
void freeConfigDescriptor(libusb_config_descriptor *config);

} // namespace usbmodel

#endif
