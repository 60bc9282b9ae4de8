#include "catalog_binary.h"

namespace catalog {
namespace {

constexpr uint32_t kMagic = 0x4352BEBE;

template <typename T>
void put(std::vector<uint8_t> &out, T value)
{
    using U = std::make_unsigned_t<T>;
    U raw = static_cast<U>(value);
    for (size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<uint8_t>(raw & 0xFF));
        raw = static_cast<U>(raw >> 8);
    }
}

class Reader {
public:
    explicit Reader(const std::vector<uint8_t> &bytes) : m_bytes(bytes) {}
    size_t left() const { return m_bytes.size() - m_pos; }
    template <typename T>
    bool get(T &value)
    {
        if (left() < sizeof(T))
            return false;
        using U = std::make_unsigned_t<T>;
        U raw = 0;
        for (size_t i = sizeof(T); i-- > 0;)
            raw = static_cast<U>((raw << 8) | m_bytes[m_pos + i]);
        m_pos += sizeof(T);
        value = static_cast<T>(raw);
        return true;
    }
    bool text(size_t length, std::string &out)
    {
        if (left() < length)
            return false;
        out.assign(reinterpret_cast<const char *>(m_bytes.data() + m_pos), length);
        m_pos += length;
        return true;
    }

private:
    const std::vector<uint8_t> &m_bytes;
    size_t m_pos = 0;
};

} // namespace

std::vector<uint8_t> encode(const Catalogue &cat)
{
    std::vector<uint8_t> out;
    put(out, kMagic);
    out.push_back(cat.major);
    out.push_back(cat.minor);
    out.push_back(cat.patch);
    put(out, static_cast<int32_t>(cat.articles.size()));
    for (const Article &a : cat.articles) {
        put(out, a.id);
        put(out, static_cast<int32_t>(a.text.size()));
        out.insert(out.end(), a.text.begin(), a.text.end());
    }
    put(out, static_cast<int32_t>(cat.entries.size()));
    for (const Entry &e : cat.entries) {
        put(out, e.artType);
        put(out, e.baseCount);
        put(out, e.pulseCount);
        put(out, e.interpolCode);
        put(out, e.divider);
        put(out, e.spare1);
        put(out, e.spare2);
        put(out, e.listValue);
        put(out, e.spare3);
        put(out, e.listByte);
    }
    return out;
}

bool decode(const std::vector<uint8_t> &bytes, Catalogue &cat, size_t &trailing, std::string &error)
{
    Reader in(bytes);
    cat = Catalogue{};
    uint32_t magic = 0;
    if (!in.get(magic) || !in.get(cat.major) || !in.get(cat.minor) || !in.get(cat.patch)) {
        error = "shorter than the 7-byte header";
        return false;
    }
    if (magic != kMagic) {
        error = "not a catalogue (wrong magic number)";
        return false;
    }
    int32_t count = 0;
    if (!in.get(count)) {
        error = "no article count";
        return false;
    }
    if (count > 0 && static_cast<size_t>(count) > in.left() / 8) {
        error = "announces " + std::to_string(count) + " articles, more than the file holds";
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        Article a;
        int32_t length = 0;
        if (!in.get(a.id) || !in.get(length)) {
            error = "article " + std::to_string(i + 1) + " is cut short";
            return false;
        }
        if (length > 0 && !in.text(static_cast<size_t>(length), a.text)) {
            error = "text of article " + std::to_string(i + 1) + " is longer than the rest of the file";
            return false;
        }
        cat.articles.push_back(std::move(a));
    }
    if (!in.get(count)) {
        error = "no entry count";
        return false;
    }
    if (count > 0 && static_cast<size_t>(count) > in.left() / 37) {
        error = "announces " + std::to_string(count) + " entries, more than the file holds";
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        Entry e;
        in.get(e.artType);
        in.get(e.baseCount);
        in.get(e.pulseCount);
        in.get(e.interpolCode);
        in.get(e.divider);
        in.get(e.spare1);
        in.get(e.spare2);
        in.get(e.listValue);
        in.get(e.spare3);
        in.get(e.listByte); // all present: the count was checked against the size
        cat.entries.push_back(e);
    }
    trailing = in.left();
    return true;
}

} // namespace catalog
