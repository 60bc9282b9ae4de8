// A stand-in for the libftdi1 functions the open driver uses. The simulated adapter (an FT2232H) is the
// one device on the bus: listing probes it, and every call on an open context becomes the matching
// D2XX call on the simulator. The results are libftdi1's own, so the driver's mapping to D2XX statuses
// is what is tested.
#include <ftdi.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "d2xx.h"
#include "ftdi_standin.h"

#define FTDI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The simulator's D2XX functions, bound from its own file: by name they would find the driver's.
struct Simulator {
    FT_Open_t open;
    FT_Close_t close;
    FT_Read_t read;
    FT_Write_t write;
    FT_Purge_t purge;
    FT_SetLatencyTimer_t setLatency;
    FT_SetBitMode_t setBitMode;
    FT_EE_Read_t eeRead;
};

template <typename T>
void bind(void *library, const char *name, T &function)
{
    function = reinterpret_cast<T>(dlsym(library, name));
    if (!function) {
        std::fprintf(stderr, "libftdi1 stand-in: %s missing in %s\n", name, TBSIM_LIBRARY);
        std::abort();
    }
}

const Simulator &sim()
{
    static const Simulator bound = [] {
        void *library = dlopen(TBSIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            std::fprintf(stderr, "libftdi1 stand-in: %s\n", dlerror());
            std::abort();
        }
        Simulator s{};
        bind(library, "FT_Open", s.open);
        bind(library, "FT_Close", s.close);
        bind(library, "FT_Read", s.read);
        bind(library, "FT_Write", s.write);
        bind(library, "FT_Purge", s.purge);
        bind(library, "FT_SetLatencyTimer", s.setLatency);
        bind(library, "FT_SetBitMode", s.setBitMode);
        bind(library, "FT_EE_Read", s.eeRead);
        return s;
    }();
    return bound;
}

constexpr int SIM_PRODUCT = 0x6010;
char simulatedDevice; // its address is the one libusb_device on the bus

std::map<std::string, int> forced;
int opens = 0;
int liveContexts = 0;

bool isForced(const char *function, int &result)
{
    const auto it = forced.find(function);
    if (it == forced.end())
        return false;
    result = it->second;
    return true;
}

FT_HANDLE handleOf(const ftdi_context *ftdi)
{
    return ftdi ? reinterpret_cast<FT_HANDLE>(ftdi->usb_dev) : nullptr;
}

} // namespace

#define FORCED(name)                                                                                         \
    do {                                                                                                     \
        int result_;                                                                                         \
        if (isForced(name, result_))                                                                         \
            return result_;                                                                                  \
    } while (0)

FTDI_EXPORT void ftdi_standin_force(const char *function, int result)
{
    if (result)
        forced[function] = result;
    else
        forced.erase(function);
}
FTDI_EXPORT void ftdi_standin_reset(void)
{
    forced.clear();
    opens = 0;
}
FTDI_EXPORT int ftdi_standin_opens(void)
{
    return opens;
}
FTDI_EXPORT int ftdi_standin_live_contexts(void)
{
    return liveContexts;
}

FTDI_EXPORT struct ftdi_context *ftdi_new(void)
{
    if (forced.count("ftdi_new"))
        return nullptr;
    auto *ftdi = static_cast<ftdi_context *>(std::calloc(1, sizeof(ftdi_context)));
    if (!ftdi)
        return nullptr;
    ftdi->usb_read_timeout = 5000;
    ftdi->usb_write_timeout = 5000;
    ftdi->type = TYPE_2232H;
    ftdi->interface = 0;
    ftdi->index = INTERFACE_A;
    ++liveContexts;
    return ftdi;
}

FTDI_EXPORT int ftdi_usb_close(struct ftdi_context *ftdi)
{
    if (!ftdi)
        return -3;
    if (ftdi->usb_dev)
        sim().close(handleOf(ftdi));
    ftdi->usb_dev = nullptr;
    return 0;
}

FTDI_EXPORT void ftdi_free(struct ftdi_context *ftdi)
{
    if (!ftdi)
        return;
    ftdi_usb_close(ftdi);
    std::free(ftdi);
    --liveContexts;
}

FTDI_EXPORT int ftdi_set_interface(struct ftdi_context *ftdi, enum ftdi_interface interface)
{
    if (!ftdi)
        return -2;
    if (ftdi->usb_dev)
        return -3;
    if (interface < INTERFACE_ANY || interface > INTERFACE_D)
        return -1;
    const int n = interface == INTERFACE_ANY ? 1 : interface;
    ftdi->interface = n - 1;
    ftdi->index = n;
    return 0;
}

FTDI_EXPORT int ftdi_usb_find_all(struct ftdi_context *ftdi, struct ftdi_device_list **devlist, int vendor,
                                  int product)
{
    FORCED("ftdi_usb_find_all");
    *devlist = nullptr;
    if (!ftdi || vendor != 0x0403 || product != SIM_PRODUCT)
        return 0;
    // The bus shows the device whether or not someone has it open.
    FT_HANDLE probe = nullptr;
    const FT_STATUS status = sim().open(0, &probe);
    if (status == FT_OK)
        sim().close(probe);
    else if (status != FT_DEVICE_NOT_OPENED)
        return 0;
    auto *entry = static_cast<ftdi_device_list *>(std::calloc(1, sizeof(ftdi_device_list)));
    if (!entry)
        return -3;
    entry->dev = reinterpret_cast<libusb_device *>(&simulatedDevice);
    *devlist = entry;
    return 1;
}

