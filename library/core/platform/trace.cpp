#include "trace.h"

#include "driver_files.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tarnbus {

void vTrace(const char *strFormat, ...)
{
    // Looked up on every line: lines come only with failures, and a host may switch the trace on
    // while it runs.
    const std::string strTarget = strEnvironment("TARNBUS_TRACE");
    if (strTarget.empty() || strTarget == "0")
        return;
    const bool bStandardError = strTarget == "1";
    std::FILE *pFile = bStandardError ? stderr : std::fopen(strTarget.c_str(), "a");
    if (!pFile)
        return;
    char acLine[256];
    va_list args;
    va_start(args, strFormat);
    std::vsnprintf(acLine, sizeof acLine, strFormat, args);
    va_end(args);
    std::fprintf(pFile, "tarnbus: %s\n", acLine);
    if (bStandardError)
        std::fflush(pFile);
    else
        std::fclose(pFile);
}

const char *strResultName(int32_t lResult)
{
    static const char *const astrNames[] = {
        "BISS_OK",
        "BISS_INVALID_HANDLE",
        "BISS_INVALID_INTERFACE",
        "BISS_INTERFACE_NOT_FOU",
        "BISS_MASTERCOMM_FAILED",
        "BISS_INVALID_MASTERADR",
        "BISS_INVALID_MASTERDAT",
        "BISS_INVALID_PARAMETER",
        "BISS_INIT_FAILED",
        "BISS_TIMEOUT",
        "BISS_REGERROR",
        "BISS_COMM_FAILED",
    };
    if (lResult < 0 || lResult >= static_cast<int32_t>(sizeof astrNames / sizeof astrNames[0]))
        return "unknown result";
    return astrNames[lResult];
}

} // namespace tarnbus
