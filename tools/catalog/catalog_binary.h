// "Encoder.cfg" bytes <-> the catalogue.
#ifndef ROTACONF_CATALOG_BINARY_H
#define ROTACONF_CATALOG_BINARY_H

#include "catalog_model.h"

#include <string>
#include <vector>

namespace catalog {

std::vector<uint8_t> encode(const Catalogue &cat);

// Reads a whole file image. On failure returns false with a message in error. Bytes after the last
// entry are allowed and counted in trailing.
bool decode(const std::vector<uint8_t> &bytes, Catalogue &cat, size_t &trailing, std::string &error);

} // namespace catalog

#endif
