// The BiSS line behind the master chip: up to eight slaves in a chain, slave 0 being the encoder.
// The encoder faults decide who answers at position 0.
#ifndef TBSIM_BISS_LINE_H
#define TBSIM_BISS_LINE_H

#include "encoder.h"
#include "faults.h"
#include "slave.h"

#include <array>
#include <memory>

namespace tbsim {

constexpr unsigned kMaxSlaves = 8;

class BissLine {
public:
    explicit BissLine(const Faults &faults) : m_faults(faults) {}

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

private:
    const Faults &m_faults;
    std::array<std::unique_ptr<Slave>, kMaxSlaves> m_slaves;
    std::unique_ptr<Encoder> m_replacement;
};

} // namespace tbsim

#endif
