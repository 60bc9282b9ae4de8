// Pulse counts as the program writes and reads them: groups of three digits split by apostrophes.
// The configuration window and the command line share these, so a count reads the same in both.
#ifndef ROTACONF_PULSECOUNTTEXT_H
#define ROTACONF_PULSECOUNTTEXT_H

#include <QString>

#include <cstdint>
#include <optional>

// 0 -> "0", 2500 -> "2'500", 1000500 -> "1'000'500".
QString FormatPulseCount(uint32_t Count);

// Reads a decimal pulse count written with or without apostrophes ("2'048", "2048"); blanks around it
// are ignored (" 2048"). No number when the text holds anything else ("2048 +1", "-5"), no digit at
// all, or more than a pulse count can hold (32 bits).
std::optional<uint32_t> ParsePulseCount(const QString &Text);

#endif
