#include "PulseCountText.h"

QString FormatPulseCount(uint32_t Count)
{
    QString digits = QString::number(Count);
    // Insert a separator before every complete group of three counted from the right.
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char('\''));
    return digits;
}

std::optional<uint32_t> ParsePulseCount(const QString &Text)
{
    uint64_t value = 0;
    bool any = false;
    for (const QChar c : Text.trimmed()) {
        if (c == QLatin1Char('\''))
            continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt; // "2048 +1" is no pulse count, not 20481
        any = true;
        value = value * 10 + static_cast<uint64_t>(c.unicode() - '0');
        if (value > UINT32_MAX)
            return std::nullopt; // a pasted run of digits must not wrap into some other pulse count
    }
    if (!any)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}
