#include "biss_line.h"

#include <string>

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
    if (m_faults.on(TBSIM_SLAVE_ABSENT) && m_faults.arg(TBSIM_SLAVE_ABSENT) == position)
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

ControlFaults BissLine::controlFaults(unsigned position) const
{
    ControlFaults f;
    if (position != 0)
        return f;
    if (m_faults.on(TBSIM_CONTROL_START_DELAY))
        f.startDelay = m_faults.arg(TBSIM_CONTROL_START_DELAY);
    f.badCrc = m_faults.on(TBSIM_CONTROL_BAD_CRC);
    if (m_faults.on(TBSIM_CONTROL_CDS_FLIP))
        f.flipCycle = int(m_faults.arg(TBSIM_CONTROL_CDS_FLIP));
    f.neverReady = m_faults.on(TBSIM_CONTROL_NEVER_READY);
    if (m_faults.on(TBSIM_CONTROL_FOREIGN_ID))
        f.foreignId = int(m_faults.arg(TBSIM_CONTROL_FOREIGN_ID) & 7);
    return f;
}

bool BissLine::controlCycle(bool cdm)
{
    bool cds = false;
    for (unsigned position = 0; position < kMaxSlaves; ++position) {
        Slave *slave = answering(position);
        if (!slave)
            continue;
        ControlChannel &channel = slave->control();
        channel.setId(position);
        channel.setFaults(controlFaults(position));
        cds = channel.cycle(*slave, cdm) || cds;
        for (const std::string &line : channel.takeEvents())
            m_log.control("slave " + std::to_string(position) + " " + line);
    }
    return cds;
}

bool BissLine::controlReady()
{
    bool any = false;
    for (unsigned position = 0; position < kMaxSlaves; ++position) {
        Slave *slave = answering(position);
        if (!slave)
            continue;
        slave->control().setFaults(controlFaults(position));
        if (!slave->control().ready())
            return false;
        any = true;
    }
    return any;
}

} // namespace tbsim
