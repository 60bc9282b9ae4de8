#include "trace.h"

#include "tarnbus/result_names.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnbus {

void vTrace(const char *strFormat, ...)
{
    // Looked up on every line: lines come only with failures, and a host may switch the trace on
    // while it runs.
    const char *strTarget = std::getenv("TARNBUS_TRACE");
    if (!strTarget || !*strTarget || std::strcmp(strTarget, "0") == 0)
        return;
    const bool bStandardError = std::strcmp(strTarget, "1") == 0;
    std::FILE *pFile = bStandardError ? stderr : std::fopen(strTarget, "a");
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
