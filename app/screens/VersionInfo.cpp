#include "VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Defined in the generated version_block.cpp.
const unsigned char *RotaconfVersionBlock();

namespace {

constexpr std::size_t HeaderSize = 24;

// The marker is kept reversed here so that the reader's own constants never look like a block.
std::string Marker()
{
    static const char reversed[] = "\x01noisreVfnocatoR";
    std::string marker(reversed, sizeof reversed - 1);
    std::reverse(marker.begin(), marker.end());
    return marker;
}

// Reads little-endian fields; every read past the end makes the cursor fail for good.
class Cursor {
public:
    Cursor(const unsigned char *data, std::size_t size) : m_data(data), m_size(size) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_size; }

    std::uint16_t U16()
    {
        if (!Need(2))
            return 0;
        const std::uint16_t v = static_cast<std::uint16_t>(m_data[m_at] | (m_data[m_at + 1] << 8));
        m_at += 2;
        return v;
    }

    std::uint32_t U32()
    {
        const std::uint32_t low = U16();
        const std::uint32_t high = U16();
        return low | (high << 16);
    }

    std::string_view Text()
    {
        const std::size_t length = U16();
        if (!Need(length))
            return {};
        std::string_view s(reinterpret_cast<const char *>(m_data + m_at), length);
        m_at += length;
        return s;
    }

private:
    bool Need(std::size_t n)
    {
        if (!m_ok || n > m_size - m_at)
            m_ok = false;
        return m_ok;
    }

    const unsigned char *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    bool m_ok = true;
};

struct VersionData {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
    QHash<QString, QString> values; // "StringFileInfo\<table>\<name>" -> text
};

