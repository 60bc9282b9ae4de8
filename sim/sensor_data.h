// What a slave answers a sensor cycle with: up to two data words, each sent most significant bit
// first and followed by its CRC, complemented. The values move on by a step after every cycle the
// slave answers, so a record that is read twice or a cycle that is lost shows in the values.
#ifndef TBSIM_SENSOR_DATA_H
#define TBSIM_SENSOR_DATA_H

#include <cstdint>
#include <vector>

namespace tbsim {

// The CRC polynomial of a word follows the master's slot register unless the scenario names one.
constexpr uint32_t kCrcFromSlot = UINT32_MAX;

struct SensorWord {
    unsigned length = 0;         // bits, 0..64; 0 = the slave sends no such word
    uint64_t value = 0;          // the value sent in the next cycle (its low `length` bits)
    uint64_t step = 0;           // added after every cycle
    uint32_t crc = kCrcFromSlot; // polynomial with its x^0 term (0x43 = x^6 + x + 1), 0 = none
};

struct SensorData {
    SensorWord words[2];
};

// The sensor data every slave starts with: a 10-bit first word and a 24-bit second word, both moving.
SensorData defaultSensorData();

// Appends the slave's answer to one cycle. slotCrc: the polynomials the master's slot registers hold,
// used by words that follow them. badCrc: words (bit 0 first, bit 1 second) sent with a wrong CRC.
void appendSensorFrame(const SensorData &data, const uint32_t slotCrc[2], unsigned badCrc,
                       std::vector<bool> &bits);

// After a cycle the slave answered: every word moves on by its step.
void advanceSensor(SensorData &data);

// The low `length` bits of a value.
uint64_t lowBits(uint64_t value, unsigned length);

} // namespace tbsim

#endif
