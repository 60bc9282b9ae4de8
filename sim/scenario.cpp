#include "scenario.h"

#include "text_util.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace tbsim {

namespace {

constexpr const char *kFaultNames[TBSIM_FAULT_COUNT] = {
    "adapter_absent",
    "adapter_unplugged",
    "master_silent",
    "instruction_not_taken",
    "no_eot",
    "encoder_absent",
    "encoder_replaced",
    "short_transfer",
    "short_device_read",
    "device_write_fails",
    "short_device_write",
    "eeprom_read_fails",
    "device_read_fails",
    "late_device_read",
    "control_start_delay",
    "control_bad_crc",
    "control_cds_flip",
    "control_never_ready",
    "control_foreign_id",
    "master_busy",
    "crc_error",
    "cds_stuck",
    "no_start_bit",
    "cycle_never_ends",
    "slave_absent",
    "port_access_lost",
    "slow_line",
};

void putText(std::array<uint8_t, kSlaveRegisters> &regs, unsigned address, const char *text)
{
    for (size_t i = 0; text[i] && address + i < kSlaveRegisters; ++i)
        regs[address + i] = static_cast<uint8_t>(text[i]);
}

std::string directoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

struct Parser {
    const std::string &path;
    Scenario &sc;
    std::string &error;
    int line = 0;
    bool idGiven = false;

    bool fail(const std::string &message)
    {
        // The message quotes what the file says; a stray control byte must neither cut it short (a
        // zero byte ends the C string the caller gets) nor garble the terminal.
        std::string shown;
        for (const unsigned char c : message) {
            if (c < 0x20 || c == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                shown += hex;
            } else {
                shown += static_cast<char>(c);
            }
        }
        error = path + ":" + std::to_string(line) + ": " + shown;
        return false;
    }
    bool badValue(std::string_view key, std::string_view value, const char *expected)
    {
        return fail("bad value '" + std::string(value) + "' for " + std::string(key) + " (" + expected + ")");
    }

    bool slaveLine(std::string_view key, std::string_view value)
    {
        // slaveN, slaveN.ADDR, slaveN.text.ADDR
        const std::string whole(key);
        key.remove_prefix(5);
        if (key.empty() || key[0] < '0' || key[0] > '7')
            return fail("unknown key '" + whole + "' (slaves are slave0..slave7)");
        SlaveSpec &slave = sc.slaves[key[0] - '0'];
        key.remove_prefix(1);
        if (key.empty()) {
            if (value == "encoder") {
                slave.kind = SlaveSpec::Kind::Encoder;
                slave.regs = defaultEncoderRegisters();
            } else if (value == "registers") {
                slave.kind = SlaveSpec::Kind::Registers;
                slave.regs.fill(0);
            } else if (value == "absent") {
                slave.kind = SlaveSpec::Kind::Absent;
            } else {
                return badValue("slave", value, "encoder, registers or absent");
            }
            return true;
        }
        if (key[0] != '.')
            return fail("unknown key '" + whole + "'");
        key.remove_prefix(1);
        if (key.size() > 1 && (key.back() == '1' || key.back() == '2') && key[0] >= 'a' && key[0] <= 'z')
            return sensorLine(whole, slave, key, value);
        const bool text = key.substr(0, 5) == "text.";
        if (text)
            key.remove_prefix(5);
        uint32_t address = 0;
        if (!parseNumber(key, kSlaveRegisters - 1, address))
            return fail("bad register address '" + std::string(key) + "' (0..127)");
        if (slave.kind == SlaveSpec::Kind::Absent)
            return fail("registers given for an absent slave (say slaveN = encoder or registers first)");
        std::vector<uint8_t> bytes;
        if (text) {
            bytes.assign(value.begin(), value.end());
        } else if (!parseHexBytes(value, bytes)) {
            return badValue("register bytes", value, "hexadecimal bytes such as 01 3A FF");
        }
        if (address + bytes.size() > kSlaveRegisters)
            return fail("register bytes run past address 127");
        std::copy(bytes.begin(), bytes.end(), slave.regs.begin() + address);
        return true;
    }

    // slaveN.word1, value1, step1, crc1 and the same ending in 2.
    bool sensorLine(const std::string &whole, SlaveSpec &slave, std::string_view key, std::string_view value)
    {
        SensorWord &word = slave.sensor.words[key.back() - '1'];
        key.remove_suffix(1);
        uint32_t n = 0;
        if (key == "word") {
            if (!parseNumber(value, 64, n))
                return badValue(whole, value, "0..64 bits");
            word.length = n;
        } else if (key == "value") {
            if (!parseNumber(value, UINT32_MAX, n))
                return badValue(whole, value, "a number");
            word.value = n;
        } else if (key == "step") {
            if (!parseNumber(value, UINT32_MAX, n))
                return badValue(whole, value, "a number");
            word.step = n;
        } else if (key == "crc") {
            if (value == "slot")
                word.crc = kCrcFromSlot;
            else if (parseNumber(value, 0xFFFF, n))
                word.crc = n;
            else
                return badValue(whole, value, "a polynomial such as 0x43, 0, or slot");
        } else {
            return fail("unknown key '" + whole + "'");
        }
        return true;
    }

