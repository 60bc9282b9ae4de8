#include "master_chip.h"

#include <algorithm>

namespace tbsim {

namespace {

// Frames a job keeps the master busy, counting the frame that started it: end of transmission
// stays clear for the next two polls.
constexpr unsigned kJobFrames = 3;

// Outcome bits of a register transfer in the status register.
struct StatusBits {
    uint8_t done, brokeOff, noAnswer;
};
constexpr StatusBits kStatusV1{0x06, 0x02, 0x04};
constexpr StatusBits kStatusV2{0x08, 0x00, 0x40};
constexpr uint8_t kStatusMaskV1 = 0x06;
constexpr uint8_t kStatusMaskV2 = 0x48;
constexpr uint8_t kStartedV1 = 0x80; // 0xE0 bit 7
constexpr uint8_t kStartedV2 = 0x01; // 0xF8 bit 0
constexpr uint8_t kStartUpRegisterV2 = 0xF8;
constexpr uint8_t kCdsRegister = 0xF3;
constexpr uint8_t kCycleValidV1 = 0x04; // 0xE0 bit 2
constexpr uint8_t kReadyV1 = 0x40;      // 0xE0 bit 6

} // namespace

MasterChip::MasterChip(BissLine &line, const Faults &faults, ActivityLog &log)
    : m_line(line), m_faults(faults), m_log(log)
{}

void MasterChip::powerUp(int version, uint8_t id, uint8_t revision)
{
    m_version = version == 1 ? 1 : 2;
    m_regs.fill(0);
    m_id = id;
    m_revision = revision;
    m_instructionPending = m_instructionShown = false;
    m_job = Job::None;
    m_busyFrames = 0;
    m_status = m_partial = 0;
    m_startedUp = false;
    m_cycles.powerUp(m_version);
}

bool MasterChip::eot() const
{
    return m_job == Job::None && !m_cycles.running() && !m_faults.on(TBSIM_NO_EOT);
}

bool MasterChip::readOnly(uint8_t address) const
{
    return address == kIdRegister || address == kRevisionRegister || address == kEotRegister ||
           address == statusRegister() || address == partialCountRegister() ||
           (m_version == 2 && address == kStartUpRegisterV2);
}

uint8_t MasterChip::get(uint8_t address) const
{
    if (address == kIdRegister)
        return m_id;
    if (address == kRevisionRegister)
        return m_revision;
    // After a sensor cycle 0xF0 and 0xF3 show its outcome on both versions.
    const bool cycle = m_cycles.showsCycle();
    if (address == kEotRegister) {
        uint8_t outcome = m_version == 2 ? m_status : 0;
        if (cycle)
            outcome = m_cycles.status();
        return static_cast<uint8_t>(outcome | (eot() ? 1 : 0));
    }
    if (address == kCdsRegister && (cycle || m_version == 1))
        return m_cycles.cdsRegister();
    if (m_version == 2) {
        if (address == kStartUpRegisterV2)
            return m_startedUp ? kStartedV2 : 0;
    } else if (address == statusRegister()) {
        // Version 1: bit 6 ready for a command and bit 0 end of transmission, bit 2 the last cycle
        // valid.
        const uint8_t outcome = cycle ? ((m_cycles.status() & 0x40) ? kCycleValidV1 : 0) : m_status;
        return static_cast<uint8_t>(outcome | (m_startedUp ? kStartedV1 : 0) | (eot() ? kReadyV1 | 1 : 0));
    }
    if (address == partialCountRegister())
        return m_partial;
    return m_regs[address];
}

void MasterChip::set(uint8_t address, uint8_t value)
{
    const uint8_t statusMask = m_version == 1 ? kStatusMaskV1 : kStatusMaskV2;
    if (address == kIdRegister)
        m_id = value;
    else if (address == kRevisionRegister)
        m_revision = value;
    else if (address == partialCountRegister())
        m_partial = value;
    else if (m_version == 2 && address == kStartUpRegisterV2)
        m_startedUp = value & kStartedV2;
    else if (m_version == 1 && address == statusRegister()) {
        m_status = value & statusMask;
        m_startedUp = value & kStartedV1;
    } else if (m_version == 2 && address == kEotRegister)
        m_status = value & statusMask;
    else if (address == kEotRegister)
        ; // end of transmission is the master's own state
    else {
        m_regs[address] = value;
        if (address == instructionRegister()) {
            m_instructionPending = value != 0;
            m_instructionShown = false;
        }
    }
}

// An instruction is shown to the first read of the instruction register and taken before any
// other access, so a poller always sees it pending once.
void MasterChip::beforeAccess(bool read, uint8_t address)
{
    if (!m_instructionPending || m_faults.on(TBSIM_INSTRUCTION_NOT_TAKEN))
        return;
    if (read && address == instructionRegister() && !m_instructionShown) {
        m_instructionShown = true;
        return;
    }
    takeInstruction();
}

uint8_t MasterChip::readAccess(uint8_t address)
{
    m_cycles.access();
    beforeAccess(true, address);
    const uint8_t value = get(address);
    m_log.master('R', address, value);
    return value;
}

void MasterChip::writeAccess(uint8_t address, uint8_t value)
{
    m_cycles.access();
    beforeAccess(false, address);
    m_log.master('W', address, value);
    if (readOnly(address))
        return;
    m_regs[address] = value;
    if (address == instructionRegister()) {
        m_instructionPending = value != 0;
        m_instructionShown = false;
        if (value == 0)
            m_cycles.stopAutomatic();
    }
}

void MasterChip::takeInstruction()
{
    const uint8_t reg = instructionRegister();
    const uint8_t instruction = m_regs[reg];
    m_regs[reg] = 0;
    m_instructionPending = m_instructionShown = false;

    const uint8_t startUp = m_version == 1 ? 0x08 : 0x10;
    const uint8_t transfer = m_version == 1 ? 0x04 : 0x08;
    if (instruction & kAbort) {
        m_job = Job::None;
        m_busyFrames = 0;
        m_cycles.abort();
    } else if (m_cycles.instruction(instruction)) {
        // a sensor cycle command
    } else if (instruction & startUp) {
        startJob(Job::StartUp);
    } else if (instruction & transfer) {
        startJob(Job::Transfer);
    }
    // Any other instruction is taken and does nothing.
}

void MasterChip::startJob(Job job)
{
    m_cycles.otherJobStarted();
    m_job = job;
    m_busyFrames = kJobFrames;
    m_jobStart = std::chrono::steady_clock::now();
    if (job == Job::StartUp) {
        m_startedUp = false;
        return;
    }
    // A register transfer takes its parameters when it starts.
    m_jobCount = static_cast<uint8_t>((m_regs[0xE3] & 0x7F) + 1);
    m_jobAddress = m_regs[0xE2] & 0x7F;
    m_jobWrite = m_regs[0xE2] & 0x80;
    m_jobSlave = (m_regs[0xE5] >> 3) & 7;
    m_status = 0;
    m_partial = 0;
}

void MasterChip::frameEnded()
{
    if (m_job == Job::None || m_faults.on(TBSIM_NO_EOT))
        return;
    if (m_busyFrames > 0)
        --m_busyFrames;
    if (m_busyFrames == 0 && !heldBusy())
        completeJob();
}

bool MasterChip::heldBusy() const
{
    if (!m_faults.on(TBSIM_MASTER_BUSY))
        return false;
    const auto busy = std::chrono::milliseconds(m_faults.arg(TBSIM_MASTER_BUSY));
    return std::chrono::steady_clock::now() - m_jobStart < busy;
}

void MasterChip::completeJob()
{
    const Job job = m_job;
    m_job = Job::None;
    if (job == Job::StartUp)
        m_startedUp = true;
    else if (job == Job::Transfer)
        runTransfer();
}

void MasterChip::runTransfer()
{
    const StatusBits bits = m_version == 1 ? kStatusV1 : kStatusV2;
    Slave *slave = m_line.answering(m_jobSlave);
    if (!slave) {
        m_status = bits.noAnswer;
        m_partial = 0;
        return;
    }
    // The data window holds 64 registers; a longer transfer breaks off when it is full.
    unsigned moved = std::min<unsigned>(m_jobCount, kWindowSize);
    if (m_faults.on(TBSIM_SHORT_TRANSFER))
        moved = std::min<unsigned>(moved, m_faults.arg(TBSIM_SHORT_TRANSFER));
    const uint8_t window = windowStart();
    for (unsigned i = 0; i < moved; ++i) {
        const unsigned address = (m_jobAddress + i) & 0x7F;
        if (m_jobWrite)
            slave->writeRegister(address, m_regs[window + i]);
        else
            m_regs[window + i] = slave->readRegister(address);
    }
    m_partial = static_cast<uint8_t>(moved);
    m_status = moved == m_jobCount ? bits.done : bits.brokeOff;
}

} // namespace tbsim
