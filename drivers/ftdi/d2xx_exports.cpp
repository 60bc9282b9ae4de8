// The D2XX functions of the open driver, by their standard names and prototypes. A handle is checked
// against the devices this library opened, so a stale or foreign one gets FT_INVALID_HANDLE.
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>

#include "d2xx.h"
#include "ftdi_device.h"

#define FT_EXPORT extern "C" __attribute__((visibility("default")))

using tbftdi::FtdiDevice;

namespace {

class Devices {
public:
    FT_HANDLE add(std::unique_ptr<FtdiDevice> device)
    {
        std::lock_guard<std::mutex> lock(mutex);
        FT_HANDLE handle = device.get();
        open.emplace(handle, std::move(device));
        return handle;
    }
    // The device stays alive while a call on it runs, even if another thread closes it meanwhile.
    std::shared_ptr<FtdiDevice> find(FT_HANDLE handle)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = open.find(handle);
        return it == open.end() ? nullptr : it->second;
    }
    std::shared_ptr<FtdiDevice> remove(FT_HANDLE handle)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = open.find(handle);
        if (it == open.end())
            return nullptr;
        auto device = std::move(it->second);
        open.erase(it);
        return device;
    }

private:
    std::mutex mutex;
    std::map<FT_HANDLE, std::shared_ptr<FtdiDevice>> open;
};

Devices &devices()
{
    // Never destroyed (and the library is never unloaded): a caller's static destructor may still close
    // a device at exit.
    static Devices *all = new Devices;
    return *all;
}

template <typename Call>
FT_STATUS onDevice(FT_HANDLE handle, Call call)
{
    const auto device = devices().find(handle);
    return device ? call(*device) : FT_STATUS(FT_INVALID_HANDLE);
}

} // namespace

FT_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE *pHandle)
{
    if (!pHandle)
        return FT_INVALID_PARAMETER;
    std::unique_ptr<FtdiDevice> device;
    const FT_STATUS status = FtdiDevice::open(deviceNumber, device);
    if (status == FT_OK)
        *pHandle = devices().add(std::move(device));
    return status;
}

FT_EXPORT FT_STATUS FT_Close(FT_HANDLE ftHandle)
{
    return devices().remove(ftHandle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_EXPORT FT_STATUS FT_Write(FT_HANDLE ftHandle, void *lpBuffer, DWORD dwBytesToWrite, DWORD *lpBytesWritten)
{
    if (lpBytesWritten)
        *lpBytesWritten = 0;
    return onDevice(ftHandle, [&](FtdiDevice &device) {
        if (!lpBytesWritten || (!lpBuffer && dwBytesToWrite))
            return FT_STATUS(FT_INVALID_PARAMETER);
        return device.write(static_cast<const uint8_t *>(lpBuffer), dwBytesToWrite, *lpBytesWritten);
    });
}

FT_EXPORT FT_STATUS FT_Read(FT_HANDLE ftHandle, void *lpBuffer, DWORD dwBytesToRead, DWORD *lpBytesReturned)
{
    if (lpBytesReturned)
        *lpBytesReturned = 0;
    return onDevice(ftHandle, [&](FtdiDevice &device) {
        if (!lpBytesReturned || (!lpBuffer && dwBytesToRead))
            return FT_STATUS(FT_INVALID_PARAMETER);
        return device.read(static_cast<uint8_t *>(lpBuffer), dwBytesToRead, *lpBytesReturned);
    });
}

FT_EXPORT FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask)
{
    return onDevice(ftHandle, [&](FtdiDevice &device) { return device.purge(Mask); });
}

FT_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout)
{
    return onDevice(ftHandle,
                    [&](FtdiDevice &device) { return device.setTimeouts(ReadTimeout, WriteTimeout); });
}

FT_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency)
{
    return onDevice(ftHandle, [&](FtdiDevice &device) { return device.setLatencyTimer(ucLatency); });
}

FT_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable)
{
    return onDevice(ftHandle, [&](FtdiDevice &device) { return device.setBitMode(ucMask, ucEnable); });
}

FT_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle)
{
    return onDevice(ftHandle, [&](FtdiDevice &device) { return device.reset(); });
}

FT_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE ftHandle, ULONG ulInTransferSize, ULONG ulOutTransferSize)
{
    return onDevice(ftHandle, [&](FtdiDevice &device) {
        return device.setTransferSizes(ulInTransferSize, ulOutTransferSize);
    });
}

FT_EXPORT FT_STATUS FT_EE_Read(FT_HANDLE ftHandle, FT_PROGRAM_DATA *pData)
{
    return onDevice(ftHandle, [&](FtdiDevice &device) {
        return pData ? device.readEeprom(*pData) : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

// The exports must keep the prototypes the loader calls them through.
static_assert(std::is_same_v<decltype(&FT_Open), FT_Open_t>);
static_assert(std::is_same_v<decltype(&FT_Close), FT_Close_t>);
static_assert(std::is_same_v<decltype(&FT_Read), FT_Read_t>);
static_assert(std::is_same_v<decltype(&FT_Write), FT_Write_t>);
static_assert(std::is_same_v<decltype(&FT_Purge), FT_Purge_t>);
static_assert(std::is_same_v<decltype(&FT_SetTimeouts), FT_SetTimeouts_t>);
static_assert(std::is_same_v<decltype(&FT_SetLatencyTimer), FT_SetLatencyTimer_t>);
static_assert(std::is_same_v<decltype(&FT_SetBitMode), FT_SetBitMode_t>);
static_assert(std::is_same_v<decltype(&FT_EE_Read), FT_EE_Read_t>);
