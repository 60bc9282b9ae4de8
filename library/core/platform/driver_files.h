/* The platform's part of finding the drivers: their file names, loaded when no environment variable
 * names a file, and the file system questions the search asks. Each platform defines them in its own
 * folder. */
#ifndef TARNBUS_DRIVER_FILES_H
#define TARNBUS_DRIVER_FILES_H

#include <string>

namespace tarnbus {

extern const char *const STR_D2XX_FILE;         /* FTDI's D2XX driver */
extern const char *const STR_PROJECT_D2XX_FILE; /* the project's own D2XX driver; null where none */
extern const char *const STR_DLPORTIO_FILE;     /* the port I/O driver */
extern const char *const STR_SY2D_FILE;         /* the kind-5 driver */

/* The folder this library was loaded from, with a trailing separator; empty when unknown. */
std::string strOwnDirectory();

/* True when the path names a regular file. */
bool bIsFile(const std::string &strFile);

/* The value of an environment variable of this process as it is now (on Windows also what a host set
 * with SetEnvironmentVariable after start); empty when unset. */
std::string strEnvironment(const char *strVariable);

} // namespace tarnbus

#endif
