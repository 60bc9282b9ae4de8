#include "ftdi_device.h"

#include <ftdi.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "ftdi_status.h"

namespace tbftdi {

namespace {

// D2XX waits for ever with a read time-out of 0; here that waits this long, so that an answer that
// never comes cannot hang the caller.
constexpr uint32_t LONGEST_READ_MS = 5000;
constexpr int DEFAULT_WRITE_MS = 5000;

struct ListGuard {
    ftdi_device_list *list = nullptr;
    ~ListGuard() { ftdi_list_free(&list); }
};

void copyText(char *destination, size_t size, const std::string &text)
{
    if (!destination)
        return;
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

} // namespace

FT_STATUS FtdiDevice::open(int index, std::unique_ptr<FtdiDevice> &device)
{
    if (index < 0)
        return FT_DEVICE_NOT_FOUND;
    ftdi_context *context = ftdi_new();
    if (!context)
        return FT_INSUFFICIENT_RESOURCES;
    std::unique_ptr<FtdiDevice> opened(new FtdiDevice(context));
    opened->readTimeoutMs = LONGEST_READ_MS;
    if (ftdi_set_interface(context, INTERFACE_A) < 0)
        return FT_OTHER_ERROR;

    FT_STATUS status = FT_DEVICE_NOT_FOUND;
    for (uint16_t product : MPSSE_PRODUCTS) {
        ListGuard found;
        const int count = ftdi_usb_find_all(context, &found.list, FTDI_VENDOR, product);
        if (count < 0) {
            status = statusOf(Step::Find, count);
            continue;
        }
        if (index >= count) {
            index -= count;
            continue;
        }
        ftdi_device_list *entry = found.list;
        for (int i = 0; i < index && entry; ++i)
            entry = entry->next;
        if (!entry)
            return FT_DEVICE_NOT_FOUND;
        // Opening detaches the kernel's serial driver (ftdi_sio) from this interface.
        const int result = ftdi_usb_open_dev(context, entry->dev);
        if (result < 0)
            return statusOf(Step::Open, result);
        opened->productId = product;
        char manufacturer[64] = {}, description[64] = {}, serial[64] = {};
        if (ftdi_usb_get_strings2(context, entry->dev, manufacturer, sizeof manufacturer, description,
                                  sizeof description, serial, sizeof serial) == 0) {
            opened->haveStrings = true;
            opened->manufacturer = manufacturer;
            opened->description = description;
            opened->serialNumber = serial;
        }
        context->usb_write_timeout = DEFAULT_WRITE_MS;
        device = std::move(opened);
        return FT_OK;
    }
    return status;
}

FtdiDevice::~FtdiDevice()
{
    ftdi_usb_close(context);
    ftdi_free(context);
}

FT_STATUS FtdiDevice::write(const uint8_t *bytes, DWORD count, DWORD &written)
{
    written = 0;
    DWORD done = 0;
    // libftdi1 takes an int count; larger writes go in pieces.
    while (done < count) {
        const int piece = static_cast<int>(std::min<DWORD>(count - done, 1u << 30));
        const int result = ftdi_write_data(context, bytes + done, piece);
        if (result < 0)
            return statusOf(Step::Transfer, result);
        done += static_cast<DWORD>(result);
        written = done;
        if (result < piece)
            break; // the device took no more within the write time-out: a short count, as D2XX has it
    }
    return FT_OK;
}

FT_STATUS FtdiDevice::read(uint8_t *bytes, DWORD count, DWORD &received)
{
    received = 0;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs);
    while (received < count) {
        const int piece = static_cast<int>(std::min<DWORD>(count - received, 1u << 30));
        const int result = ftdi_read_data(context, bytes + received, piece);
        if (result < 0)
            return statusOf(Step::Transfer, result);
        received += static_cast<DWORD>(result);
        if (received >= count || Clock::now() >= deadline)
            break;
        // A real device answers an empty poll only after its latency time; do not spin meanwhile.
        if (result == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return FT_OK; // what arrived within the time-out, as D2XX reports it
}

FT_STATUS FtdiDevice::purge(ULONG mask)
{
    const bool rx = mask & FT_PURGE_RX, tx = mask & FT_PURGE_TX;
    if (!rx && !tx)
        return FT_OK;
    const int result = rx && tx ? ftdi_tcioflush(context)
                       : rx     ? ftdi_tciflush(context)
                                : ftdi_tcoflush(context);
    return statusOf(Step::Control, result);
}

FT_STATUS FtdiDevice::setTimeouts(ULONG readMs, ULONG writeMs)
{
    readTimeoutMs = readMs ? readMs : LONGEST_READ_MS;
    // Each USB transfer waits as long as the whole call may.
    context->usb_read_timeout = static_cast<int>(std::min<ULONG>(readTimeoutMs, LONGEST_READ_MS));
    context->usb_write_timeout =
        static_cast<int>(writeMs ? std::min<ULONG>(writeMs, 1u << 30) : DEFAULT_WRITE_MS);
    return FT_OK;
}

FT_STATUS FtdiDevice::setLatencyTimer(UCHAR ms)
{
    return statusOf(Step::Latency, ftdi_set_latency_timer(context, ms));
}

FT_STATUS FtdiDevice::setBitMode(UCHAR mask, UCHAR mode)
{
    return statusOf(Step::Control, ftdi_set_bitmode(context, mask, mode));
}

FT_STATUS FtdiDevice::reset()
{
    return statusOf(Step::Control, ftdi_usb_reset(context));
}

FT_STATUS FtdiDevice::setTransferSizes(ULONG inBytes, ULONG outBytes)
{
    // D2XX takes multiples of 64 from 64 to 64 kB.
    const auto valid = [](ULONG size) { return size >= 64 && size <= 65536 && size % 64 == 0; };
    if (!valid(inBytes) || (outBytes && !valid(outBytes)))
        return FT_INVALID_PARAMETER;
    FT_STATUS status = statusOf(Step::Control, ftdi_read_data_set_chunksize(context, inBytes));
    if (status == FT_OK && outBytes)
        status = statusOf(Step::Control, ftdi_write_data_set_chunksize(context, outBytes));
    return status;
}

FT_STATUS FtdiDevice::readEeprom(FT_PROGRAM_DATA &data) const
{
    if (data.Signature1 != 0x00000000 || data.Signature2 != 0xFFFFFFFF)
        return FT_INVALID_PARAMETER;
    if (!haveStrings)
        return FT_EEPROM_READ_FAILED;
    data.VendorId = FTDI_VENDOR;
    data.ProductId = productId;
    // The buffer sizes D2XX callers give: 32, 16, 64 and 16 bytes.
    copyText(data.Manufacturer, 32, manufacturer);
    copyText(data.ManufacturerId, 16, serialNumber.substr(0, 2));
    copyText(data.Description, 64, description);
    copyText(data.SerialNumber, 16, serialNumber);
    return FT_OK;
}

} // namespace tbftdi
