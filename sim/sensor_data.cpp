#include "sensor_data.h"

#include "crc.h"

namespace tbsim {

SensorData defaultSensorData()
{
    SensorData data;
    data.words[0] = SensorWord{10, 100, 3, kCrcFromSlot};
    data.words[1] = SensorWord{24, 5000, 1, kCrcFromSlot};
    return data;
}

uint64_t lowBits(uint64_t value, unsigned length)
{
    return length >= 64 ? value : value & ((uint64_t(1) << length) - 1);
}

void appendSensorFrame(const SensorData &data, const uint32_t slotCrc[2], unsigned badCrc,
                       std::vector<bool> &bits)
{
    for (unsigned w = 0; w < 2; ++w) {
        const SensorWord &word = data.words[w];
        if (word.length == 0)
            continue;
        std::vector<bool> wordBits;
        for (unsigned i = word.length; i-- > 0;)
            wordBits.push_back((word.value >> i) & 1);
        const uint32_t polynomial = word.crc == kCrcFromSlot ? slotCrc[w] : word.crc;
        uint32_t crc = crcOf(wordBits, polynomial);
        if (badCrc & (1u << w))
            crc ^= 1; // one bit flipped on the way
        bits.insert(bits.end(), wordBits.begin(), wordBits.end());
        for (unsigned i = crcWidth(polynomial); i-- > 0;)
            bits.push_back(!((crc >> i) & 1));
    }
}

void advanceSensor(SensorData &data)
{
    for (SensorWord &word : data.words)
        word.value = lowBits(word.value + word.step, word.length);
}

} // namespace tbsim
