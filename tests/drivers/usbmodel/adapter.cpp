#include "adapter.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <type_traits>

#include "d2xx.h"
#include "tarnbus_sim.h"

namespace usbmodel {

namespace {

const Chip CHIPS[] = {
    {"FT2232H", 0x6010, 0x0700, 2, "Dual RS232-HS"},
    {"FT4232H", 0x6011, 0x0800, 4, "Quad RS232-HS"},
    {"FT232H", 0x6014, 0x0900, 1, "Single RS232-HS"},
};
const std::string FAULT_NAMES[USBMODEL_FAULT_COUNT] = {"unplugged", "busy",        "stall",  "short",
                                                       "silent",    "out_timeout", "bitmode"};
// The modem-status bytes at the start of every packet: CTS and DSR up, transmitter empty.
constexpr uint8_t STATUS0 = 0x32, STATUS1 = 0x60;
// A transfer without time-out waits this long for a chip that never answers, instead of for ever.
constexpr uint64_t FOREVER_NS = 60'000'000'000ull;
constexpr uint64_t MS = 1'000'000;

// The simulated adapter's D2XX functions, bound from its own file: by name they would find the open
// driver's, which sits in the same process.
struct Simulator {
    FT_Open_t open;
    FT_Close_t close;
    FT_Read_t read;
    FT_Write_t write;
    FT_Purge_t purge;
    FT_SetLatencyTimer_t setLatency;
    FT_SetBitMode_t setBitMode;
    FT_EE_Read_t eeRead;
    void (*state)(tbsim_device_state *);
};

const Simulator &sim()
{
    static const Simulator bound = [] {
        void *library = dlopen(USBMODEL_SIM, RTLD_NOW | RTLD_LOCAL);
        Simulator s{};
        const auto bind = [&](const char *name, auto &function) {
            function =
                library ? reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name))
                        : nullptr;
            if (!function) {
                std::fprintf(stderr, "usb model: no %s in %s\n", name, USBMODEL_SIM);
                std::abort();
            }
        };
        bind("FT_Open", s.open);
        bind("FT_Close", s.close);
        bind("FT_Read", s.read);
        bind("FT_Write", s.write);
        bind("FT_Purge", s.purge);
        bind("FT_SetLatencyTimer", s.setLatency);
        bind("FT_SetBitMode", s.setBitMode);
        bind("FT_EE_Read", s.eeRead);
        bind("tbsim_device_state_get", s.state);
        return s;
    }();
    return bound;
}

std::string hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

} // namespace

Adapter &adapter()
{
    static Adapter *the = new Adapter; // handles may still be closed from exit handlers
    return *the;
}

Adapter::Adapter() : chip(&CHIPS[0])
{
    reset();
}

void Adapter::reset()
{
    for (unsigned i = 0; i < channels.size(); ++i)
        if (channels[i].claimed)
            release(i);
    channels = {};
    faultOn = {};
    faultArg = {};
    unplugged = false;
    ++busGeneration;
    overrides = {};
    now = 0;
    counters = {};
    log.clear();
    const char *chipName = std::getenv("USBMODEL_CHIP");
    const char *speed = std::getenv("USBMODEL_SPEED");
    if (!setChip(chipName && *chipName ? chipName : "FT2232H", speed && std::strcmp(speed, "full") == 0))
        std::fprintf(stderr, "usb model: unknown chip %s\n", chipName);
    // "name" or "name=arg", separated by commas.
    std::istringstream faults(std::getenv("USBMODEL_FAULTS") ? std::getenv("USBMODEL_FAULTS") : "");
    for (std::string item; std::getline(faults, item, ',');) {
        const std::string name = item.substr(0, item.find('='));
        const auto *found = std::find(std::begin(FAULT_NAMES), std::end(FAULT_NAMES), name);
        if (found == std::end(FAULT_NAMES))
            std::fprintf(stderr, "usb model: unknown fault %s\n", name.c_str());
        else
            setFault(
                usbmodel_fault(found - std::begin(FAULT_NAMES)), true,
                uint32_t(std::strtoul(item.c_str() + name.size() + (name.size() < item.size()), nullptr, 0)));
    }
}

bool Adapter::setChip(const char *name, bool full)
{
    for (const Chip &c : CHIPS)
        if (name && strcasecmp(name, c.name) == 0) {
            chip = &c;
            fullSpeed = full;
            return true;
        }
    return false;
}

void Adapter::setFault(usbmodel_fault f, bool on, uint32_t arg)
{
    if (f < 0 || f >= USBMODEL_FAULT_COUNT)
        return;
    faultOn[f] = on;
    faultArg[f] = arg;
}

