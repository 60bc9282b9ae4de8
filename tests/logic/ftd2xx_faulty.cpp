// libftd2xx-faulty.so: every D2XX call goes through to the simulated adapter, except the one chosen
// to fail (see ftd2xx_faulty.h).
#include "ftd2xx_faulty.h"

#include "d2xx.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#define FT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum class Spoil {
    None,
    Fail,
    Short,
    Nothing
};

uint32_t armedCall = 0;
int armedMode = FAULTY_ERROR;
bool unplugged = false;
std::string calls;

// The simulated adapter's own function of that name; the library is already loaded by the test.
template <typename F>
F real(const char *name)
{
    static void *sim = dlopen(FAULTY_TARGET, RTLD_NOW | RTLD_LOCAL);
    void *f = sim ? dlsym(sim, name) : nullptr;
    if (!f) {
        std::fprintf(stderr, "libftd2xx-faulty: no %s in %s\n", name, FAULTY_TARGET);
        std::abort();
    }
    return reinterpret_cast<F>(f);
}

Spoil next(char kind)
{
    calls += kind;
    if (unplugged)
        return Spoil::Fail;
    if (calls.size() != armedCall)
        return Spoil::None;
    const bool transfer = kind == 'R' || kind == 'W';
    switch (armedMode) {
    case FAULTY_ERROR:
        return Spoil::Fail;
    case FAULTY_UNPLUG:
        unplugged = true;
        return Spoil::Fail;
    case FAULTY_SHORT_READ:
        return kind == 'R' ? Spoil::Short : Spoil::None;
    case FAULTY_SHORT_WRITE:
        return kind == 'W' ? Spoil::Short : Spoil::None;
    case FAULTY_TIMEOUT:
        return transfer ? Spoil::Nothing : Spoil::None;
    default:
        return Spoil::None;
    }
}

// A call without a transfer: either it fails or it goes through.
template <typename F, typename... A>
FT_STATUS plain(char kind, const char *name, A... args)
{
    static const F f = real<F>(name);
    return next(kind) == Spoil::Fail ? FT_STATUS(FT_IO_ERROR) : f(args...);
}

} // namespace

void faulty_arm(uint32_t n, int mode)
{
    armedCall = n;
    armedMode = mode;
    unplugged = false;
    calls.clear();
}

const char *faulty_calls(void)
{
    return calls.c_str();
}

FT_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE *pHandle)
{
    static const auto f = real<FT_Open_t>("FT_Open");
    return next('O') == Spoil::Fail ? FT_STATUS(FT_DEVICE_NOT_FOUND) : f(deviceNumber, pHandle);
}

FT_EXPORT FT_STATUS FT_Close(FT_HANDLE h)
{
    return plain<FT_Close_t>('C', "FT_Close", h);
}

FT_EXPORT FT_STATUS FT_Read(FT_HANDLE h, void *buffer, DWORD count, DWORD *got)
{
    static const auto f = real<FT_Read_t>("FT_Read");
    switch (next('R')) {
    case Spoil::Fail:
        if (got)
            *got = 0;
        return FT_IO_ERROR;
    case Spoil::Nothing:
        if (got)
            *got = 0;
        return FT_OK;
    case Spoil::Short:
        return f(h, buffer, count > 0 ? count - 1 : 0, got);
    default:
        return f(h, buffer, count, got);
    }
}

FT_EXPORT FT_STATUS FT_Write(FT_HANDLE h, void *buffer, DWORD count, DWORD *written)
{
    static const auto f = real<FT_Write_t>("FT_Write");
    switch (next('W')) {
    case Spoil::Fail:
        if (written)
            *written = 0;
        return FT_IO_ERROR;
    case Spoil::Nothing:
        if (written)
            *written = 0;
        return FT_OK;
    case Spoil::Short:
        return f(h, buffer, count > 0 ? count - 1 : 0, written);
    default:
        return f(h, buffer, count, written);
    }
}

FT_EXPORT FT_STATUS FT_Purge(FT_HANDLE h, ULONG mask)
{
    return plain<FT_Purge_t>('P', "FT_Purge", h, mask);
}

FT_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE h, ULONG readTimeout, ULONG writeTimeout)
{
    return plain<FT_SetTimeouts_t>('T', "FT_SetTimeouts", h, readTimeout, writeTimeout);
}

FT_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, UCHAR latency)
{
    return plain<FT_SetLatencyTimer_t>('L', "FT_SetLatencyTimer", h, latency);
}

FT_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE h, UCHAR mask, UCHAR mode)
{
    return plain<FT_SetBitMode_t>('B', "FT_SetBitMode", h, mask, mode);
}

FT_EXPORT FT_STATUS FT_EE_Read(FT_HANDLE h, FT_PROGRAM_DATA *data)
{
    return plain<FT_EE_Read_t>('E', "FT_EE_Read", h, data);
}
