#include "driver_library.h"

#include "driver_files.h"

namespace tarnbus {

namespace {

std::string strFromEnv(const char *strVariable, const char *strDefault)
{
    const std::string strValue = strEnvironment(strVariable);
    return strValue.empty() ? std::string(strDefault) : strValue;
}

template <typename T>
bool bBind(const SharedLibrary &lib, const char *strName, T &pFunction)
{
    pFunction = reinterpret_cast<T>(lib.pSymbol(strName));
    return pFunction != nullptr;
}

} // namespace

std::string strProjectDriver(const char *strName)
{
    const std::string strDirectory = strOwnDirectory();
    const std::string strInstalled = strDirectory + "tarnbus/" + strName;
    const std::string strBeside = strDirectory + strName;
    if (!bIsFile(strInstalled) && bIsFile(strBeside))
        return strBeside;
    return strInstalled;
}

std::string strD2xxPath()
{
    // A path the user names is used alone: a mistake there must not quietly reach another adapter.
    const std::string strValue = strEnvironment("TARNBUS_FTD2XX");
    if (!strValue.empty())
        return strValue;
    // FTDI's own driver when it is installed, else the project's own driver where the platform has one.
    if (!STR_PROJECT_D2XX_FILE || bProbeLibrary(STR_D2XX_FILE))
        return STR_D2XX_FILE;
    return strProjectDriver(STR_PROJECT_D2XX_FILE);
}
std::string strDlPortIoPath()
{
    return strFromEnv("TARNBUS_DLPORTIO", STR_DLPORTIO_FILE);
}
std::string strSy2dPath()
{
    return strFromEnv("TARNBUS_SY2D", STR_SY2D_FILE);
}

bool bProbeD2xxLibrary(const std::string &strFile)
{
    return D2xxDriver::pLoad(strFile) != nullptr;
}

std::unique_ptr<D2xxDriver> D2xxDriver::pLoad(const std::string &strFile)
{
    auto pDriver = std::make_unique<D2xxDriver>();
    pDriver->pLibrary = SharedLibrary::pLoad(strFile);
    if (!pDriver->pLibrary)
        return nullptr;
    const SharedLibrary &lib = *pDriver->pLibrary;
    bool bAll =
        bBind(lib, "FT_Open", pDriver->pOpen) && bBind(lib, "FT_Close", pDriver->pClose) &&
        bBind(lib, "FT_Read", pDriver->pRead) && bBind(lib, "FT_Write", pDriver->pWrite) &&
        bBind(lib, "FT_Purge", pDriver->pPurge) && bBind(lib, "FT_SetTimeouts", pDriver->pSetTimeouts) &&
        bBind(lib, "FT_SetLatencyTimer", pDriver->pSetLatencyTimer) &&
        bBind(lib, "FT_SetBitMode", pDriver->pSetBitMode) && bBind(lib, "FT_EE_Read", pDriver->pEeRead);
    if (!bAll)
        return nullptr;
    return pDriver;
}

std::unique_ptr<DlPortIoDriver> DlPortIoDriver::pLoad(const std::string &strFile)
{
    auto pDriver = std::make_unique<DlPortIoDriver>();
    pDriver->pLibrary = SharedLibrary::pLoad(strFile);
    if (!pDriver->pLibrary)
        return nullptr;
    const SharedLibrary &lib = *pDriver->pLibrary;
    if (!bBind(lib, "DlPortWritePortUchar", pDriver->pWritePort) ||
        !bBind(lib, "DlPortReadPortUchar", pDriver->pReadPort))
        return nullptr;
    return pDriver;
}

} // namespace tarnbus
