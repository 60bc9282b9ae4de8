// The one simulated world of the process: adapter, master chip, BiSS line, faults and logs. The
// library under test loads this same file, so it and a test that links it share this state.
#ifndef TBSIM_WORLD_H
#define TBSIM_WORLD_H

#include "activity_log.h"
#include "biss_line.h"
#include "faults.h"
#include "master_chip.h"
#include "master_spi.h"
#include "mpsse.h"
#include "parallel_port.h"
#include "scenario.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tbsim {

// The FTDI device as D2XX sees it.
struct UsbDevice {
    bool open = false;
    uintptr_t handle = 0;    // the handle of the current opening
    uint32_t generation = 0; // every opening gets a new handle
    uint32_t readTimeout = 0, writeTimeout = 0;
    uint8_t latency = 16;
    std::vector<uint8_t> lateAnswer; // held back on the way to the host (TBSIM_LATE_DEVICE_READ)
};

class World {
public:
    World();

    Faults faults;
    ActivityLog log;
    BissLine line{faults, log};
    MasterChip master{line, faults, log}; // the register core
    MasterSpi masterSpi{master, faults};  // its front end on the adapter's SPI link
    Mpsse mpsse{masterSpi};
    ParallelPort port{master, faults, log}; // the master's other front end: the port adapter
    UsbDevice device;
    Scenario scenario;
    std::string lastError;

    // Powers everything up as the scenario says: closed device, fresh master and slaves, its
    // faults, empty logs. False (world unchanged) with lastError set when the encoder's EEPROM file
    // cannot be read.
    bool apply(const Scenario &sc);
    // The scenario named by TARNBUS_SIM_SCENARIO, else the default. A bad file is reported on stderr
    // and in lastError, and the adapter is absent (FT_Open finds no device).
    void resetFromEnvironment();
};

// The world while it lives; null once it has been torn down, at exit or when this library is
// unloaded. A driver that closes its device from its own exit handlers may still call in then.
World *world();

} // namespace tbsim

#endif
