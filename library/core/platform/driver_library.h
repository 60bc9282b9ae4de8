/* Driver libraries loaded at run time: the D2XX-compatible USB driver, the port I/O driver and the
 * kind-5 driver. Each is found through an environment variable holding a path, else a default file
 * name searched the usual way; the USB driver falls back to the project's own driver on libftdi1. */
#ifndef TARNBUS_DRIVER_LIBRARY_H
#define TARNBUS_DRIVER_LIBRARY_H

#include <memory>
#include <string>

#include "d2xx.h"
#include "dlportio.h"
#include "shared_library.h"

namespace tarnbus {

/* Which file to load for each driver. */
std::string strD2xxPath();     /* TARNBUS_FTD2XX alone when set; else "libftd2xx.so" ("ftd2xx.dll")
                                  when it loads; else the project's driver beside this library
                                  (strProjectDriver), where the platform has one */
std::string strDlPortIoPath(); /* TARNBUS_DLPORTIO, else "libdlportio.so" ("dlportio.dll") */
std::string strSy2dPath();     /* TARNBUS_SY2D, else "libsy2d.so" ("sy2d.dll") */

/* One of the project's driver libraries: in the "tarnbus" folder beside this library where it is
 * installed, else beside it (the build tree). The installed place when neither exists. */
std::string strProjectDriver(const char *strName);

/* True when the file can be loaded and has every D2XX function the USB adapter calls: a library
 * without them is no USB driver, however well it loads. */
bool bProbeD2xxLibrary(const std::string &strFile);

/* The D2XX functions the USB adapter calls, bound by their standard names. The table keeps its library
 * loaded for as long as it lives. */
struct D2xxDriver {
    std::shared_ptr<SharedLibrary> pLibrary;
    FT_Open_t pOpen = nullptr;
    FT_Close_t pClose = nullptr;
    FT_Read_t pRead = nullptr;
    FT_Write_t pWrite = nullptr;
    FT_Purge_t pPurge = nullptr;
    FT_SetTimeouts_t pSetTimeouts = nullptr;
    FT_SetLatencyTimer_t pSetLatencyTimer = nullptr;
    FT_SetBitMode_t pSetBitMode = nullptr;
    FT_EE_Read_t pEeRead = nullptr;

    /* Null when the library cannot be loaded or lacks one of the functions. */
    static std::unique_ptr<D2xxDriver> pLoad(const std::string &strFile);
};

/* The port I/O driver's two functions, bound by name. A library lacking either one is no driver. */
struct DlPortIoDriver {
    std::shared_ptr<SharedLibrary> pLibrary;
    DlPortWritePortUchar_t pWritePort = nullptr;
    DlPortReadPortUchar_t pReadPort = nullptr;

    /* Null when the library cannot be loaded or lacks one of the functions. */
    static std::unique_ptr<DlPortIoDriver> pLoad(const std::string &strFile);
};

} // namespace tarnbus

#endif
