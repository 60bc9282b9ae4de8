// The adapter kinds the transport contract runs on, and how a test breaks each one's link, takes its
// adapter away and counts what reached its device.
#ifndef TARNBUS_TEST_TRANSPORT_CASES_H
#define TARNBUS_TEST_TRANSPORT_CASES_H

#include <cstdint>
#include <ostream>
#include <vector>

#include "tarnbus/tarnbus.h"
#include "tarnbus_sim.h"

struct TransportCase {
    const char *strName;
    uint32_t ulKind;
    const char *strText;           /* the text OpenInterface gets */
    const char *strDriverVariable; /* names the driver library */
    bool bLinkReportsFailure;      /* a broken link shows as BISS_MASTERCOMM_FAILED */
    void (*vPrepare)();            /* the simulated world this kind needs */
    void (*vFaultOn)();            /* breaks the link */
    void (*vFaultOff)();
    void (*vAbsent)();              /* no adapter where the library looks */
    uint64_t (*ulDeviceAccesses)(); /* calls that reached the adapter's device */
};

inline void PrintTo(const TransportCase &c, std::ostream *os)
{
    *os << c.strName;
}

inline uint64_t ulPortCalls()
{
    return tbsim_port_log_count();
}
inline void vSilentOn()
{
    tbsim_set_fault(TBSIM_MASTER_SILENT, 1, 0);
}
inline void vSilentOff()
{
    tbsim_set_fault(TBSIM_MASTER_SILENT, 0, 0);
}

/* The port kinds find the master at 0x378 with their own wiring; "absent" puts the port elsewhere. */
inline std::vector<TransportCase> vecTransportCases()
{
    return {
        {"Usb", INTERFACE_USB, "", "TARNBUS_FTD2XX", true, [] {},
         [] { tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 1, 0); },
         [] { tbsim_set_fault(TBSIM_DEVICE_WRITE_FAILS, 0, 0); },
         [] { tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0); }, [] { return uint64_t(tbsim_call_count()); }},
        {"Lpt1", INTERFACE_LPT1, "0x378", "TARNBUS_DLPORTIO", false, [] { tbsim_set_port(0x378, 1); },
         vSilentOn, vSilentOff, [] { tbsim_set_port(0x278, 1); }, ulPortCalls},
        {"Lpt2", INTERFACE_LPT2, "0x378", "TARNBUS_DLPORTIO", false, [] { tbsim_set_port(0x378, 2); },
         vSilentOn, vSilentOff, [] { tbsim_set_port(0x278, 2); }, ulPortCalls},
        {"Lpt3", INTERFACE_LPT3, "0x378", "TARNBUS_DLPORTIO", false, [] { tbsim_set_port(0x378, 3); },
         vSilentOn, vSilentOff, [] { tbsim_set_port(0x278, 3); }, ulPortCalls},
    };
}

#endif
