#include "world.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tbsim {

World::World()
{
    resetFromEnvironment();
}

namespace {
// A plain flag outlives the world: it tells late callers that the world has gone.
bool worldGone = false;

struct WorldHolder {
    World world;
    ~WorldHolder() { worldGone = true; }
};
} // namespace

World *world()
{
    // Destroyed like any static object, at exit or when the library is unloaded, so nothing it holds
    // is left behind.
    if (worldGone)
        return nullptr;
    static WorldHolder holder;
    return &holder.world;
}

namespace {
// The scenario named in the environment is read when the library is loaded, so a bad file is
// reported before the first device call.
__attribute__((constructor)) void loadScenarioAtStart()
{
    world();
}
} // namespace

bool World::apply(const Scenario &sc)
{
    // Build the slaves first: the only step that can fail.
    std::unique_ptr<Slave> slaves[kMaxSlaves];
    std::unique_ptr<Encoder> replacement;
    for (unsigned i = 0; i < kMaxSlaves; ++i) {
        const SlaveSpec &def = sc.slaves[i];
        if (def.kind == SlaveSpec::Kind::Absent)
            continue;
        std::unique_ptr<Slave> s;
        if (def.kind == SlaveSpec::Kind::Encoder) {
            auto enc = std::make_unique<Encoder>();
            for (unsigned a = 0; a < kSlaveRegisters; ++a)
                enc->poke(a, def.regs[a]);
            if (i == 0) {
                // The other encoder of the same type: a copy with its own serial number.
                replacement = std::make_unique<Encoder>(*enc);
                for (unsigned k = 0; k < kSerialSize; ++k)
                    replacement->poke(kSerialFirst + k,
                                      k < sc.replacementSerial.size() ? uint8_t(sc.replacementSerial[k]) : 0);
                replacement->powerCycle();
                enc->setEepromFile(sc.eepromFile);
                std::string error;
                if (!enc->loadEepromFile(error)) {
                    lastError = error;
                    return false;
                }
            }
            enc->powerCycle();
            s = std::move(enc);
        } else {
            s = std::make_unique<Slave>();
            for (unsigned a = 0; a < kSlaveRegisters; ++a)
                s->poke(a, def.regs[a]);
        }
        s->sensor() = def.sensor;
        for (SensorWord &word : s->sensor().words)
            word.value = lowBits(word.value, word.length);
        slaves[i] = std::move(s);
    }

    scenario = sc;
    faults = sc.faults;
    line.clear();
    for (unsigned i = 0; i < kMaxSlaves; ++i)
        line.setSlave(i, std::move(slaves[i]));
    line.setReplacement(std::move(replacement));
    master.powerUp(sc.masterVersion, sc.masterId, sc.masterRevision);
    masterSpi.reset();
    port.powerUp(sc.portBase, sc.portWiring);
    device.open = false;
    device.handle = 0;
    device.lateAnswer.clear();
    mpsse.reset();
    log.clear();
    return true;
}

void World::resetFromEnvironment()
{
    const char *path = std::getenv("TARNBUS_SIM_SCENARIO");
    if (path && *path) {
        Scenario sc;
        std::string error;
        if (readScenarioFile(path, sc, error) && apply(sc)) {
            lastError.clear();
            return;
        }
        if (!error.empty())
            lastError = error;
        // Running another world than the one asked for would hide the mistake (a mistyped EEPROM file
        // silently loses what is written): the simulated adapter stays away instead.
        std::fprintf(stderr, "libftd2xx-sim: %s; the simulated adapter is not started\n", lastError.c_str());
        apply(defaultScenario());
        faults.set(TBSIM_ADAPTER_ABSENT, true, 0);
        return;
    }
    apply(defaultScenario());
    lastError.clear();
}

} // namespace tbsim
