// Pulse counts as the configuration window shows them: groups of three digits split by apostrophes.
#ifndef ROTACONF_PULSECOUNTTEXT_H
#define ROTACONF_PULSECOUNTTEXT_H

#include <QString>

#include <cstdint>
#include <optional>

// 0 -> "0", 2500 -> "2'500", 1000500 -> "1'000'500".
QString FormatPulseCount(uint32_t Count);

// Reads the digits of the text, in order, as one decimal number ("1'000'500" -> 1000500). No number
// when the text holds no digit or the digits exceed what a pulse count can hold (32 bits).
std::optional<uint32_t> ParsePulseCount(const QString &Text);

#endif
