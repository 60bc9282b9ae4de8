#include "text_util.h"

#include <cctype>
#include <charconv>

namespace tbsim {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool parseNumber(std::string_view s, uint32_t max, uint32_t &out)
{
    s = trim(s);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B')) {
        base = 2;
        s.remove_prefix(2);
    }
    if (s.empty())
        return false;
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (ec != std::errc() || end != s.data() + s.size() || value > max)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool parseHexBytes(std::string_view s, std::vector<uint8_t> &out)
{
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j])) && s[j] != ',')
            ++j;
        std::string_view token = s.substr(i, j - i);
        if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
            token.remove_prefix(2);
        unsigned value = 0;
        auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value, 16);
        if (token.empty() || token.size() > 2 || ec != std::errc() || end != token.data() + token.size())
            return false;
        out.push_back(static_cast<uint8_t>(value));
        i = j;
    }
    return true;
}

} // namespace tbsim
