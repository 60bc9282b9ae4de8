// Switchable faults of the simulated hardware: which are on, and the argument each one carries.
#ifndef TBSIM_FAULTS_H
#define TBSIM_FAULTS_H

#include "tarnbus_sim.h"

#include <array>
#include <cstdint>

namespace tbsim {

class Faults {
public:
    bool on(tbsim_fault f) const { return valid(f) && m_on[f]; }
    uint32_t arg(tbsim_fault f) const { return valid(f) ? m_arg[f] : 0; }
    void set(tbsim_fault f, bool on, uint32_t arg)
    {
        if (!valid(f))
            return;
        m_on[f] = on;
        m_arg[f] = arg;
    }
    // The write-failure fault counts down its allowance of successful writes.
    void setArg(tbsim_fault f, uint32_t arg)
    {
        if (valid(f))
            m_arg[f] = arg;
    }
    void clear() { *this = Faults(); }

    static bool valid(tbsim_fault f) { return f >= 0 && f < TBSIM_FAULT_COUNT; }

private:
    std::array<bool, TBSIM_FAULT_COUNT> m_on{};
    std::array<uint32_t, TBSIM_FAULT_COUNT> m_arg{};
};

} // namespace tbsim

#endif
