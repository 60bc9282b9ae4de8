// Life of a BissClass object and the selection of its adapter.
#include "tarnbus/BissClass.h"

#include <charconv>

#include "adapter.h"
#include "lpt_port.h"
#include "master_registers.h"
#include "platform/driver_library.h"
#include "transfer_state.h"
#include "usb_adapter.h"

namespace {

// A port base is "0x" (lower-case x) and hexadecimal digits, nothing else, naming a base whose three
// registers fit below 0x10000 and that is not port 0.
bool bParsePortBase(const std::string &strText, uint32_t *pulBase)
{
    if (strText.size() <= 2 || strText.compare(0, 2, "0x") != 0)
        return false;
    const char *pcFirst = strText.data() + 2;
    const char *pcLast = strText.data() + strText.size();
    uint32_t ulBase = 0;
    const auto result = std::from_chars(pcFirst, pcLast, ulBase, 16);
    if (result.ec != std::errc() || result.ptr != pcLast || ulBase == 0 || ulBase > 0xFFFD)
        return false;
    *pulBase = ulBase;
    return true;
}

// The transports with nothing behind them hold no state, so every object shares them.
NoAdapterClass NO_ADAPTER(false);
NoAdapterClass NO_PORT(true); // a parallel-port kind without its port: byte-wide all the same
Sy2dAdapterClass SY2D_ADAPTER;

} // namespace

BissClass::BissClass()
    : eInterface(INTERFACE_NONE), pAdapter(&NO_ADAPTER), pTransferState(std::make_unique<TransferState>()),
      eMasterVersion(MASTER_VERSION_UNKNOWN), ucMasterId(0),
      ucMasterRevision(0), aulRegCache{}, abRegCacheStale{}, ulMcLptMode(0), ulMcF5Bit0(0),
      ulMcE5LowBits(0), aulMcData1Length{}, aulMcData1CrcHalf{}, abMcData1Bit7{}, aulMcData2Length{},
      aulMcData2CrcHalf{}, abMcData2Bit7{}, ulMcStored9(1), abMcData1FlagA{}, abMcData2FlagA{},
      abMcSlaveModeC{}, abMcData1FlagB{}, abMcData2FlagB{}, abMcStored16{}, bMcE5Bit0(false),
      ulMcEcValue(0), aucMcStored19{}, ulMcE6Low5(0), ulMcE6High3(0)
{}

BissClass::~BissClass()
{
    // Transfer state first, then the port, then the USB adapter (which closes its device).
    pAdapter = &NO_ADAPTER;
    pTransferState.reset();
    pLptPort.reset();
    pUsbAdapter.reset();
}

bool BissClass::bCheckDLL(const std::string &strFile)
{
    return tarnbus::bProbeLibrary(strFile);
}
bool BissClass::bCheckLPT()
{
    // A library that loads but lacks either port function is no port driver.
    return tarnbus::DlPortIoDriver::pLoad(tarnbus::strDlPortIoPath()) != nullptr;
}
bool BissClass::bCheckUSB()
{
    return tarnbus::bProbeD2xxLibrary(tarnbus::strD2xxPath());
}
bool BissClass::bCheckSY2D()
{
    return bCheckDLL(tarnbus::strSy2dPath());
}

BissEnum BissClass::eSetInterface(InterfaceEnum eKind, std::string strText)
{
    eInterface = eKind;

    switch (eKind) {
    case INTERFACE_NONE:
        pAdapter = &NO_ADAPTER;
        pLptPort.reset();
        return BISS_OK;
    case INTERFACE_LPT1:
    case INTERFACE_LPT2:
    case INTERFACE_LPT3: {
        // A kind whose driver has gone keeps the port it had, if any; the wiring is the kind's.
        if (pLptPort)
            pLptPort->vSetWiring(eKind);
        pAdapter = pLptPort ? static_cast<AdapterClass *>(pLptPort.get()) : &NO_PORT;
        if (!bCheckLPT())
            return BISS_INTERFACE_NOT_FOU;
        // A text without a usable base makes no port: the transport would otherwise strobe I/O ports
        // 0 to 2, which are not a printer port on any PC.
        uint32_t ulPortBase = 0;
        if (!pLptPort && bParsePortBase(strText, &ulPortBase)) {
            pLptPort = std::make_unique<LptPortClass>(ulPortBase);
            pLptPort->vSetWiring(eKind);
            pAdapter = pLptPort.get();
        }
        break;
    }
    case INTERFACE_USB:
        // A kind whose driver has gone keeps the adapter object it had, if any.
        pAdapter = pUsbAdapter ? static_cast<AdapterClass *>(pUsbAdapter.get()) : &NO_ADAPTER;
        if (!bCheckUSB())
            return BISS_INTERFACE_NOT_FOU;
        if (!pUsbAdapter) {
            pUsbAdapter = std::make_unique<UsbAdapterClass>();
            pUsbAdapter->bOpen(); // a failed opening shows in the communication test below
        }
        pAdapter = pUsbAdapter.get();
        break;
    case INTERFACE_SY2D:
        pAdapter = pUsbAdapter ? static_cast<AdapterClass *>(&SY2D_ADAPTER) : &NO_ADAPTER;
        if (!bCheckSY2D())
            return BISS_INTERFACE_NOT_FOU;
        if (!pUsbAdapter) {
            pUsbAdapter = std::make_unique<UsbAdapterClass>();
            pUsbAdapter->bOpenSy2d();
        }
        pAdapter = &SY2D_ADAPTER;
        break;
    default:
        eInterface = INTERFACE_NONE;
        pAdapter = &NO_ADAPTER;
        return BISS_INVALID_INTERFACE;
    }

    aulRegCache.fill(0);
    abRegCacheStale.fill(false);
    vResetMasterVersion();
    MasterVersionEnum eVersion;
    uint8_t ucId, ucRevision;
    vGetMasterVersion(&eVersion, &ucId, &ucRevision);
    return bMasterTestComm(tarnbus::REG_TEST) ? BISS_OK : BISS_MASTERCOMM_FAILED;
}
