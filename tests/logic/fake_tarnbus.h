// A stand-in for the library's seven flat functions: records every call and answers what the test
// scripted, so the binding can be checked without hardware or simulator.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace fake {

struct Call {
    std::string name;
    std::chrono::steady_clock::time_point when;
    std::vector<uint32_t> args;   // the plain arguments after the handle, in order (handle first)
    std::vector<uint8_t> data;    // bytes passed in (writes)
    std::string text;             // OpenInterface's name
    uint32_t count = 0;           // *pulCount on entry
    bool reserved = false;        // OpenInterface got both reserved pointers
};

struct Library {
    std::vector<Call> calls;
    std::deque<int32_t> results; // answers in order; 0 when empty
    uint32_t handle = 7;         // what OpenInterface hands out
    std::vector<uint8_t> registers = std::vector<uint8_t>(128, 0); // what reads deliver
    int32_t countChange = 0;     // added to *pulCount by ReadSlaveRegister

    int32_t next();
    std::vector<const Call *> named(const std::string &name) const;
};

Library &lib();
void reset();

} // namespace fake
