// What the simulated world looks like at power-up: the master chip, the slaves on the line, the
// adapter's serial number and the faults that are on. The built-in default, and a small text format:
//
//   # comment
//   master.version = 2            # 1 or 2
//   master.id = 0x82              # version 2: bit 7 or 6 set; version 1: both clear
//   master.revision = 0x01
//   adapter.serial = TB000001
//   slave0 = encoder              # encoder (the default one), registers (all 0) or absent
//   slave0.32 = 01 3A 00 10 00    # register bytes in hexadecimal from an address on
//   slave0.text.37 = RC5812       # characters from an address on
//   slave0.word1 = 10             # sensor data: bits of the first data word (0..64, 0 = none)
//   slave0.value1 = 100           # its value in the first cycle; then it moves on by
//   slave0.step1 = 3              # this step after every cycle
//   slave0.crc1 = slot            # its CRC polynomial with x^0 (0x43 = x^6 + x + 1), 0 = none, or slot:
//                                 # the one the master's slot register holds
//   slave0.word2 = 24             # the same keys ending in 2 for the second data word
//   encoder.eeprom_file = enc.eeprom   # keeps the encoder's EEPROM block (16..21) between runs
//   encoder.replacement_serial = 2612002
//   port.base = 0x378             # the parallel port's data register (status +1, control +2)
//   port.wiring = 3               # the master's port adapter: 1, 2 (8-bit bus) or 3 (serial)
//   fault.short_transfer = 3      # on, off, or a number (on, with that argument)
//
// At power-up the encoder's RAM block (0..5) takes its EEPROM block (16..21).
#ifndef TBSIM_SCENARIO_H
#define TBSIM_SCENARIO_H

#include "faults.h"
#include "sensor_data.h"
#include "slave.h"

#include <array>
#include <cstdint>
#include <string>

namespace tbsim {

struct SlaveSpec {
    enum class Kind {
        Absent,
        Registers,
        Encoder
    };
    Kind kind = Kind::Absent;
    std::array<uint8_t, kSlaveRegisters> regs{};
    SensorData sensor = defaultSensorData();
};

struct Scenario {
    int masterVersion = 2;
    uint8_t masterId = 0x82;
    uint8_t masterRevision = 0x01;
    std::string adapterSerial = "TB000001";
    std::array<SlaveSpec, 8> slaves;
    std::string eepromFile;
    std::string replacementSerial = "2612002";
    uint32_t portBase = 0x378;
    int portWiring = 3;
    Faults faults;
};

Scenario defaultScenario();
// The registers of the encoder the default scenario puts at slave 0.
std::array<uint8_t, kSlaveRegisters> defaultEncoderRegisters();

// Reads a scenario file over the default. False with a message naming the file and line.
bool readScenarioFile(const std::string &path, Scenario &out, std::string &error);

// Fault names as scenario files spell them ("short_transfer"); null for an unknown fault.
const char *faultName(tbsim_fault fault);

} // namespace tbsim

#endif