    bool faultLine(std::string_view name, std::string_view value)
    {
        for (int f = 0; f < TBSIM_FAULT_COUNT; ++f) {
            if (name != kFaultNames[f])
                continue;
            uint32_t arg = 0;
            if (value == "on")
                sc.faults.set(static_cast<tbsim_fault>(f), true, 0);
            else if (value == "off")
                sc.faults.set(static_cast<tbsim_fault>(f), false, 0);
            else if (parseNumber(value, UINT32_MAX, arg))
                sc.faults.set(static_cast<tbsim_fault>(f), true, arg);
            else
                return badValue("fault", value, "on, off or a number");
            return true;
        }
        return fail("unknown fault '" + std::string(name) + "'");
    }

    bool keyValue(std::string_view key, std::string_view value)
    {
        uint32_t n = 0;
        if (key == "master.version") {
            if (!parseNumber(value, 2, n) || n < 1)
                return badValue(key, value, "1 or 2");
            sc.masterVersion = static_cast<int>(n);
            if (!idGiven)
                sc.masterId = n == 1 ? 0x21 : 0x82; // the usual id of each version
            return true;
        }
        if (key == "master.id") {
            if (!parseNumber(value, 0xFF, n))
                return badValue(key, value, "one byte");
            sc.masterId = static_cast<uint8_t>(n);
            idGiven = true;
            return true;
        }
        if (key == "master.revision") {
            if (!parseNumber(value, 0xFF, n))
                return badValue(key, value, "one byte");
            sc.masterRevision = static_cast<uint8_t>(n);
            return true;
        }
        if (key == "adapter.serial") {
            if (value.empty() || value.size() > 15)
                return badValue(key, value, "1 to 15 characters");
            sc.adapterSerial = value;
            return true;
        }
        if (key == "encoder.eeprom_file") {
            if (value.empty())
                return badValue(key, value, "a file name");
            sc.eepromFile = value[0] == '/' ? std::string(value) : directoryOf(path) + std::string(value);
            return true;
        }
        if (key == "encoder.replacement_serial") {
            if (value.empty() || value.size() > 7)
                return badValue(key, value, "1 to 7 characters");
            sc.replacementSerial = value;
            return true;
        }
        if (key == "port.base") {
            // The three port registers must fit below 0x10000, and port 0 is no printer port.
            if (!parseNumber(value, 0xFFFD, n) || n == 0)
                return badValue(key, value, "1 to 0xFFFD");
            sc.portBase = n;
            return true;
        }
        if (key == "port.wiring") {
            if (!parseNumber(value, 3, n) || n < 1)
                return badValue(key, value, "1, 2 or 3");
            sc.portWiring = static_cast<int>(n);
            return true;
        }
        if (key.substr(0, 6) == "fault.")
            return faultLine(key.substr(6), value);
        if (key.substr(0, 5) == "slave")
            return slaveLine(key, value);
        return fail("unknown key '" + std::string(key) + "'");
    }
};

} // namespace

std::array<uint8_t, kSlaveRegisters> defaultEncoderRegisters()
{
    std::array<uint8_t, kSlaveRegisters> r{};
    const uint8_t config[6] = {0xA4, 0x5A, 0x61, 0x0C, 0x02, 0x80};
    for (int i = 0; i < 6; ++i)
        r[0 + i] = r[16 + i] = config[i];
    r[32] = 0x01;
    r[33] = 58;                               // article type
    r[34] = 0x00, r[35] = 0x10, r[36] = 0x00; // basic resolution 4096
    putText(r, 37, "RC5812");
    putText(r, 43, "HTL-05");
    putText(r, 49, "2612001");
    putText(r, 56, "ROTA 58-4096-P-HTL");
    r[88] = 0x00, r[89] = 0x04;                             // factory divider
    r[90] = 0x00, r[91] = 0x00, r[92] = 0x04, r[93] = 0x00; // factory pulse count 1024
    r[94] = 0;                                              // factory direction
    r[95] = 1;                                              // factory zero-pulse mode
    return r;
}

Scenario defaultScenario()
{
    Scenario sc;
    sc.slaves[0].kind = SlaveSpec::Kind::Encoder;
    sc.slaves[0].regs = defaultEncoderRegisters();
    return sc;
}

bool readScenarioFile(const std::string &path, Scenario &out, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    Scenario sc = defaultScenario();
    Parser p{path, sc, error};
    std::string text;
    while (std::getline(in, text)) {
        ++p.line;
        std::string_view l = text;
        if (auto hash = l.find('#'); hash != std::string_view::npos)
            l = l.substr(0, hash);
        l = trim(l);
        if (l.empty())
            continue;
        const auto eq = l.find('=');
        if (eq == std::string_view::npos)
            return p.fail("expected key = value");
        const std::string_view key = trim(l.substr(0, eq));
        const std::string_view value = trim(l.substr(eq + 1));
        if (key.empty())
            return p.fail("expected key = value");
        if (!p.keyValue(key, value))
            return false;
    }
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    if (sc.masterVersion == 2 && !(sc.masterId & 0xC0))
        return p.fail("master.id must have bit 7 or 6 set on a version-2 master");
    if (sc.masterVersion == 1 && (sc.masterId & 0xC0))
        return p.fail("master.id must have bits 7 and 6 clear on a version-1 master");
    if (!sc.eepromFile.empty() && sc.slaves[0].kind != SlaveSpec::Kind::Encoder)
        return p.fail("encoder.eeprom_file given but slave0 is not an encoder");
    out = std::move(sc);
    return true;
}

const char *faultName(tbsim_fault fault)
{
    return Faults::valid(fault) ? kFaultNames[fault] : nullptr;
}

} // namespace tbsim