void Adapter::setStrings(const char *manufacturer, const char *product, const char *serial)
{
    const char *given[] = {manufacturer, product, serial};
    for (int i = 0; i < 3; ++i)
        if (given[i])
            overrides[i] = given[i];
}

void Adapter::note(const std::string &line)
{
    log.push_back(line);
    if (const char *file = std::getenv("USBMODEL_LOG"); file && *file)
        std::ofstream(file, std::ios::app) << line << '\n';
}

bool Adapter::gone()
{
    if (faultOn[USBMODEL_UNPLUGGED] && faultArg[USBMODEL_UNPLUGGED] == 0)
        unplugged = true;
    return unplugged;
}

bool Adapter::present()
{
    if (gone())
        return false;
    tbsim_device_state state{};
    sim().state(&state);
    return state.present != 0;
}

bool Adapter::packetGoes()
{
    if (gone())
        return false;
    if (faultOn[USBMODEL_UNPLUGGED])
        --faultArg[USBMODEL_UNPLUGGED];
    return true;
}

void Adapter::enumerate()
{
    char manufacturer[128] = {}, id[128] = {}, description[128] = {}, serial[128] = {};
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature2 = 0xFFFFFFFF;
    data.Manufacturer = manufacturer;
    data.ManufacturerId = id;
    data.Description = description;
    data.SerialNumber = serial;
    FT_HANDLE handle = channels[0].simHandle;
    const bool own = !handle;
    if (own && sim().open(0, &handle) != FT_OK)
        return; // held through another handle: the strings read last time stand
    const bool programmed = sim().eeRead(handle, &data) == FT_OK;
    if (own)
        sim().close(handle);
    if (programmed)
        eeprom = {manufacturer, description, serial};
    else
        eeprom = {"FTDI", chip->defaultProduct, ""}; // a blank EEPROM: no serial number
}

void Adapter::deviceDescriptor(libusb_device_descriptor &desc) const
{
    desc = {};
    desc.bLength = LIBUSB_DT_DEVICE_SIZE;
    desc.bDescriptorType = LIBUSB_DT_DEVICE;
    desc.bcdUSB = 0x0200;
    desc.bMaxPacketSize0 = 64;
    desc.idVendor = 0x0403;
    desc.idProduct = chip->product;
    desc.bcdDevice = chip->bcdDevice;
    desc.iManufacturer = 1;
    desc.iProduct = 2;
    desc.iSerialNumber = text(2).empty() ? 0 : 3;
    desc.bNumConfigurations = 1;
}

namespace {
// One allocation per configuration descriptor, freed as a whole.
struct ConfigBlock {
    libusb_config_descriptor config;
    libusb_interface interfaces[4];
    libusb_interface_descriptor settings[4];
    libusb_endpoint_descriptor endpoints[4][2];
};
} // namespace

libusb_config_descriptor *Adapter::configDescriptor() const
{
    auto *block = new ConfigBlock{};
    libusb_config_descriptor &c = block->config;
    c.bLength = LIBUSB_DT_CONFIG_SIZE;
    c.bDescriptorType = LIBUSB_DT_CONFIG;
    c.bNumInterfaces = chip->interfaces;
    c.wTotalLength = uint16_t(LIBUSB_DT_CONFIG_SIZE +
                              chip->interfaces * (LIBUSB_DT_INTERFACE_SIZE + 2 * LIBUSB_DT_ENDPOINT_SIZE));
    c.bConfigurationValue = 1;
    c.bmAttributes = 0xA0; // bus powered, remote wake-up
    c.MaxPower = 50;       // 100 mA
    c.interface = block->interfaces;
    for (uint8_t i = 0; i < chip->interfaces; ++i) {
        libusb_interface_descriptor &s = block->settings[i];
        s.bLength = LIBUSB_DT_INTERFACE_SIZE;
        s.bDescriptorType = LIBUSB_DT_INTERFACE;
        s.bInterfaceNumber = i;
        s.bNumEndpoints = 2;
        s.bInterfaceClass = s.bInterfaceSubClass = s.bInterfaceProtocol = 0xFF;
        s.iInterface = 2;
        s.endpoint = block->endpoints[i];
        for (int e = 0; e < 2; ++e) {
            libusb_endpoint_descriptor &ep = block->endpoints[i][e];
            ep.bLength = LIBUSB_DT_ENDPOINT_SIZE;
            ep.bDescriptorType = LIBUSB_DT_ENDPOINT;
            ep.bEndpointAddress =
                uint8_t(e == 0 ? 0x81 + 2 * i : 0x02 + 2 * i); // IN first, as the chip has it
            ep.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
            ep.wMaxPacketSize = uint16_t(packetSize());
        }
        block->interfaces[i].altsetting = &s;
        block->interfaces[i].num_altsetting = 1;
    }
    return &block->config;
}

