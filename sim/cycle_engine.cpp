#include "cycle_engine.h"

#include "crc.h"

namespace tbsim {

namespace {

// A version-1 master has no clock register the library writes; its cycles take a fixed time.
constexpr unsigned kVersion1CycleAccesses = 2;
constexpr uint8_t kClockRegister = 0xE6;
constexpr unsigned kDataWord2 = 0x40; // second data words: 8 bytes per slot from here
constexpr uint8_t kSlotValidLow = 0xF1;
constexpr uint8_t kSlotValidHigh = 0xF2;

} // namespace

// Version 2 has one value per command: 2 is a cycle with CDM 1, 4 and 6 cycles with CDM 0, 1 starts
// automatic cycles (CDM 0), 0x41 holds them, 0x20 latches CDS. Version 1 starts a single cycle with bit
// 1 and automatic cycles with bit 0; bit 5 gives the cycle CDM 1. Register mode C may refine how the
// frame commands 2, 4 and 6 reach the slave (start bit, echo).
CycleCommand decodeCycleCommand(int version, uint8_t value)
{
    using Kind = CycleCommand::Kind;
    if (version == 1) {
        if (value & 0x80)
            return {};
        if (value & 0x02)
            return {Kind::Single, (value & 0x20) != 0};
        if (value & 0x01)
            return {Kind::Automatic, (value & 0x20) != 0};
        return {};
    }
    switch (value) {
    case 0x01:
        return {Kind::Automatic, false};
    case 0x02:
        return {Kind::Single, true};
    case 0x04:
    case 0x06:
        return {Kind::Single, false};
    case 0x41:
        return {Kind::Hold, false};
    case 0x20:
        return {Kind::SampleCds, false};
    default:
        return {};
    }
}

CycleEngine::CycleEngine(BissLine &line, const Faults &faults, ActivityLog &log,
                         std::array<uint8_t, 256> &regs)
    : m_line(line), m_faults(faults), m_log(log), m_regs(regs)
{}

void CycleEngine::powerUp(int version)
{
    m_version = version;
    m_running = m_automatic = m_held = false;
    m_remaining = 0;
    m_cdm = false;
    m_command = 0;
    m_showsCycle = false;
    m_status = 0;
    m_cds = false;
    m_cdmZeroCycles = 0;
    m_number = 0;
}

uint8_t CycleEngine::cdsRegister() const
{
    // Ready once the line has been quiet long enough and the slaves' control channels say so.
    const bool ready = m_cdmZeroCycles >= kReadyCycles && m_line.controlReady();
    return static_cast<uint8_t>((ready ? 0x80 : 0) | (m_cds ? 0x40 : 0));
}

unsigned CycleEngine::duration() const
{
    if (m_version == 1)
        return kVersion1CycleAccesses;
    // Bits 3..0 set the BiSS clock divider, bit 4 slows it down tenfold: a cycle lasts that many
    // register accesses.
    const uint8_t clock = m_regs[kClockRegister];
    const unsigned slow = m_faults.on(TBSIM_SLOW_LINE) ? m_faults.arg(TBSIM_SLOW_LINE) : 0;
    return (clock & 0x0F) * ((clock & 0x10) ? 10u : 1u) + slow;
}

bool CycleEngine::instruction(uint8_t value)
{
    const CycleCommand command = decodeCycleCommand(m_version, value);
    switch (command.kind) {
    case CycleCommand::Kind::None:
        return false;
    case CycleCommand::Kind::Hold:
        m_held = true;
        return true;
    case CycleCommand::Kind::SampleCds:
        return true; // 0xF3 already shows the level the last cycle brought
    case CycleCommand::Kind::Automatic:
        m_automatic = true;
        m_held = false;
        if (!m_running)
            start(command, value);
        return true;
    case CycleCommand::Kind::Single:
        m_automatic = false;
        m_held = false;
        start(command, value);
        return true;
    }
    return false;
}

void CycleEngine::stopAutomatic()
{
    m_automatic = false;
    m_held = false;
}

void CycleEngine::abort()
{
    m_running = m_automatic = m_held = false;
    m_remaining = 0;
}

void CycleEngine::start(CycleCommand command, uint8_t value)
{
    m_showsCycle = true;
    m_running = true;
    m_cdm = command.cdm;
    m_command = value;
    m_remaining = duration();
    // Automatic cycles keep the last outcome readable while the next one runs; a single cycle shows
    // nothing valid until it ends.
    if (!m_automatic)
        m_status = 0;
    if (m_remaining == 0 && !m_faults.on(TBSIM_CYCLE_NEVER_ENDS))
        finish();
}

void CycleEngine::access()
{
    if (m_held)
        return;
    if (!m_running) {
        if (m_automatic)
            start({CycleCommand::Kind::Automatic, false}, m_command);
        return;
    }
    if (m_faults.on(TBSIM_CYCLE_NEVER_ENDS))
        return;
    if (m_remaining > 0)
        --m_remaining;
    if (m_remaining == 0)
        finish();
}

unsigned CycleEngine::slotLength(unsigned slot, unsigned word) const
{
    const uint8_t reg =
        m_version == 1 ? m_regs[0x80 + 0x10 * word + slot] : m_regs[0xC0 + 4 * slot + 2 * word];
    return (reg & 0x40) ? (reg & 0x3F) + 1u : 0u;
}

uint32_t CycleEngine::slotCrc(unsigned slot, unsigned word) const
{
    const uint8_t reg =
        m_version == 1 ? m_regs[0x88 + 0x10 * word + slot] : m_regs[0xC1 + 4 * slot + 2 * word] & 0x7F;
    return polynomialFromRegister(reg);
}

// Version 2 keeps a word's data least significant byte first from the bottom of its slot's 8 bytes.
// Version 1 keeps the bits as they came, most significant byte first from the top of the block down:
// the data, a CRC field one bit wider than the CRC, and for the first word one trail bit; the last,
// partial byte holds its bits at the bottom for the first word and at the top for the second.
void CycleEngine::storeWord(unsigned slot, unsigned word, const std::vector<bool> &data,
                            const std::vector<bool> &crc)
{
    const unsigned base = 8 * slot + (word ? kDataWord2 : 0);
    for (unsigned i = 0; i < 8; ++i)
        m_regs[base + i] = 0;
    if (m_version != 1) {
        const unsigned n = static_cast<unsigned>(data.size());
        for (unsigned k = 0; k < n; ++k) // bit k of the value
            if (data[n - 1 - k])
                m_regs[base + k / 8] |= static_cast<uint8_t>(1u << (k % 8));
        return;
    }
    std::vector<bool> field = data;
    if (!crc.empty()) {
        field.push_back(false);
        field.insert(field.end(), crc.begin(), crc.end());
    }
    if (word == 0)
        field.push_back(false); // trail bit
    if (field.size() > 64)
        field.erase(field.begin(), field.end() - 64);
    const unsigned n = static_cast<unsigned>(field.size());
    for (unsigned j = 0; j < n / 8; ++j) {
        uint8_t byte = 0;
        for (unsigned b = 0; b < 8; ++b)
            byte = static_cast<uint8_t>((byte << 1) | (field[8 * j + b] ? 1 : 0));
        m_regs[base + 7 - j] = byte;
    }
    const unsigned rest = n % 8;
    if (rest != 0) {
        uint8_t byte = 0;
        for (unsigned b = 0; b < rest; ++b)
            byte = static_cast<uint8_t>((byte << 1) | (field[8 * (n / 8) + b] ? 1 : 0));
        if (word == 1)
            byte = static_cast<uint8_t>(byte << (8 - rest));
        m_regs[base + 7 - n / 8] = byte;
    }
}

void CycleEngine::finish()
{
    m_running = false;
    ++m_number;

    // The slaves answer one after the other along the chain; a slave that does not answer cuts off
    // everything behind it.
    std::vector<Slave *> chain;
    for (unsigned p = 0; p < kMaxSlaves; ++p) {
        Slave *slave = m_line.answering(p);
        if (!slave)
            break;
        chain.push_back(slave);
    }
    const bool startBit = !chain.empty() && !m_faults.on(TBSIM_NO_START_BIT);

    bool cds = false;
    std::vector<bool> bits;
    if (startBit) {
        for (unsigned p = 0; p < chain.size(); ++p) {
            const uint32_t slotPolys[2] = {slotCrc(p, 0), slotCrc(p, 1)};
            unsigned bad = 0;
            if (m_faults.on(TBSIM_CRC_ERROR) && m_faults.arg(TBSIM_CRC_ERROR) % 8 == p)
                bad = m_faults.arg(TBSIM_CRC_ERROR) >= 8 ? 2 : 1;
            appendSensorFrame(chain[p]->sensor(), slotPolys, bad, bits);
        }
        cds = m_line.controlCycle(m_cdm);
    }
    if (m_faults.on(TBSIM_CDS_STUCK))
        cds = m_faults.arg(TBSIM_CDS_STUCK) != 0;
    m_cds = cds;
    m_cdmZeroCycles = m_cdm ? 0 : m_cdmZeroCycles + 1;

    // The master takes each active slot's words from the stream as its slot registers describe them.
    uint8_t valid1 = 0, valid2 = 0;
    bool all1 = true, all2 = true, anyWord2 = false;
    if (startBit) {
        size_t pos = 0;
        auto take = [&](unsigned count, std::vector<bool> &out, bool &missing) {
            out.clear();
            for (unsigned i = 0; i < count; ++i, ++pos) {
                missing = missing || pos >= bits.size();
                out.push_back(pos < bits.size() && bits[pos]);
            }
        };
        for (unsigned slot = 0; slot < kMaxSlaves; ++slot) {
            if (slotLength(slot, 0) == 0)
                continue;
            for (unsigned word = 0; word < 2; ++word) {
                const unsigned length = slotLength(slot, word);
                if (length == 0)
                    continue;
                const uint32_t polynomial = slotCrc(slot, word);
                std::vector<bool> data, crc;
                bool missing = false;
                take(length, data, missing);
                take(crcWidth(polynomial), crc, missing);
                uint32_t received = 0;
                for (const bool b : crc)
                    received = (received << 1) | (b ? 0 : 1); // sent complemented
                const bool ok = !missing && received == crcOf(data, polynomial);
                storeWord(slot, word, data, crc);
                if (word == 0) {
                    valid1 |= static_cast<uint8_t>(ok ? 1u << slot : 0);
                    all1 = all1 && ok;
                } else {
                    anyWord2 = true;
                    valid2 |= static_cast<uint8_t>(ok ? 1u << slot : 0);
                    all2 = all2 && ok;
                }
            }
        }
        for (Slave *slave : chain)
            advanceSensor(slave->sensor());
    }

    // Per-slot valid bits: the first word at the even bits, the second at the odd bits; slots 0..3
    // in 0xF1, 4..7 in 0xF2.
    uint8_t low = 0, high = 0;
    for (unsigned slot = 0; slot < kMaxSlaves; ++slot) {
        uint8_t &reg = slot < 4 ? low : high;
        const unsigned shift = 2 * (slot % 4);
        reg |=
            static_cast<uint8_t>((((valid1 >> slot) & 1) << shift) | (((valid2 >> slot) & 1) << (shift + 1)));
    }
    m_regs[kSlotValidLow] = low;
    m_regs[kSlotValidHigh] = high;
    m_status =
        startBit ? static_cast<uint8_t>(0x40 | (all1 ? 0x10 : 0) | (all2 ? 0x20 : 0) | (anyWord2 ? 0x02 : 0))
                 : 0;

    m_log.cycle(tbsim_cycle{m_number, m_command, static_cast<uint8_t>(m_cdm), static_cast<uint8_t>(m_cds),
                            static_cast<uint8_t>(startBit), m_status, valid1});
}

} // namespace tbsim
