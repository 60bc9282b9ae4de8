// The tbsim_* control interface used by tests and by the program's simulate mode.
#include "tarnbus_sim.h"
#include "world.h"

using tbsim::world;

extern "C" {

void tbsim_reset(void)
{
    world().resetFromEnvironment();
}

void tbsim_reset_default(void)
{
    auto &w = world();
    w.apply(tbsim::defaultScenario());
    w.lastError.clear();
}

int tbsim_load_scenario(const char *path)
{
    auto &w = world();
    if (!path || !*path) {
        w.lastError = "no scenario file named";
        return -1;
    }
    tbsim::Scenario sc;
    std::string error;
    if (!tbsim::readScenarioFile(path, sc, error)) {
        w.lastError = error;
        return -1;
    }
    if (!w.apply(sc))
        return -1;
    w.lastError.clear();
    return 0;
}

const char *tbsim_last_error(void)
{
    return world().lastError.c_str();
}

void tbsim_set_fault(tbsim_fault fault, int on, uint32_t arg)
{
    world().faults.set(fault, on != 0, arg);
}

void tbsim_set_master(int version, uint8_t id, uint8_t revision)
{
    world().master.powerUp(version, id, revision);
}

uint8_t tbsim_master_get(uint8_t address)
{
    return world().master.get(address);
}

void tbsim_master_set(uint8_t address, uint8_t value)
{
    world().master.set(address, value);
}

int tbsim_slave_count(void)
{
    return world().line.count();
}

uint8_t tbsim_slave_get(unsigned slave, unsigned address)
{
    tbsim::Slave *s = world().line.held(slave);
    return s && address < tbsim::kSlaveRegisters ? s->peek(address) : 0;
}

void tbsim_slave_set(unsigned slave, unsigned address, uint8_t value)
{
    tbsim::Slave *s = world().line.held(slave);
    if (s && address < tbsim::kSlaveRegisters)
        s->poke(address, value);
}

void tbsim_encoder_power_cycle(void)
{
    world().line.powerCycle();
}

void tbsim_get_counters(tbsim_counters *out)
{
    if (out)
        *out = world().log.counters;
}

size_t tbsim_call_count(void)
{
    return world().log.callCount();
}

const char *tbsim_call_name(size_t index)
{
    return world().log.callName(index);
}

size_t tbsim_call_bytes(size_t index, uint8_t *buffer, size_t size)
{
    return world().log.callBytes(index, buffer, size);
}

size_t tbsim_master_log_count(void)
{
    return world().log.masterCount();
}

int tbsim_master_log_get(size_t index, tbsim_master_access *out)
{
    if (!out)
        return -1;
    return world().log.masterAt(index, *out) ? 0 : -1;
}

void tbsim_clear_logs(void)
{
    world().log.clear();
}

} // extern "C"