QString Decode(std::string_view bytes, std::uint16_t codePage)
{
    if (codePage == 65001 || codePage == 1200)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::uint32_t Checksum(const unsigned char *data, std::size_t size)
{
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

// One candidate block starting at the marker; nothing when any part of it is missing or garbled.
std::optional<VersionData> ParseBlock(const unsigned char *block, std::size_t available)
{
    if (available < HeaderSize)
        return std::nullopt;
    Cursor header(block + 16, 8);
    const std::uint32_t payloadSize = header.U32();
    const std::uint32_t checksum = header.U32();
    if (payloadSize > available - HeaderSize)
        return std::nullopt;
    const unsigned char *payload = block + HeaderSize;
    if (Checksum(payload, payloadSize) != checksum)
        return std::nullopt;

    Cursor in(payload, payloadSize);
    VersionData data;
    const std::uint16_t translations = in.U16();
    if (translations == 0)
        return std::nullopt;
    for (std::uint16_t i = 0; i < translations && in.ok(); ++i) {
        const std::uint16_t language = in.U16();
        const std::uint16_t codePage = in.U16();
        if (i == 0) {
            data.language = language;
            data.codePage = codePage;
        }
    }
    const std::uint16_t tables = in.U16();
    for (std::uint16_t t = 0; t < tables && in.ok(); ++t) {
        const QString table = QString::fromLatin1(in.Text()).toUpper();
        const std::uint16_t count = in.U16();
        for (std::uint16_t v = 0; v < count && in.ok(); ++v) {
            const QString name = QString::fromLatin1(in.Text());
            const std::string_view text = in.Text();
            const QString key = QStringLiteral("StringFileInfo\\") + table + QLatin1Char('\\') + name;
            if (in.ok() && !data.values.contains(key))
                data.values.insert(key, Decode(text, data.codePage));
        }
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return data;
}

// The first intact block of the file. The file is mapped, not read, so large programs cost little.
std::optional<VersionData> ReadVersionData(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return std::nullopt;
    std::size_t length = static_cast<std::size_t>(file.size());
    const unsigned char *bytes = file.map(0, file.size());
    QByteArray copy;
    if (bytes == nullptr) { // not mappable (a pipe, a special file): read it instead
        copy = file.readAll();
        bytes = reinterpret_cast<const unsigned char *>(copy.constData());
        length = static_cast<std::size_t>(copy.size()); // what was read, also when that is nothing
    }

    const std::string marker = Marker();
    const std::boyer_moore_horspool_searcher searcher(marker.begin(), marker.end());
    const char *begin = reinterpret_cast<const char *>(bytes);
    const char *end = begin + length;
    for (const char *at = begin;;) {
        at = std::search(at, end, searcher);
        if (at == end)
            return std::nullopt;
        const auto offset = static_cast<std::size_t>(at - begin);
        if (auto data = ParseBlock(bytes + offset, length - offset))
            return data;
        ++at;
    }
}

QString ValueKey(const VersionData &data, const QString &valueName)
{
    const QString table = QStringLiteral("%1%2")
                              .arg(data.language, 4, 16, QLatin1Char('0'))
                              .arg(data.codePage, 4, 16, QLatin1Char('0'))
                              .toUpper();
    return QStringLiteral("StringFileInfo\\") + table + QLatin1Char('\\') + valueName;
}

QString Value(const VersionData &data, const QString &valueName)
{
    return data.values.value(ValueKey(data, valueName));
}

// Names of the language ids this program may carry; any other id is named as the system does.
QString LanguageName(std::uint16_t language)
{
    struct Known {
        std::uint16_t id;
        QLocale::Language language;
        QLocale::Territory territory;
    };
    static const Known known[] = {
        {0x0407, QLocale::German, QLocale::Germany},        {0x0807, QLocale::German, QLocale::Switzerland},
        {0x0C07, QLocale::German, QLocale::Austria},        {0x0409, QLocale::English, QLocale::UnitedStates},
        {0x0809, QLocale::English, QLocale::UnitedKingdom}, {0x040C, QLocale::French, QLocale::France},
        {0x0410, QLocale::Italian, QLocale::Italy},         {0x0413, QLocale::Dutch, QLocale::Netherlands},
        {0x0C0A, QLocale::Spanish, QLocale::Spain},
    };
    for (const Known &k : known) {
        if (k.id == language)
            return (QLocale::languageToString(k.language) + QStringLiteral(" (") +
                    QLocale::territoryToString(k.territory) + QLatin1Char(')'))
                .left(255);
    }
    return QStringLiteral("Language Neutral");
}

} // namespace

QString ProgramFileName()
{
    // Keeps this program's own version data linked in with the reader.
    (void)RotaconfVersionBlock();
    return QCoreApplication::applicationFilePath();
}

bool ReadVersionInfo(const QString &fileName, TVersionTexts &texts)
{
    texts = TVersionTexts{};
    const std::optional<VersionData> data = ReadVersionData(fileName);
    if (!data)
        return false;
    texts.CompanyName = Value(*data, QStringLiteral("CompanyName"));
    texts.FileDescription = Value(*data, QStringLiteral("FileDescription"));
    texts.FileVersion = Value(*data, QStringLiteral("FileVersion"));
    texts.InternalName = Value(*data, QStringLiteral("InternalName"));
    texts.LegalCopyright = Value(*data, QStringLiteral("LegalCopyright"));
    texts.LegalTrademarks = Value(*data, QStringLiteral("LegalTrademarks"));
    texts.OriginalFilename = Value(*data, QStringLiteral("OriginalFilename"));
    texts.ProductName = Value(*data, QStringLiteral("ProductName"));
    texts.ProductVersion = Value(*data, QStringLiteral("ProductVersion"));
    texts.Comments = Value(*data, QStringLiteral("Comments"));
    texts.LanguageName = LanguageName(data->language);
    return true;
}

bool ReadVersionValue(const QString &fileName, const QString &valueName, QString &text)
{
    text.clear();
    const std::optional<VersionData> data = ReadVersionData(fileName);
    if (!data)
        return false;
    text = Value(*data, valueName);
    return true;
}

bool ReadFileDate(const QString &fileName, QDate &date)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return false;
    const QDateTime modified = info.lastModified();
    if (!modified.isValid())
        return false;
    date = modified.date();
    return true;
}

QString CutVersion(const QString &fileVersion)
{
    const qsizetype dot = fileVersion.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileVersion : fileVersion.left(dot);
}

QString VersionLabelText(const QString &fileName)
{
    QString fileVersion;
    if (!ReadVersionValue(fileName, QStringLiteral("FileVersion"), fileVersion))
        return QString();
    return CutVersion(fileVersion);
}
