/*
 * The names of the results (BissEnum) as text, for messages and traces: the one table that the
 * library, its tools and host programs share. Plain C, header only.
 */
#ifndef TARNBUS_RESULT_NAMES_H
#define TARNBUS_RESULT_NAMES_H

#include <stdint.h>

/* "BISS_OK" ... "BISS_COMM_FAILED", or "unknown result" for a value outside BissEnum. */
static inline const char *strBissResultName(int32_t lResult)
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
    if (lResult < 0 || lResult >= (int32_t)(sizeof astrNames / sizeof astrNames[0]))
        return "unknown result";
    return astrNames[lResult];
}

#endif /* TARNBUS_RESULT_NAMES_H */
