#include "encoder.h"

#include "text_util.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
// Windows has no file modes to set, and _commit is its fsync.
static int fsync(int fd)
{
    return _commit(fd);
}
static int fchmod(int, int)
{
    return 0;
}
#endif

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
    // Written to a file of its own beside the target (two simulated worlds may share one target),
    // flushed to the disk, then renamed over the target: no crash or power cut leaves half a block.
    char text[128];
    const int size = std::snprintf(text, sizeof text,
                                   "# Encoder EEPROM configuration block, registers 16..21\n"
                                   "%02X %02X %02X %02X %02X %02X\n",
                                   block[0], block[1], block[2], block[3], block[4], block[5]);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0644) == 0;
    for (ssize_t done = 0; ok && done < size;) {
        const ssize_t n = ::write(fd, text + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

} // namespace tbsim
