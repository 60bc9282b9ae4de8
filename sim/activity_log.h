// What the simulated device was asked to do: call counters, the D2XX call log with the bytes that
// crossed, and the register accesses the master chip took.
#ifndef TBSIM_ACTIVITY_LOG_H
#define TBSIM_ACTIVITY_LOG_H

#include "tarnbus_sim.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tbsim {

class ActivityLog {
public:
    ActivityLog();

    void clear();

    tbsim_counters counters{};

    // name must be a string literal (the log keeps the pointer).
    void call(const char *name, const uint8_t *bytes = nullptr, size_t size = 0);
    size_t callCount() const { return m_calls.size(); }
    const char *callName(size_t index) const;
    size_t callBytes(size_t index, uint8_t *buffer, size_t size) const;

    void master(char op, uint8_t address, uint8_t value);
    size_t masterCount() const { return m_master.size(); }
    bool masterAt(size_t index, tbsim_master_access &out) const;

    // What the slaves' control channels did: one line per register read out or committed.
    void control(std::string line);
    size_t controlCount() const { return m_control.size(); }
    const char *controlAt(size_t index) const;
    void port(char op, uint32_t port, uint8_t value, bool stray);
    size_t portCount() const { return m_port.size(); }
    bool portAt(size_t index, tbsim_port_access &out) const;
    void cycle(const tbsim_cycle &entry);
    size_t cycleCount() const { return m_cycles.size(); }
    bool cycleAt(size_t index, tbsim_cycle &out) const;

private:
    struct Call {
        const char *name;
        size_t offset;
        size_t size;
    };
    // Long benchmark runs must not eat the memory: past these limits entries are no longer kept
    // (the counters go on counting).
    static constexpr size_t kMaxEntries = size_t(1) << 22;
    static constexpr size_t kMaxBytes = size_t(1) << 26;

    std::vector<Call> m_calls;
    std::vector<uint8_t> m_bytes;
    std::vector<tbsim_master_access> m_master;
    std::vector<std::string> m_control;
    std::vector<tbsim_port_access> m_port;
    std::vector<tbsim_cycle> m_cycles;
};

} // namespace tbsim

#endif
