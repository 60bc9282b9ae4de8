#include "catalog_text.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <map>
#include <sstream>

namespace catalog {
namespace {

struct Cursor {
    const std::string &line;
    size_t pos = 0;
    void skipBlanks()
    {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r'))
            ++pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return pos >= line.size();
    }
    std::string word()
    {
        skipBlanks();
        const size_t start = pos;
        while (pos < line.size() && !std::isspace(static_cast<unsigned char>(line[pos])))
            ++pos;
        return line.substr(start, pos - start);
    }
};

bool parseNumber(const std::string &text, int64_t low, int64_t high, int64_t &value, std::string &why)
{
    std::string digits = text;
    bool negative = false;
    if (!digits.empty() && digits[0] == '-') {
        negative = true;
        digits.erase(0, 1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.erase(0, 2);
    }
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
        why = "\"" + text + "\" is not a number";
        return false;
    }
    constexpr uint64_t negLimit = uint64_t(std::numeric_limits<int64_t>::max()) + 1;
    if ((negative && magnitude > negLimit) ||
        (!negative && magnitude > uint64_t(std::numeric_limits<int64_t>::max()))) {
        why = text + " is out of range " + std::to_string(low) + ".." + std::to_string(high);
        return false;
    }
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    if (value < low || value > high) {
        why = text + " is out of range " + std::to_string(low) + ".." + std::to_string(high);
        return false;
    }
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A quoted UTF-8 text into 8-bit characters.
bool parseText(Cursor &cur, std::string &out, std::string &why)
{
    cur.skipBlanks();
    const std::string &s = cur.line;
    if (cur.pos >= s.size() || s[cur.pos] != '"') {
        why = "expected a text in double quotes";
        return false;
    }
    ++cur.pos;
    out.clear();
    while (cur.pos < s.size() && s[cur.pos] != '"') {
        unsigned char c = static_cast<unsigned char>(s[cur.pos]);
        if (c == '\\') {
            if (cur.pos + 1 >= s.size()) {
                why = "text ends in a backslash";
                return false;
            }
            const char e = s[cur.pos + 1];
            if (e == '"' || e == '\\') {
                out += e;
                cur.pos += 2;
            } else if (e == 'x' && cur.pos + 3 < s.size() && hexDigit(s[cur.pos + 2]) >= 0 &&
                       hexDigit(s[cur.pos + 3]) >= 0) {
                out += static_cast<char>(hexDigit(s[cur.pos + 2]) * 16 + hexDigit(s[cur.pos + 3]));
                cur.pos += 4;
            } else {
                why = "unknown escape in text (use \\\" \\\\ or \\xHH)";
                return false;
            }
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++cur.pos;
            continue;
        }
        // A multi-byte UTF-8 character: only U+0080..U+00FF fit into one 8-bit character.
        if ((c & 0xE0) == 0xC0 && cur.pos + 1 < s.size() &&
            (static_cast<unsigned char>(s[cur.pos + 1]) & 0xC0) == 0x80) {
            const unsigned code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[cur.pos + 1]) & 0x3Fu);
            if (code >= 0x80 && code <= 0xFF) {
                out += static_cast<char>(code);
                cur.pos += 2;
                continue;
            }
        }
        why = "text does not fit in 8-bit characters (only Latin-1 letters can be stored)";
        return false;
    }
    if (cur.pos >= s.size()) {
        why = "text has no closing double quote";
        return false;
    }
    ++cur.pos;
    if (out.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        why = "text is too long";
        return false;
    }
    return true;
}

struct Field {
    int64_t low, high;
    bool required;
};

const std::map<std::string, Field> &entryFields()
{
    static const std::map<std::string, Field> fields = {
        {"type", {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), true}},
        {"base", {0, std::numeric_limits<uint32_t>::max(), true}},
        {"pulses", {0, std::numeric_limits<uint32_t>::max(), true}},
        {"code", {0, kCodeLimit - 1, true}},
        {"divider", {0, kDividerLimit - 1, true}},
        {"listvalue", {0, std::numeric_limits<uint32_t>::max(), false}},
        {"listbyte", {0, 255, false}},
        {"spare1", {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), false}},
        {"spare2", {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), false}},
        {"spare3", {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), false}},
    };
    return fields;
}

