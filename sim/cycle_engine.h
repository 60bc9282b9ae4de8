// The master chip's sensor cycles: a command in the instruction register starts a cycle on the BiSS
// line, which lasts a number of register accesses set by the clock register; end of transmission is
// low meanwhile. The finished cycle leaves the slaves' data in the data memory (laid out as the chip
// version keeps it), the status bits, the per-slot valid bits and the slaves' CDS answer. Automatic
// cycles follow one another until stopped, and a hold freezes them while the data are read.
#ifndef TBSIM_CYCLE_ENGINE_H
#define TBSIM_CYCLE_ENGINE_H

#include "activity_log.h"
#include "biss_line.h"
#include "faults.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tbsim {

// What a value taken from the instruction register asks of the cycle engine.
struct CycleCommand {
    enum class Kind {
        None,      // not a cycle command
        Single,    // one cycle
        Automatic, // cycles one after the other until stopped
        Hold,      // automatic cycles pause, the data stay as they are
        SampleCds  // latch the CDS level; no cycle
    };
    Kind kind = Kind::None;
    bool cdm = false; // the control bit the cycle carries to the slaves
};

// The one place that maps instruction values to cycles and their CDM level.
CycleCommand decodeCycleCommand(int version, uint8_t value);

class CycleEngine {
public:
    CycleEngine(BissLine &line, const Faults &faults, ActivityLog &log, std::array<uint8_t, 256> &regs);

    void powerUp(int version);

    // An instruction the master has just taken; true when it belongs to the sensor cycles (it is then
    // carried out).
    bool instruction(uint8_t value);
    // 0 written to the instruction register: automatic cycles stop.
    void stopAutomatic();
    // The abort instruction: every cycle activity ends at once.
    void abort();
    // One register access went by: a running cycle comes one access nearer its end.
    void access();

    bool running() const { return m_running; }
    // Whether the status registers show a cycle's outcome (the last job was a cycle).
    bool showsCycle() const { return m_showsCycle; }
    void otherJobStarted() { m_showsCycle = false; }
    // Status bits of the last cycle (end of transmission not included): 0x40 start bit seen, 0x10
    // every first data word valid, 0x20 every second data word valid, 0x02 second words came.
    uint8_t status() const { return m_status; }
    // 0xF3: bit 7 the control channel is ready (14 cycles with CDM 0 in a row, and the slaves ready),
    // bit 6 the CDS level of the last cycle.
    uint8_t cdsRegister() const;

    static constexpr unsigned kReadyCycles = 14;

private:
    void start(CycleCommand command, uint8_t value);
    void finish();
    unsigned duration() const;
    unsigned slotLength(unsigned slot, unsigned word) const;
    uint32_t slotCrc(unsigned slot, unsigned word) const;
    void storeWord(unsigned slot, unsigned word, const std::vector<bool> &data, const std::vector<bool> &crc);

    BissLine &m_line;
    const Faults &m_faults;
    ActivityLog &m_log;
    std::array<uint8_t, 256> &m_regs;

    int m_version = 2;
    bool m_running = false;
    unsigned m_remaining = 0;
    bool m_automatic = false;
    bool m_held = false;
    bool m_cdm = false;
    uint8_t m_command = 0;
    bool m_showsCycle = false;
    uint8_t m_status = 0;
    bool m_cds = false;
    unsigned m_cdmZeroCycles = 0;
    uint32_t m_number = 0;
};

} // namespace tbsim

#endif
