// The D2XX functions of the simulated adapter, by their standard names and prototypes, with the
// statuses FTDI documents. Every call is counted and logged.
#include "d2xx.h"
#include "world.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#if defined(_WIN32)
// The DLL's .def file exports these by name and at FTDI's ordinals.
#define FT_EXPORT extern "C"
#else
#define FT_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using tbsim::World;
using tbsim::world;

namespace {

constexpr uintptr_t kHandleBase = 0x7B510000u;

FT_STATUS checkHandle(World &w, FT_HANDLE handle)
{
    if (!w.device.open || reinterpret_cast<uintptr_t>(handle) != w.device.handle)
        return FT_INVALID_HANDLE;
    if (w.faults.on(TBSIM_ADAPTER_UNPLUGGED))
        return FT_IO_ERROR;
    return FT_OK;
}

void copyString(char *dest, const char *text)
{
    if (dest)
        std::strcpy(dest, text);
}

// The common start of a call on an open device: count it, log it, check the handle. Returns the world
// when the call may go on; otherwise null, with the answer in status.
World *begin(FT_HANDLE handle, uint64_t tbsim_counters::*counter, const char *name, FT_STATUS &status)
{
    World *w = world();
    if (!w) {
        status = FT_INVALID_HANDLE; // the world has gone: no handle is valid any more
        return nullptr;
    }
    if (counter)
        ++(w->log.counters.*counter);
    w->log.call(name);
    status = checkHandle(*w, handle);
    return status == FT_OK ? w : nullptr;
}

// A one-shot fault of FT_Read: counts down its allowance of good calls, then fires once and goes off.
bool fires(World &w, tbsim_fault fault)
{
    if (!w.faults.on(fault))
        return false;
    const uint32_t allowance = w.faults.arg(fault);
    if (allowance > 0) {
        w.faults.setArg(fault, allowance - 1);
        return false;
    }
    w.faults.set(fault, false, 0);
    return true;
}

} // namespace

