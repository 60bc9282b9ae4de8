#include "driver_files.h"

#include <windows.h>

namespace tarnbus {

// Searched the way LoadLibrary searches: the host program's folder first, then the system folders.
// The project's driver on libftdi1 is not built for Windows, where FTDI's driver is the one to use.
const char *const STR_D2XX_FILE = "ftd2xx.dll";
const char *const STR_PROJECT_D2XX_FILE = nullptr;
const char *const STR_DLPORTIO_FILE = "dlportio.dll";
const char *const STR_SY2D_FILE = "sy2d.dll";

std::string strOwnDirectory()
{
    HMODULE hModule = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&strOwnDirectory), &hModule))
        return std::string();
    char acFile[MAX_PATH];
    const DWORD ulLength = GetModuleFileNameA(hModule, acFile, sizeof acFile);
    if (ulLength == 0 || ulLength >= sizeof acFile)
        return std::string();
    const std::string strFile(acFile, ulLength);
    const size_t uiSlash = strFile.find_last_of("\\/");
    return uiSlash == std::string::npos ? std::string() : strFile.substr(0, uiSlash + 1);
}

bool bIsFile(const std::string &strFile)
{
    const DWORD ulAttributes = GetFileAttributesA(strFile.c_str());
    return ulAttributes != INVALID_FILE_ATTRIBUTES && !(ulAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string strEnvironment(const char *strVariable)
{
    // The process's environment block, not the C runtime's copy made at start.
    std::string strValue(64, '\0');
    for (;;) {
        const DWORD ulLength =
            GetEnvironmentVariableA(strVariable, strValue.data(), static_cast<DWORD>(strValue.size()));
        if (ulLength == 0)
            return std::string();
        if (ulLength < strValue.size()) {
            strValue.resize(ulLength);
            return strValue;
        }
        strValue.resize(ulLength); // the size needed, with the terminating zero
    }
}

} // namespace tarnbus
