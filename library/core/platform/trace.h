/* Field diagnostics: which driver call failed and which step was refused. Off unless the environment
 * variable TARNBUS_TRACE is set: "1" writes one line per event to standard error, any other value
 * except "0" names a file the lines are appended to. Nothing here changes what any call returns. */
#ifndef TARNBUS_TRACE_H
#define TARNBUS_TRACE_H

#include <cstdint>

namespace tarnbus {

/* One line, "tarnbus: " and the text; a no-op while the trace is off. */
void vTrace(const char *strFormat, ...) __attribute__((format(printf, 1, 2)));

/* The name of a result code, "BISS_COMM_FAILED" and so on. */
const char *strResultName(int32_t lResult);

} // namespace tarnbus

#endif