FT_EXPORT FT_STATUS FT_WINAPI FT_Open(int deviceNumber, FT_HANDLE *pHandle)
{
    World *live = world();
    if (!live)
        return FT_DEVICE_NOT_FOUND;
    World &w = *live;
    ++w.log.counters.opens;
    w.log.call("FT_Open");
    if (!pHandle)
        return FT_INVALID_PARAMETER;
    if (deviceNumber != 0 || w.faults.on(TBSIM_ADAPTER_ABSENT) || w.faults.on(TBSIM_ADAPTER_UNPLUGGED))
        return FT_DEVICE_NOT_FOUND;
    if (w.device.open)
        return FT_DEVICE_NOT_OPENED; // already in use through another handle
    w.device.open = true;
    w.device.handle = kHandleBase + (uintptr_t(++w.device.generation) << 4);
    w.device.readTimeout = w.device.writeTimeout = 0;
    w.device.latency = 16;
    w.device.lateAnswer.clear();
    w.mpsse.reset();
    *pHandle = reinterpret_cast<FT_HANDLE>(w.device.handle);
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_Close(FT_HANDLE ftHandle)
{
    World *live = world();
    if (!live)
        return FT_INVALID_HANDLE; // the world has gone: no handle is valid any more
    World &w = *live;
    ++w.log.counters.closes;
    w.log.call("FT_Close");
    const FT_STATUS status = checkHandle(w, ftHandle);
    if (status == FT_INVALID_HANDLE)
        return status;
    // Closing releases the handle even when the device has gone: the pins fall back to inputs and
    // the chip select is released.
    w.device.open = false;
    w.device.handle = 0;
    w.mpsse.reset();
    return status;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_Write(FT_HANDLE ftHandle, void *lpBuffer, DWORD dwBytesToWrite,
                                       DWORD *lpBytesWritten)
{
    if (lpBytesWritten)
        *lpBytesWritten = 0;
    World *live = world();
    if (!live)
        return FT_INVALID_HANDLE;
    World &w = *live;
    ++w.log.counters.writes;
    FT_STATUS status = checkHandle(w, ftHandle);
    if (status == FT_OK && (!lpBytesWritten || (!lpBuffer && dwBytesToWrite)))
        status = FT_INVALID_PARAMETER;
    if (status == FT_OK && w.faults.on(TBSIM_DEVICE_WRITE_FAILS)) {
        const uint32_t allowance = w.faults.arg(TBSIM_DEVICE_WRITE_FAILS);
        if (allowance == 0)
            status = FT_IO_ERROR;
        else
            w.faults.setArg(TBSIM_DEVICE_WRITE_FAILS, allowance - 1);
    }
    if (status != FT_OK) {
        w.log.call("FT_Write");
        return status;
    }
    DWORD taken = dwBytesToWrite;
    if (w.faults.on(TBSIM_SHORT_DEVICE_WRITE) && taken > 0)
        --taken;
    const auto *bytes = static_cast<const uint8_t *>(lpBuffer);
    if (!w.device.lateAnswer.empty()) {
        w.mpsse.arrive(w.device.lateAnswer.data(), w.device.lateAnswer.size());
        w.device.lateAnswer.clear();
    }
    w.log.call("FT_Write", bytes, taken);
    w.mpsse.write(bytes, taken);
    w.log.counters.bytes_written += taken;
    *lpBytesWritten = taken;
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_Read(FT_HANDLE ftHandle, void *lpBuffer, DWORD dwBytesToRead,
                                      DWORD *lpBytesReturned)
{
    if (lpBytesReturned)
        *lpBytesReturned = 0;
    World *live = world();
    if (!live)
        return FT_INVALID_HANDLE;
    World &w = *live;
    ++w.log.counters.reads;
    FT_STATUS status = checkHandle(w, ftHandle);
    if (status == FT_OK && (!lpBytesReturned || (!lpBuffer && dwBytesToRead)))
        status = FT_INVALID_PARAMETER;
    if (status == FT_OK && fires(w, TBSIM_DEVICE_READ_FAILS))
        status = FT_IO_ERROR;
    if (status != FT_OK) {
        w.log.call("FT_Read");
        return status;
    }
    if (fires(w, TBSIM_LATE_DEVICE_READ)) {
        const size_t held = w.mpsse.available();
        const size_t before = w.device.lateAnswer.size();
        w.device.lateAnswer.resize(before + held);
        w.mpsse.read(w.device.lateAnswer.data() + before, held);
        w.log.call("FT_Read", nullptr, 0);
        return FT_OK;
    }
    // What is there when the count cannot be met, as after the read time-out (without the wait).
    size_t wanted = dwBytesToRead;
    if (w.faults.on(TBSIM_SHORT_DEVICE_READ))
        wanted = std::min<size_t>(wanted, w.faults.arg(TBSIM_SHORT_DEVICE_READ));
    auto *bytes = static_cast<uint8_t *>(lpBuffer);
    const size_t got = wanted ? w.mpsse.read(bytes, wanted) : 0;
    w.log.call("FT_Read", bytes, got);
    w.log.counters.bytes_read += got;
    *lpBytesReturned = static_cast<DWORD>(got);
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_Purge(FT_HANDLE ftHandle, ULONG Mask)
{
    FT_STATUS status;
    World *live = begin(ftHandle, &tbsim_counters::purges, "FT_Purge", status);
    if (!live)
        return status;
    World &w = *live;
    if (Mask & FT_PURGE_RX)
        w.mpsse.purgeRx();
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout)
{
    FT_STATUS status;
    World *live = begin(ftHandle, &tbsim_counters::set_timeouts, "FT_SetTimeouts", status);
    if (!live)
        return status;
    World &w = *live;
    w.device.readTimeout = ReadTimeout;
    w.device.writeTimeout = WriteTimeout;
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency)
{
    FT_STATUS status;
    World *live = begin(ftHandle, &tbsim_counters::set_latency, "FT_SetLatencyTimer", status);
    if (!live)
        return status;
    World &w = *live;
    w.device.latency = ucLatency;
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable)
{
    FT_STATUS status;
    World *live = begin(ftHandle, &tbsim_counters::set_bitmode, "FT_SetBitMode", status);
    if (!live)
        return status;
    World &w = *live;
    (void)ucMask; // the MPSSE sets its pin directions by command
    w.mpsse.setBitMode(ucEnable);
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_GetQueueStatus(FT_HANDLE ftHandle, DWORD *dwRxBytes)
{
    FT_STATUS status;
    World *live = begin(ftHandle, nullptr, "FT_GetQueueStatus", status);
    if (!live)
        return status;
    World &w = *live;
    if (!dwRxBytes)
        return FT_INVALID_PARAMETER;
    *dwRxBytes = static_cast<DWORD>(w.mpsse.available());
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_WINAPI FT_EE_Read(FT_HANDLE ftHandle, FT_PROGRAM_DATA *pData)
{
    FT_STATUS status;
    World *live = begin(ftHandle, &tbsim_counters::ee_reads, "FT_EE_Read", status);
    if (!live)
        return status;
    World &w = *live;
    if (!pData || pData->Signature1 != 0x00000000 || pData->Signature2 != 0xFFFFFFFF)
        return FT_INVALID_PARAMETER;
    if (w.faults.on(TBSIM_EEPROM_READ_FAILS))
        return FT_EEPROM_READ_FAILED;
    // Only the fields every record version has: the caller's Version decides how long its record is.
    pData->VendorId = 0x0403;
    pData->ProductId = 0x6010;
    copyString(pData->Manufacturer, "FTDI");
    copyString(pData->ManufacturerId, "FT");
    copyString(pData->Description, "USB BiSS Adapter");
    copyString(pData->SerialNumber, w.scenario.adapterSerial.c_str());
    pData->MaxPower = 100;
    pData->PnP = 1;
    pData->SelfPowered = 0;
    pData->RemoteWakeup = 0;
    return FT_OK;
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