void freeConfigDescriptor(libusb_config_descriptor *config)
{
    delete reinterpret_cast<ConfigBlock *>(config);
}

int Adapter::stringDescriptor(uint8_t index, unsigned char *data, int length)
{
    if (index == 0 || !data || length < 1)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!present())
        return LIBUSB_ERROR_NO_DEVICE;
    now = frameAfter(now) + frameNs();
    ++counters.control;
    if (index > 3 || text(index - 1u).empty())
        return LIBUSB_ERROR_PIPE; // no such string: the chip stalls the request
    // A string descriptor holds at most 126 characters; the ASCII copy is cut to the buffer.
    const std::string &string = text(index - 1u);
    const size_t count = std::min({string.size(), size_t(126), size_t(length - 1)});
    std::memcpy(data, string.data(), count);
    data[count] = 0;
    return int(count);
}

bool Adapter::lockInterface(Channel &ch, unsigned interface)
{
    const char *dir = std::getenv("USBMODEL_LOCKDIR");
    if (!dir || !*dir)
        return true;
    const std::string path = std::string(dir) + "/" + chip->name + "-interface" + std::to_string(interface);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no shared record: this process alone decides
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    ch.lockFd = fd;
    return true;
}

int Adapter::claim(unsigned interface)
{
    if (interface >= chip->interfaces)
        return LIBUSB_ERROR_NOT_FOUND;
    if (!present())
        return LIBUSB_ERROR_NO_DEVICE;
    Channel &ch = channels[interface];
    if (ch.claimed || fault(USBMODEL_BUSY) || !lockInterface(ch, interface)) { // held by another handle
        note("claim " + std::to_string(interface) + " refused: busy");
        return LIBUSB_ERROR_BUSY;
    }
    if (interface == 0) {
        FT_HANDLE handle = nullptr;
        const FT_STATUS status = sim().open(0, &handle);
        if (status != FT_OK) {
            if (ch.lockFd >= 0)
                ::close(ch.lockFd);
            ch.lockFd = -1;
            note("claim 0 refused: " + std::string(status == FT_DEVICE_NOT_OPENED ? "busy" : "gone"));
            return status == FT_DEVICE_NOT_OPENED ? LIBUSB_ERROR_BUSY : LIBUSB_ERROR_NO_DEVICE;
        }
        ch.simHandle = handle;
    }
    ch.claimed = true;
    ch.lastPacket = ch.engineFree = now;
    ++counters.claims;
    note("claim " + std::to_string(interface));
    return LIBUSB_SUCCESS;
}

void Adapter::release(unsigned interface)
{
    if (interface >= channels.size() || !channels[interface].claimed)
        return;
    Channel &ch = channels[interface];
    if (ch.simHandle)
        sim().close(ch.simHandle);
    if (ch.lockFd >= 0)
        ::close(ch.lockFd);
    ch = Channel{};
    note("release " + std::to_string(interface));
}

void Adapter::purgeToHost(Channel &ch)
{
    ch.tx.clear();
    ch.flushCount = 0;
    if (ch.simHandle)
        sim().purge(ch.simHandle, FT_PURGE_RX);
}

