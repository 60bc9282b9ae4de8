#include "trace.h"

#include "driver_files.h"
#include "tarnbus/result_names.h"

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
    return strBissResultName(lResult);
}

} // namespace tarnbus