FTDI_EXPORT void ftdi_list_free(struct ftdi_device_list **devlist)
{
    if (!devlist)
        return;
    for (ftdi_device_list *entry = *devlist; entry;) {
        ftdi_device_list *next = entry->next;
        std::free(entry);
        entry = next;
    }
    *devlist = nullptr;
}

FTDI_EXPORT int ftdi_usb_open_dev(struct ftdi_context *ftdi, struct libusb_device *dev)
{
    FORCED("ftdi_usb_open_dev");
    if (!ftdi)
        return -8;
    if (dev != reinterpret_cast<libusb_device *>(&simulatedDevice))
        return -4;
    FT_HANDLE handle = nullptr;
    switch (sim().open(0, &handle)) {
    case FT_OK:
        ftdi->usb_dev = reinterpret_cast<libusb_device_handle *>(handle);
        ++opens;
        return 0;
    case FT_DEVICE_NOT_OPENED:
        return -5; // another program holds the interface
    default:
        return -4; // gone since it was listed
    }
}

FTDI_EXPORT int ftdi_usb_get_strings2(struct ftdi_context *ftdi, struct libusb_device *, char *manufacturer,
                                      int mnf_len, char *description, int desc_len, char *serial,
                                      int serial_len)
{
    FORCED("ftdi_usb_get_strings2");
    if (!ftdi || !ftdi->usb_dev)
        return -1;
    char acManufacturer[64] = {}, acId[64] = {}, acDescription[64] = {}, acSerial[64] = {};
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature2 = 0xFFFFFFFF;
    data.Manufacturer = acManufacturer;
    data.ManufacturerId = acId;
    data.Description = acDescription;
    data.SerialNumber = acSerial;
    if (sim().eeRead(handleOf(ftdi), &data) != FT_OK)
        return -9;
    const auto put = [](char *to, int size, const char *text) {
        if (to && size > 0)
            std::snprintf(to, static_cast<size_t>(size), "%s", text);
    };
    put(manufacturer, mnf_len, acManufacturer);
    put(description, desc_len, acDescription);
    put(serial, serial_len, acSerial);
    return 0;
}

FTDI_EXPORT int ftdi_set_latency_timer(struct ftdi_context *ftdi, unsigned char latency)
{
    FORCED("ftdi_set_latency_timer");
    if (latency < 1)
        return -1;
    if (!ftdi || !ftdi->usb_dev)
        return -3;
    return sim().setLatency(handleOf(ftdi), latency) == FT_OK ? 0 : -2;
}

FTDI_EXPORT int ftdi_set_bitmode(struct ftdi_context *ftdi, unsigned char bitmask, unsigned char mode)
{
    FORCED("ftdi_set_bitmode");
    if (!ftdi || !ftdi->usb_dev)
        return -2;
    return sim().setBitMode(handleOf(ftdi), bitmask, mode) == FT_OK ? 0 : -1;
}

static int flush(struct ftdi_context *ftdi, const char *name, ULONG mask)
{
    FORCED(name);
    if (!ftdi || !ftdi->usb_dev)
        return -3;
    return sim().purge(handleOf(ftdi), mask) == FT_OK ? 0 : -1;
}
FTDI_EXPORT int ftdi_tciflush(struct ftdi_context *ftdi)
{
    return flush(ftdi, "ftdi_tciflush", FT_PURGE_RX);
}
FTDI_EXPORT int ftdi_tcoflush(struct ftdi_context *ftdi)
{
    return flush(ftdi, "ftdi_tcoflush", FT_PURGE_TX);
}
FTDI_EXPORT int ftdi_tcioflush(struct ftdi_context *ftdi)
{
    return flush(ftdi, "ftdi_tcioflush", FT_PURGE_RX | FT_PURGE_TX);
}
FTDI_EXPORT int ftdi_usb_reset(struct ftdi_context *ftdi)
{
    // A reset of the serial engine drops both buffers.
    return flush(ftdi, "ftdi_usb_reset", FT_PURGE_RX | FT_PURGE_TX);
}

FTDI_EXPORT int ftdi_read_data_set_chunksize(struct ftdi_context *ftdi, unsigned int chunksize)
{
    FORCED("ftdi_read_data_set_chunksize");
    if (!ftdi)
        return -1;
    ftdi->readbuffer_chunksize = chunksize;
    return 0;
}
FTDI_EXPORT int ftdi_write_data_set_chunksize(struct ftdi_context *ftdi, unsigned int chunksize)
{
    FORCED("ftdi_write_data_set_chunksize");
    if (!ftdi)
        return -1;
    ftdi->writebuffer_chunksize = chunksize;
    return 0;
}

FTDI_EXPORT int ftdi_write_data(struct ftdi_context *ftdi, const unsigned char *buf, int size)
{
    FORCED("ftdi_write_data");
    if (!ftdi || !ftdi->usb_dev)
        return -666;
    DWORD written = 0;
    if (sim().write(handleOf(ftdi), const_cast<unsigned char *>(buf), static_cast<DWORD>(size), &written) !=
        FT_OK)
        return -1; // usb bulk write failed
    return static_cast<int>(written);
}

FTDI_EXPORT int ftdi_read_data(struct ftdi_context *ftdi, unsigned char *buf, int size)
{
    FORCED("ftdi_read_data");
    if (!ftdi || !ftdi->usb_dev)
        return -666;
    DWORD got = 0;
    if (sim().read(handleOf(ftdi), buf, static_cast<DWORD>(size), &got) != FT_OK)
        return -4; // libusb: no such device (it may have been disconnected)
    return static_cast<int>(got);
}

FTDI_EXPORT const char *ftdi_get_error_string(struct ftdi_context *ftdi)
{
    return ftdi && ftdi->error_str ? ftdi->error_str : "";
}
