// The BiSS line behind the master chip: up to eight slaves in a chain, slave 0 being the encoder.
// The encoder faults decide who answers at position 0.
#ifndef TBSIM_BISS_LINE_H
#define TBSIM_BISS_LINE_H

#include "activity_log.h"
#include "encoder.h"
#include "faults.h"
#include "slave.h"

#include <array>
#include <memory>

namespace tbsim {

constexpr unsigned kMaxSlaves = 8;

class BissLine {
public:
    BissLine(const Faults &faults, ActivityLog &log) : m_faults(faults), m_log(log) {}

    void clear();
    void setSlave(unsigned position, std::unique_ptr<Slave> slave);
    // The other encoder that sits at position 0 while the replacement fault is on.
    void setReplacement(std::unique_ptr<Encoder> encoder) { m_replacement = std::move(encoder); }

    // The slave answering at a position now, or null when nothing answers there.
    Slave *answering(unsigned position);
    // The slave held at a position now (the replacement counts; absence faults do not).
    Slave *held(unsigned position);
    // Chain length: one past the last position that holds a slave.
    int count() const;

    // Power cycle of every slave on the line.
    void powerCycle();

    // One sensor cycle on the control channel: every slave that answers takes the CDM bit; the CDS
    // level the master sees is theirs together (a slave that is not addressed stays at 0). The
    // registers the slaves read out or commit go to the control log.
    bool controlCycle(bool cdm);
    // Every slave that answers is ready for a control frame; false when none answers.
    bool controlReady();

private:
    // The control-channel faults of the slave at a position (only the encoder at 0 has any).
    ControlFaults controlFaults(unsigned position) const;

    const Faults &m_faults;
    ActivityLog &m_log;
    std::array<std::unique_ptr<Slave>, kMaxSlaves> m_slaves;
    std::unique_ptr<Encoder> m_replacement;
};

} // namespace tbsim

#endif
