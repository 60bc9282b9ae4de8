// The programmable incremental encoder at slave 0: a configuration block in RAM (0..5) and in EEPROM
// (16..21), a write-protected rating plate (32..103), and an optional file that keeps the EEPROM block
// between runs.
#ifndef TBSIM_ENCODER_H
#define TBSIM_ENCODER_H

#include "slave.h"

#include <string>

namespace tbsim {

constexpr unsigned kRamBlock = 0;
constexpr unsigned kEepromBlock = 16;
constexpr unsigned kConfigBlockSize = 6;
constexpr unsigned kPlateFirst = 32;
constexpr unsigned kPlateLast = 103;
constexpr unsigned kSerialFirst = 49;
constexpr unsigned kSerialSize = 7;

class Encoder : public Slave {
public:
    void writeRegister(unsigned address, uint8_t value) override;
    void poke(unsigned address, uint8_t value) override;
    void powerCycle() override;

    // The file that keeps the EEPROM block; empty for none. Nothing is read or written here.
    void setEepromFile(std::string path) { m_eepromFile = std::move(path); }
    const std::string &eepromFile() const { return m_eepromFile; }

    // Reads the EEPROM block from the file when it exists. False with a message when it is unreadable.
    bool loadEepromFile(std::string &error);

private:
    void storeEeprom(unsigned address, uint8_t value);
    void saveEepromFile() const;

    std::string m_eepromFile;
};

// Reads and writes the text form of a 6-byte EEPROM block ("A4 5A 61 0C 02 80").
bool readEepromBlockFile(const std::string &path, uint8_t block[kConfigBlockSize], std::string &error);
bool writeEepromBlockFile(const std::string &path, const uint8_t block[kConfigBlockSize]);

} // namespace tbsim

#endif
