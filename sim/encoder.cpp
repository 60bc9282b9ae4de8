#include "encoder.h"

#include "text_util.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace tbsim {

namespace {

bool inEeprom(unsigned address)
{
    return address >= kEepromBlock && address < kEepromBlock + kConfigBlockSize;
}

} // namespace

void Encoder::writeRegister(unsigned address, uint8_t value)
{
    address &= 0x7F;
    // The rating plate is a protected area: the encoder ignores writes to it.
    if (address >= kPlateFirst && address <= kPlateLast)
        return;
    storeEeprom(address, value);
}

void Encoder::poke(unsigned address, uint8_t value)
{
    storeEeprom(address & 0x7F, value);
}

void Encoder::storeEeprom(unsigned address, uint8_t value)
{
    const bool changed = m_regs[address] != value;
    m_regs[address] = value;
    if (changed && inEeprom(address))
        saveEepromFile();
}

void Encoder::powerCycle()
{
    for (unsigned i = 0; i < kConfigBlockSize; ++i)
        m_regs[kRamBlock + i] = m_regs[kEepromBlock + i];
}

bool Encoder::loadEepromFile(std::string &error)
{
    if (m_eepromFile.empty())
        return true;
    std::ifstream probe(m_eepromFile);
    if (!probe)
        return true; // not written yet: the scenario's block stands and the file comes with the first change
    uint8_t block[kConfigBlockSize];
    if (!readEepromBlockFile(m_eepromFile, block, error))
        return false;
    for (unsigned i = 0; i < kConfigBlockSize; ++i)
        m_regs[kEepromBlock + i] = block[i];
    return true;
}

void Encoder::saveEepromFile() const
{
    // The encoder itself has kept the value; only its copy for the next run is lost, so say so.
    if (!m_eepromFile.empty() && !writeEepromBlockFile(m_eepromFile, &m_regs[kEepromBlock]))
        std::fprintf(stderr, "libftd2xx-sim: cannot write the encoder EEPROM file %s\n",
                     m_eepromFile.c_str());
}

bool readEepromBlockFile(const std::string &path, uint8_t block[kConfigBlockSize], std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::vector<uint8_t> bytes;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string_view text = line;
        if (auto hash = text.find('#'); hash != std::string_view::npos)
            text = text.substr(0, hash);
        std::vector<uint8_t> part;
        if (!parseHexBytes(text, part)) {
            error = path + ":" + std::to_string(lineNo) + ": not a list of hexadecimal bytes";
            return false;
        }
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    if (bytes.size() != kConfigBlockSize) {
        error = path + ": holds " + std::to_string(bytes.size()) + " bytes, the EEPROM block has 6";
        return false;
    }
    for (unsigned i = 0; i < kConfigBlockSize; ++i)
        block[i] = bytes[i];
    return true;
}

bool writeEepromBlockFile(const std::string &path, const uint8_t block[kConfigBlockSize])
{
    // Written beside the target and renamed over it, so a crash never leaves half a block.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!out)
            return false;
        char text[64];
        std::snprintf(text, sizeof text, "%02X %02X %02X %02X %02X %02X\n", block[0], block[1], block[2],
                      block[3], block[4], block[5]);
        out << "# Encoder EEPROM configuration block, registers 16..21\n" << text;
        if (!out.flush())
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

} // namespace tbsim
