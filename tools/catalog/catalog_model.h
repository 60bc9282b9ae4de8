// The catalogue as the tool holds it: everything "Encoder.cfg" stores, in file order.
#ifndef ROTACONF_CATALOG_MODEL_H
#define ROTACONF_CATALOG_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

namespace catalog {

struct Article {
    int32_t id = 0;
    std::string text; // 8-bit characters (Latin-1), as stored in the file
};

struct Entry {
    int32_t artType = 0;
    uint32_t baseCount = 0;
    uint32_t pulseCount = 0;
    int16_t interpolCode = 0;
    int16_t divider = 0;
    int32_t spare1 = 0;
    int32_t spare2 = 0;
    uint32_t listValue = 0;
    int64_t spare3 = 0;
    uint8_t listByte = 0;
};

struct Catalogue {
    uint8_t major = 1, minor = 0, patch = 0;
    std::vector<Article> articles;
    std::vector<Entry> entries;
};

// Largest values the program can use: a 5-bit code and a 15-bit divider.
constexpr int kCodeLimit = 32;
constexpr int kDividerLimit = 1 << 15;

} // namespace catalog

#endif
