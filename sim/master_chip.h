// The BiSS master chip's register core: 256 byte registers, the instruction register, end of
// transmission, start-up, and register transfers (mode B) that it runs on the BiSS line by itself. Its
// front ends (the SPI link, the parallel port) decode their wires into register accesses here.
#ifndef TBSIM_MASTER_CHIP_H
#define TBSIM_MASTER_CHIP_H

#include "activity_log.h"
#include "biss_line.h"
#include "cycle_engine.h"
#include "faults.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace tbsim {

class MasterChip {
public:
    MasterChip(BissLine &line, const Faults &faults, ActivityLog &log);

    // Power-up: every register 0 except id and revision, idle, not started.
    void powerUp(int version, uint8_t id, uint8_t revision);
    int version() const { return m_version; }

    // A register as a read frame would show it, without the side effects of a read.
    uint8_t get(uint8_t address) const;
    // Sets a register behind the link's back (read-only registers included).
    void set(uint8_t address, uint8_t value);

    // One register access from a front end, with the side effects of the wire: a pending instruction
    // is shown or taken, the access is logged.
    uint8_t readAccess(uint8_t address);
    void writeAccess(uint8_t address, uint8_t value);
    // A front end finished one frame (one exchange with the chip): a running job comes one step
    // nearer its end.
    void frameEnded();
    // End of transmission: true while no job runs.
    bool eot() const;

    // Register layout by version.
    uint8_t instructionRegister() const { return m_version == 1 ? 0xE1 : 0xF4; }
    uint8_t statusRegister() const { return m_version == 1 ? 0xE0 : 0xF0; }
    uint8_t partialCountRegister() const { return m_version == 1 ? 0xE4 : 0xF3; }
    uint8_t windowStart() const { return m_version == 1 ? 0x40 : 0x80; }

    static constexpr uint8_t kEotRegister = 0xF0;
    static constexpr uint8_t kIdRegister = 0xEB;
    static constexpr uint8_t kRevisionRegister = 0xEA;
    static constexpr unsigned kWindowSize = 64;
    static constexpr uint8_t kAbort = 0x80;

private:
    enum class Job {
        None,
        StartUp,
        Transfer
    };

    void beforeAccess(bool read, uint8_t address);
    void takeInstruction();
    void startJob(Job job);
    void completeJob();
    // A job under TBSIM_MASTER_BUSY runs at least that long, however many frames pass.
    bool heldBusy() const;
    void runTransfer();
    bool readOnly(uint8_t address) const;

    BissLine &m_line;
    const Faults &m_faults;
    ActivityLog &m_log;

    int m_version = 2;
    std::array<uint8_t, 256> m_regs{};
    uint8_t m_id = 0, m_revision = 0;

    // Instruction written and not yet taken; shown once to a read before it is taken.
    bool m_instructionPending = false;
    bool m_instructionShown = false;

    // The running job, how many frames it still takes, and when it started.
    Job m_job = Job::None;
    unsigned m_busyFrames = 0;
    std::chrono::steady_clock::time_point m_jobStart;
    uint8_t m_jobAddress = 0, m_jobCount = 0, m_jobSlave = 0;
    bool m_jobWrite = false;

    // Sensor cycles; they leave their outcome in the data memory and the status registers.
    CycleEngine m_cycles{m_line, m_faults, m_log, m_regs};

    uint8_t m_status = 0;  // outcome bits of the last register transfer
    uint8_t m_partial = 0; // registers moved by the last transfer that broke off
    bool m_startedUp = false;
};

} // namespace tbsim

#endif
