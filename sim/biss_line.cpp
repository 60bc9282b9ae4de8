#include "biss_line.h"

namespace tbsim {

void BissLine::clear()
{
    for (auto &s : m_slaves)
        s.reset();
    m_replacement.reset();
}

void BissLine::setSlave(unsigned position, std::unique_ptr<Slave> slave)
{
    if (position < kMaxSlaves)
        m_slaves[position] = std::move(slave);
}

Slave *BissLine::held(unsigned position)
{
    if (position >= kMaxSlaves)
        return nullptr;
    if (position == 0 && m_faults.on(TBSIM_ENCODER_REPLACED) && m_replacement)
        return m_replacement.get();
    return m_slaves[position].get();
}

Slave *BissLine::answering(unsigned position)
{
    if (position == 0 && m_faults.on(TBSIM_ENCODER_ABSENT))
        return nullptr;
    return held(position);
}

int BissLine::count() const
{
    for (int i = kMaxSlaves; i > 0; --i)
        if (m_slaves[i - 1])
            return i;
    return 0;
}

void BissLine::powerCycle()
{
    for (auto &s : m_slaves)
        if (s)
            s->powerCycle();
    if (m_replacement)
        m_replacement->powerCycle();
}

} // namespace tbsim
