// Shared libraries through LoadLibrary. A file that cannot be loaded must not stop the host with a
// system error box: the library reports a missing driver instead.
#include "shared_library.h"

#include <windows.h>

namespace tarnbus {

namespace {

HMODULE hLoadQuietly(const std::string &strFile)
{
    DWORD ulOldMode = 0;
    const bool bModeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &ulOldMode);
    HMODULE hModule = LoadLibraryA(strFile.c_str());
    if (bModeSet)
        SetThreadErrorMode(ulOldMode, nullptr);
    return hModule;
}

} // namespace

bool bProbeLibrary(const std::string &strFile)
{
    return SharedLibrary::pLoad(strFile) != nullptr;
}

std::shared_ptr<SharedLibrary> SharedLibrary::pLoad(const std::string &strFile)
{
    HMODULE hModule = hLoadQuietly(strFile);
    if (!hModule)
        return nullptr;
    return std::shared_ptr<SharedLibrary>(new SharedLibrary(reinterpret_cast<void *>(hModule)));
}

SharedLibrary::~SharedLibrary()
{
    FreeLibrary(reinterpret_cast<HMODULE>(pHandle));
}

void *SharedLibrary::pSymbol(const char *strName) const
{
    // GetProcAddress hands out a function pointer of its own type; callers cast it to the prototype.
    return reinterpret_cast<void *>(GetProcAddress(reinterpret_cast<HMODULE>(pHandle), strName));
}

} // namespace tarnbus
