// The libusb-1.0 functions Debian's libftdi1 calls, on the one adapter of the model, and the model's
// control functions. Asynchronous transfers run when the caller handles events.
#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <list>

#include "adapter.h"
#include "usbmodel.h"

#define LIBUSB_EXPORT extern "C" __attribute__((visibility("default")))

using usbmodel::adapter;

struct libusb_context {};
struct libusb_device {
    int refs;
    uint32_t generation; // the appearance on the bus it belongs to
};
struct libusb_device_handle {
    libusb_device *dev;
    uint32_t claimed; // bit n: interface n
};

namespace {

// Submitted transfers of every context, run in order when events are handled.
std::list<libusb_transfer *> submitted;

bool current(const libusb_device *dev)
{
    return dev && dev->generation == adapter().generation() && adapter().present();
}

} // namespace

LIBUSB_EXPORT int libusb_init(libusb_context **ctx)
{
    if (ctx)
        *ctx = new libusb_context;
    ++adapter().counters.live_contexts;
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT void libusb_exit(libusb_context *ctx)
{
    --adapter().counters.live_contexts;
    delete ctx;
}

LIBUSB_EXPORT ssize_t libusb_get_device_list(libusb_context *, libusb_device ***list)
{
    if (!list)
        return LIBUSB_ERROR_INVALID_PARAM;
    const bool there = adapter().present();
    auto **devices = static_cast<libusb_device **>(std::calloc(2, sizeof(libusb_device *)));
    if (!devices)
        return LIBUSB_ERROR_NO_MEM;
    if (there) {
        adapter().enumerate();
        devices[0] = new libusb_device{1, adapter().generation()};
    }
    *list = devices;
    return there ? 1 : 0;
}

LIBUSB_EXPORT libusb_device *libusb_ref_device(libusb_device *dev)
{
    if (dev)
        ++dev->refs;
    return dev;
}

LIBUSB_EXPORT void libusb_unref_device(libusb_device *dev)
{
    if (dev && --dev->refs == 0)
        delete dev;
}

LIBUSB_EXPORT void libusb_free_device_list(libusb_device **list, int unref)
{
    if (!list)
        return;
    if (unref)
        for (libusb_device **d = list; *d; ++d)
            libusb_unref_device(*d);
    std::free(list);
}

LIBUSB_EXPORT uint8_t libusb_get_bus_number(libusb_device *)
{
    return 1;
}

LIBUSB_EXPORT uint8_t libusb_get_device_address(libusb_device *dev)
{
    return uint8_t(dev ? 2 + dev->generation % 100 : 0);
}

LIBUSB_EXPORT int libusb_get_device_descriptor(libusb_device *dev, libusb_device_descriptor *desc)
{
    if (!dev || !desc)
        return LIBUSB_ERROR_INVALID_PARAM;
    adapter().deviceDescriptor(*desc); // kept by the host from enumeration, even once the device is gone
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT int libusb_get_config_descriptor(libusb_device *dev, uint8_t index,
                                               libusb_config_descriptor **config)
{
    if (!dev || !config)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (index != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    *config = adapter().configDescriptor();
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT void libusb_free_config_descriptor(libusb_config_descriptor *config)
{
    if (config)
        usbmodel::freeConfigDescriptor(config);
}

LIBUSB_EXPORT int libusb_open(libusb_device *dev, libusb_device_handle **handle)
{
    if (!dev || !handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(dev))
        return LIBUSB_ERROR_NO_DEVICE;
    *handle = new libusb_device_handle{libusb_ref_device(dev), 0};
    ++adapter().counters.open_handles;
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT void libusb_close(libusb_device_handle *handle)
{
    if (!handle)
        return;
    for (unsigned i = 0; i < 32; ++i)
        if (handle->claimed & (1u << i))
            adapter().release(i);
    libusb_unref_device(handle->dev);
    delete handle;
    --adapter().counters.open_handles;
}

LIBUSB_EXPORT int libusb_get_configuration(libusb_device_handle *handle, int *config)
{
    if (!handle || !config)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(handle->dev))
        return LIBUSB_ERROR_NO_DEVICE;
    *config = 1;
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT int libusb_set_configuration(libusb_device_handle *handle, int config)
{
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(handle->dev))
        return LIBUSB_ERROR_NO_DEVICE;
    return config == 1 || config == -1 ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_FOUND;
}

LIBUSB_EXPORT int libusb_detach_kernel_driver(libusb_device_handle *handle, int)
{
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    return current(handle->dev) ? LIBUSB_ERROR_NOT_FOUND /* no kernel driver bound */
                                : LIBUSB_ERROR_NO_DEVICE;
}

LIBUSB_EXPORT int libusb_set_auto_detach_kernel_driver(libusb_device_handle *handle, int)
{
    return handle ? LIBUSB_SUCCESS : LIBUSB_ERROR_INVALID_PARAM;
}

LIBUSB_EXPORT int libusb_claim_interface(libusb_device_handle *handle, int interface)
{
    if (!handle || interface < 0 || interface >= 32)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(handle->dev))
        return LIBUSB_ERROR_NO_DEVICE;
    if (handle->claimed & (1u << interface))
        return LIBUSB_SUCCESS;
    const int result = adapter().claim(unsigned(interface));
    if (result == LIBUSB_SUCCESS)
        handle->claimed |= 1u << interface;
    return result;
}

LIBUSB_EXPORT int libusb_release_interface(libusb_device_handle *handle, int interface)
{
    if (!handle || interface < 0 || interface >= 32)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!(handle->claimed & (1u << interface)))
        return LIBUSB_ERROR_NOT_FOUND;
    handle->claimed &= ~(1u << interface);
    adapter().release(unsigned(interface));
    return current(handle->dev) ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_DEVICE;
}

LIBUSB_EXPORT int libusb_control_transfer(libusb_device_handle *handle, uint8_t request_type, uint8_t request,
                                          uint16_t value, uint16_t index, unsigned char *data,
                                          uint16_t length, unsigned int)
{
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(handle->dev))
        return LIBUSB_ERROR_NO_DEVICE;
    return adapter().control(request_type, request, value, index, data, length);
}

LIBUSB_EXPORT int libusb_bulk_transfer(libusb_device_handle *handle, unsigned char endpoint,
                                       unsigned char *data, int length, int *transferred,
                                       unsigned int timeout)
{
    if (transferred)
        *transferred = 0;
    if (!handle || (!data && length > 0))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(handle->dev))
        return LIBUSB_ERROR_NO_DEVICE;
    return adapter().bulk(endpoint, data, length, transferred, timeout);
}

