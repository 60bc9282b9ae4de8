// Stand-in for the library's seven flat functions: records every call, answers what the test scripted.
#ifndef ROTACONF_TEST_FAKE_TARNBUS_H
#define ROTACONF_TEST_FAKE_TARNBUS_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace fake {

struct Call {
    std::string name;
    std::chrono::steady_clock::time_point when;
    std::vector<uint32_t> args; // handle first, then the plain arguments (mask last for writes)
    std::vector<uint8_t> data;  // bytes written
    std::string text;           // OpenInterface's name
    uint32_t count = 0;         // *pulCount on entry
};

struct Library {
    std::vector<Call> calls;
    std::deque<int32_t> results; // answers in order; 0 once empty
    std::vector<uint8_t> registers = std::vector<uint8_t>(128, 0);
    int32_t countChange = 0; // added to *pulCount by reads
    uint32_t slaves = 1;     // GetMasterConfig's answer for every item
    uint32_t sample = 0;     // ReadSensBlock: a stored cycle gives slave s 100 * sample + s, then sample + 1
    uint32_t mcdSlaves = 1;  // ReadSensBlock: slaves (bit mask) with a valid second word, 1000 * sample + s
    uint32_t doneOnFailure = 0; // ReadSensBlock: the cycles a failing block stores
    std::vector<const Call *> named(const std::string &name) const;
};

Library &lib(); // reset with lib() = {}

} // namespace fake

#endif