int Adapter::control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                     unsigned char *data, uint16_t length)
{
    if (!present())
        return LIBUSB_ERROR_NO_DEVICE;
    now = frameAfter(now) + frameNs();
    ++counters.control;
    static const char *const names[] = {
        "RESET",    "MODEM_CTRL",        "SET_FLOW_CTRL",     "SET_BAUDRATE",
        "SET_DATA", "POLL_MODEM_STATUS", "SET_EVENT_CHAR",    "SET_ERROR_CHAR",
        nullptr,    "SET_LATENCY_TIMER", "GET_LATENCY_TIMER", "SET_BITMODE",
        "READ_PINS"};
    const unsigned port = (index & 0xFF) ? (index & 0xFF) - 1u : 0u;
    const std::string where = " " + std::string(1, char('A' + port));
    const char *name = request < std::size(names) ? names[request] : nullptr;
    // Requests the chip does not know, or a bit mode it will not take, are stalled.
    if ((requestType & LIBUSB_REQUEST_TYPE_VENDOR) == 0 || port >= chip->interfaces || !name ||
        (request == 0x0B && fault(USBMODEL_BITMODE_FAILS))) {
        note("refused request " + hex(request) + where);
        return LIBUSB_ERROR_PIPE;
    }
    if (request == 0x00) // reset (0), purge host to chip (1), purge chip to host (2)
        note((value == 0 ? "RESET" : value == 1 ? "PURGE_TO_CHIP" : "PURGE_TO_HOST") + where);
    else if (request == 0x09)
        note(name + (" " + std::to_string(value & 0xFF)) + where);
    else if (request == 0x0B)
        note(name + (" mask " + hex(value & 0xFF) + " mode " + hex(value >> 8)) + where);
    else
        note(name + (" " + hex(value)) + where);
    Channel &ch = channels[port];
    auto answer = [&](std::initializer_list<uint8_t> bytes) {
        if (!(requestType & LIBUSB_ENDPOINT_IN))
            return int(LIBUSB_ERROR_PIPE);
        const size_t n = std::min<size_t>(bytes.size(), length);
        if (data)
            std::copy_n(bytes.begin(), n, data);
        return int(n);
    };
    bool simOk = true;
    switch (request) {
    case 0x00:
        if (value != 1)
            purgeToHost(ch);
        simOk = !ch.simHandle || value == 2 || sim().purge(ch.simHandle, FT_PURGE_TX) == FT_OK;
        break;
    case 0x05:
        return answer({STATUS0, STATUS1});
    case 0x09:
        ch.latencyMs = uint8_t(std::max(1, value & 0xFF));
        simOk = !ch.simHandle || sim().setLatency(ch.simHandle, ch.latencyMs) == FT_OK;
        break;
    case 0x0A:
        return answer({ch.latencyMs});
    case 0x0B:
        simOk = !ch.simHandle || sim().setBitMode(ch.simHandle, uint8_t(value), uint8_t(value >> 8)) == FT_OK;
        break;
    case 0x0C:
        return answer({0xFF});
    }
    return simOk ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int Adapter::bulk(unsigned char endpoint, unsigned char *data, int length, int *transferred,
                  unsigned timeoutMs)
{
    int dummy = 0;
    int &done = transferred ? *transferred : dummy;
    done = 0;
    if (!present())
        return LIBUSB_ERROR_NO_DEVICE;
    const bool in = endpoint & LIBUSB_ENDPOINT_IN;
    const unsigned n = in ? (endpoint & 0x7F) / 2u : (endpoint / 2u) - 1u; // 0x81/0x02 is A, 0x83/0x04 B...
    if ((in ? (endpoint & 0x7F) % 2 != 1 : endpoint % 2 != 0) || n >= chip->interfaces || length < 0)
        return LIBUSB_ERROR_NOT_FOUND;
    Channel &ch = channels[n];
    if (!ch.claimed)
        return LIBUSB_ERROR_IO;
    ++(in ? counters.bulk_in : counters.bulk_out);
    if (fault(USBMODEL_STALL)) {
        now = frameAfter(now) + frameNs();
        return LIBUSB_ERROR_PIPE;
    }
    return in ? bulkIn(ch, data, length, &done, timeoutMs) : bulkOut(ch, data, length, &done, timeoutMs);
}

int Adapter::bulkOut(Channel &ch, const unsigned char *data, int length, int *transferred, unsigned timeoutMs)
{
    const uint64_t start = now;
    size_t accepted = size_t(length);
    if (fault(USBMODEL_OUT_TIMEOUT))
        accepted = std::min<size_t>(accepted, faultArg[USBMODEL_OUT_TIMEOUT]);
    // Packet by packet, so that an adapter pulled out in the middle has taken what went before.
    const size_t packets = std::max<size_t>(1, (accepted + packetSize() - 1) / packetSize());
    size_t sent = 0;
    bool lost = false;
    while (sent < packets) {
        if (!packetGoes()) {
            lost = true;
            break;
        }
        ++sent;
    }
    size_t taken = std::min(accepted, sent * packetSize());
    // The packets go at the start of the (micro)frame; the transfer ends with it.
    const uint64_t frame = frameAfter(now);
    now = frame + std::max<uint64_t>(1, (sent + packetsPerFrame() - 1) / packetsPerFrame()) * frameNs();
    // Nothing hangs behind the other interfaces: what they get goes nowhere.
    const int result = taken > 0 && ch.simHandle
                           ? feedEngine(ch, data, taken, frame + sent * packetNs(), taken)
                           : LIBUSB_SUCCESS;
    *transferred = int(taken);
    counters.bytes_out += taken;
    if (lost)
        return LIBUSB_ERROR_NO_DEVICE;
    if (result != LIBUSB_SUCCESS)
        return result;
    if (taken < size_t(length)) {
        now = std::max(now, start + (timeoutMs ? timeoutMs * MS : FOREVER_NS));
        return LIBUSB_ERROR_TIMEOUT; // the chip took no more within the time-out
    }
    return LIBUSB_SUCCESS;
}

int Adapter::feedEngine(Channel &ch, const unsigned char *data, size_t length, uint64_t at, size_t &taken)
{
    taken = 0;
    tbsim_device_state before{}, after{};
    sim().state(&before);
    DWORD written = 0;
    FT_STATUS status = sim().write(ch.simHandle, const_cast<unsigned char *>(data), DWORD(length), &written);
    if (status != FT_OK)
        return present() ? LIBUSB_ERROR_IO : LIBUSB_ERROR_NO_DEVICE;
    taken = written;
    sim().state(&after);
    std::vector<uint8_t> answer;
    for (;;) {
        uint8_t buffer[4096];
        DWORD got = 0;
        if (sim().read(ch.simHandle, buffer, sizeof buffer, &got) != FT_OK || got == 0)
            break;
        answer.insert(answer.end(), buffer, buffer + got);
    }
    // The engine clocks at 12 MHz / ((1 + divisor) * 2); its answers come out evenly while it works.
    const uint64_t begin = std::max(ch.engineFree, at);
    const uint64_t duration = (after.clocks - before.clocks) * (1u + after.divisor) * 1000u / 6u;
    for (size_t i = 0; i < answer.size(); ++i)
        ch.tx.push_back({answer[i], begin + duration * (i + 1) / answer.size()});
    ch.engineFree = begin + duration;
    // A send-immediate pushes out everything before it; it is taken as the last command of its write.
    if (after.send_immediate != before.send_immediate) {
        ch.flushCount = ch.tx.size();
        ch.flushAt = ch.engineFree;
    }
    return LIBUSB_SUCCESS;
}

size_t Adapter::readyCount(const Channel &ch, uint64_t at) const
{
    size_t n = 0;
    while (n < ch.tx.size() && ch.tx[n].ready <= at)
        ++n;
    return n;
}

uint64_t Adapter::nextPacketTime(const Channel &ch, uint64_t from) const
{
    if (fault(USBMODEL_SILENT) && faultArg[USBMODEL_SILENT] == 0)
        return UINT64_MAX;
    const size_t full = packetSize() - 2;
    uint64_t when = std::max(from, ch.lastPacket + ch.latencyMs * MS); // the latency timer
    if (ch.flushCount > 0)
        when = std::min(when, std::max(from, ch.flushAt));
    if (ch.tx.size() >= full)
        when = std::min(when, std::max(from, ch.tx[full - 1].ready));
    return when;
}

int Adapter::bulkIn(Channel &ch, unsigned char *data, int length, int *transferred, unsigned timeoutMs)
{
    const uint64_t deadline = now + (timeoutMs ? timeoutMs * MS : FOREVER_NS);
    uint64_t t = frameAfter(now);
    size_t got = 0;
    for (;;) {
        const uint64_t when = nextPacketTime(ch, t);
        if (when > deadline) {
            now = deadline;
            *transferred = int(got);
            return LIBUSB_ERROR_TIMEOUT;
        }
        t = when;
        if (!packetGoes()) {
            now = t;
            *transferred = int(got);
            return LIBUSB_ERROR_NO_DEVICE;
        }
        const size_t room = size_t(length) - got;
        if (room < 2)
            break;
        size_t n = std::min({readyCount(ch, t), size_t(packetSize() - 2), room - 2});
        if (fault(USBMODEL_SHORT_PACKETS))
            n = std::min<size_t>(n, std::max<uint32_t>(1, faultArg[USBMODEL_SHORT_PACKETS]));
        if (fault(USBMODEL_SILENT)) {
            n = std::min<size_t>(n, faultArg[USBMODEL_SILENT]);
            faultArg[USBMODEL_SILENT] -= uint32_t(n);
        }
        data[got] = STATUS0;
        data[got + 1] = STATUS1;
        for (size_t i = 0; i < n; ++i) {
            data[got + 2 + i] = ch.tx.front().value;
            ch.tx.pop_front();
        }
        ch.flushCount -= std::min(ch.flushCount, n);
        got += 2 + n;
        ch.lastPacket = t;
        t += packetNs();
        ++counters.packets_in;
        counters.bytes_in += n;
        // A short packet ends the transfer, and so does a full buffer.
        if (2 + n < packetSize() || got == size_t(length))
            break;
    }
    now = frameAfter(t);
    *transferred = int(got);
    return LIBUSB_SUCCESS;
}

} // namespace usbmodel