bool parseEntry(Cursor &cur, Entry &e, std::string &why)
{
    std::map<std::string, int64_t> values;
    while (!cur.atEnd()) {
        const std::string item = cur.word();
        const size_t eq = item.find('=');
        if (eq == std::string::npos) {
            why = "expected key=value, found \"" + item + "\"";
            return false;
        }
        const std::string key = item.substr(0, eq);
        const auto field = entryFields().find(key);
        if (field == entryFields().end()) {
            why = "unknown key \"" + key + "\"";
            return false;
        }
        if (values.count(key)) {
            why = "key \"" + key + "\" given twice";
            return false;
        }
        int64_t value = 0;
        if (!parseNumber(item.substr(eq + 1), field->second.low, field->second.high, value, why)) {
            if (key == "code")
                why = "interpolation code: " + why + " (the encoder takes a 5-bit code)";
            else if (key == "divider")
                why = "divider: " + why + " (the encoder takes a 15-bit divider)";
            else
                why = key + ": " + why;
            return false;
        }
        values[key] = value;
    }
    for (const auto &[key, field] : entryFields()) {
        if (field.required && !values.count(key)) {
            why = "entry lacks " + key + "=";
            return false;
        }
    }
    auto get = [&](const char *key) { return values.count(key) ? values[key] : 0; };
    e.artType = static_cast<int32_t>(get("type"));
    e.baseCount = static_cast<uint32_t>(get("base"));
    e.pulseCount = static_cast<uint32_t>(get("pulses"));
    e.interpolCode = static_cast<int16_t>(get("code"));
    e.divider = static_cast<int16_t>(get("divider"));
    e.listValue = static_cast<uint32_t>(get("listvalue"));
    e.listByte = static_cast<uint8_t>(get("listbyte"));
    e.spare1 = static_cast<int32_t>(get("spare1"));
    e.spare2 = static_cast<int32_t>(get("spare2"));
    e.spare3 = get("spare3");
    return true;
}

bool parseVersion(Cursor &cur, Catalogue &cat, std::string &why)
{
    const std::string text = cur.word();
    uint8_t parts[3];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t dot = i < 2 ? text.find('.', start) : text.size();
        if (dot == std::string::npos) {
            why = "version must read MAJOR.MINOR.PATCH";
            return false;
        }
        int64_t v = 0;
        if (!parseNumber(text.substr(start, dot - start), 0, 255, v, why)) {
            why = "version: " + why;
            return false;
        }
        parts[i] = static_cast<uint8_t>(v);
        start = dot + 1;
    }
    cat.major = parts[0];
    cat.minor = parts[1];
    cat.patch = parts[2];
    return true;
}

std::string quote(const std::string &text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c >= 32 && c <= 126) {
            out += ch;
        } else if (c >= 0xA0) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out + "\"";
}

} // namespace

bool parse(const std::string &source, const std::string &name, Catalogue &cat, std::string &error)
{
    cat = Catalogue{};
    // Editors on some systems start a UTF-8 file with a byte-order mark; it is no part of line 1.
    const bool bom = source.compare(0, 3, "\xEF\xBB\xBF") == 0;
    std::istringstream in(bom ? source.substr(3) : source);
    std::string line;
    int number = 0;
    bool versionSeen = false;
    while (std::getline(in, line)) {
        ++number;
        Cursor cur{line};
        if (cur.atEnd() || line[cur.pos] == '#')
            continue;
        const std::string keyword = cur.word();
        std::string why;
        bool ok = true;
        if (keyword == "version") {
            if (versionSeen) {
                why = "version given twice";
                ok = false;
            } else {
                ok = parseVersion(cur, cat, why);
                versionSeen = true;
            }
        } else if (keyword == "article") {
            Article a;
            int64_t id = 0;
            if (!parseNumber(cur.word(), std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max(), id, why)) {
                why = "article id: " + why;
                ok = false;
            } else {
                ok = parseText(cur, a.text, why);
            }
            a.id = static_cast<int32_t>(id);
            if (ok)
                cat.articles.push_back(std::move(a));
        } else if (keyword == "entry") {
            Entry e;
            ok = parseEntry(cur, e, why);
            if (ok)
                cat.entries.push_back(e);
        } else {
            why = "unknown line \"" + keyword + "\" (expected version, article or entry)";
            ok = false;
        }
        if (ok && !cur.atEnd()) {
            why = "unexpected text after the line's fields";
            ok = false;
        }
        if (!ok) {
            error = name + ":" + std::to_string(number) + ": " + why;
            return false;
        }
    }
    if (cat.articles.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
        cat.entries.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        error = name + ": too many records";
        return false;
    }
    return true;
}

std::string write(const Catalogue &cat)
{
    std::ostringstream out;
    out << "# Rotaconf catalogue: article-type texts and the configurations of each article type\n"
        << "version " << int(cat.major) << '.' << int(cat.minor) << '.' << int(cat.patch) << "\n\n";
    for (const Article &a : cat.articles)
        out << "article " << a.id << ' ' << quote(a.text) << '\n';
    if (!cat.articles.empty())
        out << '\n';
    for (const Entry &e : cat.entries) {
        out << "entry type=" << e.artType << " base=" << e.baseCount << " pulses=" << e.pulseCount
            << " code=" << e.interpolCode << " divider=" << e.divider << " listvalue=" << e.listValue
            << " listbyte=" << int(e.listByte) << " spare1=" << e.spare1 << " spare2=" << e.spare2
            << " spare3=" << e.spare3 << '\n';
    }
    return out.str();
}

} // namespace catalog
