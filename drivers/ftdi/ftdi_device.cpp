#include "ftdi_device.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "ftdi_status.h"

namespace tbftdi {

namespace {

// D2XX waits for ever with a read time-out of 0; here that waits this long, so that an answer that
// never comes cannot hang the caller.
constexpr uint32_t LONGEST_READ_MS = 5000;
constexpr int DEFAULT_WRITE_MS = 5000;
// The shortest latency FTDI's own driver takes. Answers that end with send-immediate do not wait for
// it; it paces the chip's reports while a read waits.
constexpr UCHAR LATENCY_MS = 2;
// A transfer is never cut by libusb before the chip's latency report could end it: libftdi1 drops what
// a timed-out transfer brought.
constexpr uint32_t SHORTEST_TRANSFER_MS = 4 * LATENCY_MS;
// The largest read libftdi1 takes in one transfer.
constexpr ULONG LARGEST_READ_CHUNK = 16384;
// A string descriptor holds at most 126 characters.
constexpr int STRING_BUFFER = 128;

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
        // The strings first, on a device of their own: when libftdi1 cannot read one it closes the
        // device it read them on, which must not be the one opened below.
        char manufacturer[STRING_BUFFER] = {}, description[STRING_BUFFER] = {}, serial[STRING_BUFFER] = {};
        const bool haveStrings =
            ftdi_usb_get_strings2(context, entry->dev, manufacturer, sizeof manufacturer, description,
                                  sizeof description, serial, sizeof serial) == 0;
        // Opening detaches the kernel's serial driver (ftdi_sio) from this interface.
        const int result = ftdi_usb_open_dev(context, entry->dev);
        if (result < 0)
            return statusOf(Step::Open, result);
        opened->productId = product;
        if (haveStrings) {
            opened->haveStrings = true;
            opened->manufacturer = manufacturer;
            opened->description = description;
            opened->serialNumber = serial;
        }
        if (ftdi_set_latency_timer(context, LATENCY_MS) < 0)
            return FT_DEVICE_NOT_OPENED;
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
    // One bulk transfer for the whole write (libftdi1 takes an int count: larger writes go in pieces).
    while (done < count) {
        const int piece = static_cast<int>(std::min<DWORD>(count - done, largestOut ? largestOut : 1u << 30));
        if (context->writebuffer_chunksize != static_cast<unsigned>(piece))
            ftdi_write_data_set_chunksize(context, static_cast<unsigned>(piece));
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

void FtdiDevice::fitReadChunk(DWORD wanted)
{
    // libftdi1 drops the bytes it holds when the size changes: only between answers.
    if (context->readbuffer_remaining != 0)
        return;
    // Every packet starts with the chip's two status bytes.
    const ULONG packet = context->max_packet_size > 2 ? context->max_packet_size : 64;
    const ULONG largest = std::max(packet, std::min(largestIn, LARGEST_READ_CHUNK) / packet * packet);
    const ULONG packets = (std::min<ULONG>(wanted, largest) + packet - 3) / (packet - 2);
    const ULONG size = std::clamp(packets * packet, packet, largest);
    if (size != context->readbuffer_chunksize)
        ftdi_read_data_set_chunksize(context, size);
}

FT_STATUS FtdiDevice::read(uint8_t *bytes, DWORD count, DWORD &received)
{
    received = 0;
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    // A transfer that brings less than asked ended at the chip's latency report: one latency period
    // has passed. The time-out counts in those periods as well as on the clock, so that a chip whose
    // time does not run with the wall clock ends the read after the same number of reports.
    const uint32_t reportLimit = readTimeoutMs / LATENCY_MS + 1;
    uint32_t reports = 0;
    while (received < count) {
        const auto elapsedMs = static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        const uint32_t leftMs =
            elapsedMs >= readTimeoutMs ? 0 : readTimeoutMs - static_cast<uint32_t>(elapsedMs);
        // The wait happens inside libusb: the transfer ends with the chip's next packet.
        context->usb_read_timeout = static_cast<int>(std::max(leftMs, SHORTEST_TRANSFER_MS));
        fitReadChunk(count - received);
        const int piece = static_cast<int>(std::min<DWORD>(count - received, 1u << 30));
        const int result = ftdi_read_data(context, bytes + received, piece);
        if (result == LIBUSB_ERROR_TIMEOUT)
            break; // not even a status report within the time-out: the chip has nothing to say
        if (result < 0)
            return statusOf(Step::Transfer, result);
        received += static_cast<DWORD>(result);
        if (received >= count || ++reports >= reportLimit || leftMs == 0)
            break;
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
    readTimeoutMs = readMs ? std::min<ULONG>(readMs, 1u << 30) : LONGEST_READ_MS;
    context->usb_write_timeout =
        static_cast<int>(writeMs ? std::min<ULONG>(writeMs, 1u << 30) : DEFAULT_WRITE_MS);
    return FT_OK;
}

FT_STATUS FtdiDevice::setLatencyTimer(UCHAR ms)
{
    if (ms == 0)
        return FT_INVALID_PARAMETER; // libftdi1 and the chip refuse 0 ms
    return statusOf(Step::Latency, ftdi_set_latency_timer(context, LATENCY_MS));
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
    // Applied transfer by transfer.
    largestIn = inBytes;
    if (outBytes)
        largestOut = outBytes;
    return FT_OK;
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
