#include "activity_log.h"

#include <algorithm>
#include <cstring>

namespace tbsim {

ActivityLog::ActivityLog()
{
    m_calls.reserve(4096);
    m_bytes.reserve(65536);
    m_master.reserve(4096);
}

void ActivityLog::clear()
{
    counters = tbsim_counters{};
    m_calls.clear();
    m_bytes.clear();
    m_master.clear();
    m_control.clear();
    m_port.clear();
    m_cycles.clear();
}

void ActivityLog::call(const char *name, const uint8_t *bytes, size_t size)
{
    if (m_calls.size() >= kMaxEntries)
        return;
    if (m_bytes.size() + size > kMaxBytes)
        size = 0;
    m_calls.push_back(Call{name, m_bytes.size(), size});
    if (size)
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
}

const char *ActivityLog::callName(size_t index) const
{
    return index < m_calls.size() ? m_calls[index].name : nullptr;
}

size_t ActivityLog::callBytes(size_t index, uint8_t *buffer, size_t size) const
{
    if (index >= m_calls.size())
        return 0;
    const Call &c = m_calls[index];
    if (buffer && c.size && size)
        std::memcpy(buffer, m_bytes.data() + c.offset, std::min(size, c.size));
    return c.size;
}

void ActivityLog::master(char op, uint8_t address, uint8_t value)
{
    if (m_master.size() < kMaxEntries)
        m_master.push_back(tbsim_master_access{op, address, value});
}

bool ActivityLog::masterAt(size_t index, tbsim_master_access &out) const
{
    if (index >= m_master.size())
        return false;
    out = m_master[index];
    return true;
}

void ActivityLog::control(std::string line)
{
    if (m_control.size() < kMaxEntries)
        m_control.push_back(std::move(line));
}

const char *ActivityLog::controlAt(size_t index) const
{
    return index < m_control.size() ? m_control[index].c_str() : nullptr;
}

void ActivityLog::port(char op, uint32_t port, uint8_t value, bool stray)
{
    if (op == 'W')
        ++counters.port_writes;
    else
        ++counters.port_reads;
    if (m_port.size() < kMaxEntries)
        m_port.push_back(tbsim_port_access{op, value, static_cast<uint8_t>(stray ? 1 : 0), port});
}

bool ActivityLog::portAt(size_t index, tbsim_port_access &out) const
{
    if (index >= m_port.size())
        return false;
    out = m_port[index];
    return true;
}

void ActivityLog::cycle(const tbsim_cycle &entry)
{
    if (m_cycles.size() < kMaxEntries)
        m_cycles.push_back(entry);
}

bool ActivityLog::cycleAt(size_t index, tbsim_cycle &out) const
{
    if (index >= m_cycles.size())
        return false;
    out = m_cycles[index];
    return true;
}

} // namespace tbsim