LIBUSB_EXPORT int libusb_get_string_descriptor_ascii(libusb_device_handle *handle, uint8_t index,
                                                     unsigned char *data, int length)
{
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(handle->dev))
        return LIBUSB_ERROR_NO_DEVICE;
    return adapter().stringDescriptor(index, data, length);
}

LIBUSB_EXPORT libusb_transfer *libusb_alloc_transfer(int iso_packets)
{
    if (iso_packets < 0)
        return nullptr;
    const size_t size = sizeof(libusb_transfer) + size_t(iso_packets) * sizeof(libusb_iso_packet_descriptor);
    return static_cast<libusb_transfer *>(std::calloc(1, size));
}

LIBUSB_EXPORT void libusb_free_transfer(libusb_transfer *transfer)
{
    if (!transfer)
        return;
    if (transfer->flags & LIBUSB_TRANSFER_FREE_BUFFER)
        std::free(transfer->buffer);
    std::free(transfer);
}

LIBUSB_EXPORT int libusb_submit_transfer(libusb_transfer *transfer)
{
    if (!transfer || !transfer->dev_handle || transfer->type != LIBUSB_TRANSFER_TYPE_BULK)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!current(transfer->dev_handle->dev))
        return LIBUSB_ERROR_NO_DEVICE;
    transfer->status = LIBUSB_TRANSFER_COMPLETED;
    submitted.push_back(transfer);
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT int libusb_cancel_transfer(libusb_transfer *transfer)
{
    if (std::find(submitted.begin(), submitted.end(), transfer) == submitted.end())
        return LIBUSB_ERROR_NOT_FOUND;
    transfer->status = LIBUSB_TRANSFER_CANCELLED;
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT int libusb_handle_events_timeout_completed(libusb_context *, struct timeval *, int *completed)
{
    // Every submitted transfer runs to its end now, in order; the callbacks may submit more.
    while (!submitted.empty() && !(completed && *completed)) {
        libusb_transfer *transfer = submitted.front();
        submitted.pop_front();
        if (transfer->status != LIBUSB_TRANSFER_CANCELLED) {
            int done = 0;
            const int result =
                libusb_bulk_transfer(transfer->dev_handle, transfer->endpoint, transfer->buffer,
                                     transfer->length, &done, transfer->timeout);
            transfer->actual_length = done;
            transfer->status = result == LIBUSB_SUCCESS           ? LIBUSB_TRANSFER_COMPLETED
                               : result == LIBUSB_ERROR_TIMEOUT   ? LIBUSB_TRANSFER_TIMED_OUT
                               : result == LIBUSB_ERROR_PIPE      ? LIBUSB_TRANSFER_STALL
                               : result == LIBUSB_ERROR_NO_DEVICE ? LIBUSB_TRANSFER_NO_DEVICE
                                                                  : LIBUSB_TRANSFER_ERROR;
        }
        if (transfer->callback)
            transfer->callback(transfer);
    }
    return LIBUSB_SUCCESS;
}

LIBUSB_EXPORT int libusb_handle_events_timeout(libusb_context *ctx, struct timeval *tv)
{
    return libusb_handle_events_timeout_completed(ctx, tv, nullptr);
}

// The model's control functions.

LIBUSB_EXPORT void usbmodel_reset(void)
{
    adapter().reset();
}

LIBUSB_EXPORT int usbmodel_set_chip(const char *chip, int full_speed)
{
    return adapter().setChip(chip, full_speed != 0) ? 0 : -1;
}

LIBUSB_EXPORT void usbmodel_set_fault(usbmodel_fault fault, int on, uint32_t arg)
{
    adapter().setFault(fault, on != 0, arg);
}

LIBUSB_EXPORT void usbmodel_set_strings(const char *manufacturer, const char *product, const char *serial)
{
    adapter().setStrings(manufacturer, product, serial);
}

LIBUSB_EXPORT uint64_t usbmodel_clock_us(void)
{
    return adapter().clockNs() / 1000;
}

LIBUSB_EXPORT void usbmodel_get_counters(usbmodel_counters *out)
{
    if (out)
        *out = adapter().counters;
}

LIBUSB_EXPORT size_t usbmodel_log_count(void)
{
    return adapter().log.size();
}

LIBUSB_EXPORT const char *usbmodel_log_get(size_t index)
{
    return index < adapter().log.size() ? adapter().log[index].c_str() : nullptr;
}
