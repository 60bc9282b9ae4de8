// The tbsim_* control interface used by tests and by the program's simulate mode.
#include "tarnbus_sim.h"
#include "world.h"

using tbsim::World;
using tbsim::world;

// After the world has gone (late calls at exit) every call does nothing and reports nothing.

extern "C" {

void tbsim_reset(void)
{
    if (World *w = world())
        w->resetFromEnvironment();
}

void tbsim_reset_default(void)
{
    if (World *w = world()) {
        w->apply(tbsim::defaultScenario());
        w->lastError.clear();
    }
}

int tbsim_load_scenario(const char *path)
{
    World *live = world();
    if (!live)
        return -1;
    World &w = *live;
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
    const World *w = world();
    return w ? w->lastError.c_str() : "";
}

void tbsim_set_fault(tbsim_fault fault, int on, uint32_t arg)
{
    if (World *w = world())
        w->faults.set(fault, on != 0, arg);
}

void tbsim_set_master(int version, uint8_t id, uint8_t revision)
{
    if (World *w = world()) {
        w->master.powerUp(version, id, revision);
        w->masterSpi.reset();
    }
}

void tbsim_device_timeouts(uint32_t *read_ms, uint32_t *write_ms)
{
    const World *w = world();
    if (read_ms)
        *read_ms = w ? w->device.readTimeout : 0;
    if (write_ms)
        *write_ms = w ? w->device.writeTimeout : 0;
}

void tbsim_device_state_get(tbsim_device_state *out)
{
    if (!out)
        return;
    const World *w = world();
    out->present = w && !w->faults.on(TBSIM_ADAPTER_ABSENT) && !w->faults.on(TBSIM_ADAPTER_UNPLUGGED);
    out->clocks = w ? w->mpsse.clocks() : 0;
    out->send_immediate = w ? w->mpsse.sendImmediates() : 0;
    out->divisor = w ? w->mpsse.divisor() : 0;
}

uint8_t tbsim_master_get(uint8_t address)
{
    const World *w = world();
    return w ? w->master.get(address) : 0;
}

void tbsim_master_set(uint8_t address, uint8_t value)
{
    if (World *w = world())
        w->master.set(address, value);
}

int tbsim_slave_count(void)
{
    const World *w = world();
    return w ? w->line.count() : 0;
}

uint8_t tbsim_slave_get(unsigned slave, unsigned address)
{
    World *w = world();
    tbsim::Slave *s = w ? w->line.held(slave) : nullptr;
    return s && address < tbsim::kSlaveRegisters ? s->peek(address) : 0;
}

void tbsim_slave_set(unsigned slave, unsigned address, uint8_t value)
{
    World *w = world();
    tbsim::Slave *s = w ? w->line.held(slave) : nullptr;
    if (s && address < tbsim::kSlaveRegisters)
        s->poke(address, value);
}

void tbsim_slave_sensor_set(unsigned slave, unsigned word, unsigned length, uint64_t value, uint64_t step,
                            uint32_t crc)
{
    World *w = world();
    tbsim::Slave *s = w ? w->line.held(slave) : nullptr;
    if (!s || word > 1 || length > 64)
        return;
    s->sensor().words[word] = tbsim::SensorWord{length, tbsim::lowBits(value, length), step, crc};
}

uint64_t tbsim_slave_sensor_value(unsigned slave, unsigned word)
{
    World *w = world();
    const tbsim::Slave *s = w ? w->line.held(slave) : nullptr;
    return s && word <= 1 ? s->sensor().words[word].value : 0;
}

void tbsim_encoder_power_cycle(void)
{
    if (World *w = world())
        w->line.powerCycle();
}

void tbsim_get_counters(tbsim_counters *out)
{
    const World *w = world();
    if (out)
        *out = w ? w->log.counters : tbsim_counters{};
}

size_t tbsim_call_count(void)
{
    const World *w = world();
    return w ? w->log.callCount() : 0;
}

const char *tbsim_call_name(size_t index)
{
    const World *w = world();
    return w ? w->log.callName(index) : nullptr;
}

size_t tbsim_call_bytes(size_t index, uint8_t *buffer, size_t size)
{
    const World *w = world();
    return w ? w->log.callBytes(index, buffer, size) : 0;
}

size_t tbsim_master_log_count(void)
{
    const World *w = world();
    return w ? w->log.masterCount() : 0;
}

int tbsim_master_log_get(size_t index, tbsim_master_access *out)
{
    const World *w = world();
    if (!out || !w)
        return -1;
    return w->log.masterAt(index, *out) ? 0 : -1;
}

size_t tbsim_control_log_count(void)
{
    const World *w = world();
    return w ? w->log.controlCount() : 0;
}

const char *tbsim_control_log_get(size_t index)
{
    const World *w = world();
    return w ? w->log.controlAt(index) : nullptr;
}

size_t tbsim_cycle_log_count(void)
{
    const World *w = world();
    return w ? w->log.cycleCount() : 0;
}

int tbsim_cycle_log_get(size_t index, tbsim_cycle *out)
{
    const World *w = world();
    if (!out || !w)
        return -1;
    return w->log.cycleAt(index, *out) ? 0 : -1;
}

void tbsim_clear_logs(void)
{
    if (World *w = world())
        w->log.clear();
}

void tbsim_set_port(uint32_t base, int wiring)
{
    if (World *w = world())
        w->port.powerUp(base, wiring);
}

size_t tbsim_port_log_count(void)
{
    const World *w = world();
    return w ? w->log.portCount() : 0;
}

int tbsim_port_log_get(size_t index, tbsim_port_access *out)
{
    const World *w = world();
    if (!out || !w)
        return -1;
    return w->log.portAt(index, *out) ? 0 : -1;
}

} // extern "C"
