#include "driver_files.h"

#include <cstdlib>

#include <dlfcn.h>
#include <sys/stat.h>

namespace tarnbus {

const char *const STR_D2XX_FILE = "libftd2xx.so";
const char *const STR_PROJECT_D2XX_FILE = "libtarnbus-ftdi.so";
const char *const STR_DLPORTIO_FILE = "libdlportio.so";
const char *const STR_SY2D_FILE = "libsy2d.so";

std::string strOwnDirectory()
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&strOwnDirectory), &info) || !info.dli_fname)
        return std::string();
    const std::string strFile = info.dli_fname;
    const size_t uiSlash = strFile.rfind('/');
    return uiSlash == std::string::npos ? std::string() : strFile.substr(0, uiSlash + 1);
}

bool bIsFile(const std::string &strFile)
{
    struct stat st;
    return stat(strFile.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string strEnvironment(const char *strVariable)
{
    const char *strValue = std::getenv(strVariable);
    return strValue ? std::string(strValue) : std::string();
}

} // namespace tarnbus
