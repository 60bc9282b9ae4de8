// The readable source of a catalogue:
//
//   # a comment line
//   version 1.0.0
//   article 58 "ROTA 58, programmable"
//   entry type=58 base=4096 pulses=1024 code=4 divider=4 listvalue=1024 listbyte=4
//
// "article" lines are the article-type texts, "entry" lines the configurations, each kept in the
// order written. Entry keys: type, base, pulses, code, divider (required) and listvalue, listbyte,
// spare1, spare2, spare3 (0 when left out). Numbers are decimal or 0x hexadecimal. Texts are UTF-8
// in double quotes with the escapes \" \\ and \xHH; every character must fit in 8 bits (Latin-1).
#ifndef ROTACONF_CATALOG_TEXT_H
#define ROTACONF_CATALOG_TEXT_H

#include "catalog_model.h"

#include <string>

namespace catalog {

// On failure returns false with "NAME:LINE: what is wrong" in error.
bool parse(const std::string &source, const std::string &name, Catalogue &cat, std::string &error);
// Every field of every record, so that parse(write(c)) gives c back.
std::string write(const Catalogue &cat);

} // namespace catalog

#endif
