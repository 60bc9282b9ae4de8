// The article-type catalogue "Encoder.cfg": little-endian binary, header, comments, entries.
#include "RC_Def.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>

namespace {

constexpr uint32_t CatalogueMagic = 0x4352BEBE;
constexpr qint64 CommentHead = 8; // id and length before each text
constexpr qint64 EntrySize = 37;

// What the stream still holds after the current position (sequential devices: what is buffered).
qint64 Remaining(const QIODevice &Stream)
{
    const qint64 Left = Stream.isSequential() ? Stream.bytesAvailable() : Stream.size() - Stream.pos();
    return Left > 0 ? Left : 0;
}

bool ReadBytes(QIODevice &Stream, void *Target, qint64 Size)
{
    return Stream.read(static_cast<char *>(Target), Size) == Size;
}

template <typename T>
bool ReadLe(QIODevice &Stream, T &Value)
{
    unsigned char Bytes[sizeof(T)];
    if (!ReadBytes(Stream, Bytes, sizeof(T)))
        return false;
    using U = std::make_unsigned_t<T>;
    U Raw = 0;
    for (size_t i = sizeof(T); i-- > 0;)
        Raw = static_cast<U>((Raw << 8) | Bytes[i]);
    Value = static_cast<T>(Raw);
    return true;
}

// Reads the ten fields of one entry in record order; fields read before a short read stay set.
bool ReadEntry(QIODevice &Stream, TConfig &Entry)
{
    return ReadLe(Stream, Entry.ArtType) && ReadLe(Stream, Entry.BaseCount) &&
           ReadLe(Stream, Entry.PulseCount) && ReadLe(Stream, Entry.InterpolCode) &&
           ReadLe(Stream, Entry.Divider) && ReadLe(Stream, Entry.Spare1) && ReadLe(Stream, Entry.Spare2) &&
           ReadLe(Stream, Entry.ListValue) && ReadLe(Stream, Entry.Spare3) && ReadLe(Stream, Entry.ListByte);
}

} // namespace

void TConfig::CopyNumbers(const TConfig &From)
{
    ArtType = From.ArtType;
    BaseCount = From.BaseCount;
    PulseCount = From.PulseCount;
    InterpolCode = From.InterpolCode;
    Divider = From.Divider;
    Spare1 = From.Spare1;
    Spare2 = From.Spare2;
    ListValue = From.ListValue;
    Spare3 = From.Spare3;
    ListByte = From.ListByte;
}

// ---------------------------------------------------------------------------------------------------

void TArtTypeCommentList::Clear()
{
    m_items.clear();
}

TArtTypeComment *TArtTypeCommentList::At(int Index) const
{
    if (Index < 0 || Index >= Count())
        return nullptr;
    return m_items[static_cast<size_t>(Index)].get();
}

TArtTypeComment *TArtTypeCommentList::AddNew()
{
    m_items.push_back(std::make_unique<TArtTypeComment>());
    return m_items.back().get();
}

bool TArtTypeCommentList::ReadFromStream(QIODevice &Stream)
{
    int32_t Announced = 0;
    if (!ReadLe(Stream, Announced))
        return false; // the list stays as it was
    Clear();
    if (Announced <= 0)
        return true;
    // Each record takes at least its id and length. A count the rest of the file cannot hold makes
    // a broken file: the records that are there are still read, but no room is set aside for the
    // empty ones that would stand for the rest.
    const int32_t Records =
        static_cast<int32_t>(std::min<qint64>(Announced, Remaining(Stream) / CommentHead + 1));

    bool Ok = Records == Announced;
    bool Read = true;
    for (int32_t i = 0; i < Records; ++i) {
        TArtTypeComment *Comment = AddNew();
        if (!Read)
            continue; // the records after a failure stay empty
        int32_t Length = 0;
        if (!ReadLe(Stream, Comment->Id) || !ReadLe(Stream, Length)) {
            Read = false;
            continue;
        }
        if (Length <= 0)
            continue;
        if (Length > Remaining(Stream)) {
            Read = false;
            continue;
        }
        QByteArray Text(Length, Qt::Uninitialized);
        if (!ReadBytes(Stream, Text.data(), Length)) {
            Read = false;
            continue;
        }
        Comment->Text = QString::fromLatin1(Text);
    }
    return Ok && Read;
}

QString TArtTypeCommentList::TextOf(int32_t Id) const
{
    for (const auto &Comment : m_items)
        if (Comment->Id == Id)
            return Comment->Text;
    return QStringLiteral("unknown");
}

// ---------------------------------------------------------------------------------------------------

TConfigList::TConfigList() = default;
TConfigList::~TConfigList() = default;

bool TConfigList::LoadFromFile(const QString &FileName)
{
    if (!QFileInfo(FileName).isFile()) {
        UserMessages().Error(QStringLiteral("File ") + FileName + QStringLiteral(" not found"));
        return false;
    }
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly)) {
        Clear();
        UserMessages().Error(QStringLiteral("Could not read from file ") + FileName +
                             QStringLiteral(" not found"));
        return false;
    }
    return LoadFromDevice(File, FileName);
}

bool TConfigList::LoadFromDevice(QIODevice &Stream, const QString &FileName)
{
    Clear();

    uint32_t Magic = 0;
    uint8_t Version[3] = {0, 0, 0};
    if (!ReadLe(Stream, Magic) || !ReadBytes(Stream, Version, sizeof Version)) {
        UserMessages().Error(QStringLiteral("Could not read from file ") + FileName +
                             QStringLiteral(" not found"));
        return false;
    }
    if (Magic != CatalogueMagic) {
        UserMessages().Error(QStringLiteral("Wrong file"));
        return false;
    }
    if (Version[0] != 1) {
        UserMessages().Error(QStringLiteral("Configfile has Version %1.%2.%3")
                                 .arg(Version[0])
                                 .arg(Version[1])
                                 .arg(Version[2]) +
                             QChar(13) +
                             QStringLiteral("This application needs an update to read such a file!"));
        return false;
    }

    bool Ok = Comments.ReadFromStream(Stream);

    m_items.clear();
    if (Ok) {
        int32_t Announced = 0;
        if (!ReadLe(Stream, Announced)) {
            Ok = false;
        } else if (Announced > 0) {
            // More entries announced than the file holds: the complete ones and the one cut short
            // are kept, no room is set aside for the rest, and the file counts as broken.
            const qint64 Held = (Remaining(Stream) + EntrySize - 1) / EntrySize;
            const int32_t Records = static_cast<int32_t>(std::min<qint64>(Announced, Held));
            Ok = Records == Announced;
            bool Read = true;
            for (int32_t i = 0; i < Records; ++i) {
                m_items.push_back(std::make_unique<TConfig>());
                TConfig &Entry = *m_items.back();
                if (!Read)
                    continue;
                if (!ReadEntry(Stream, Entry)) {
                    Read = false;
                    continue;
                }
                Entry.Comment = Comments.TextOf(Entry.ArtType);
            }
            Ok = Ok && Read;
        }
    }

    if (!Ok) {
        UserMessages().Error(QStringLiteral("Error read ConfigFile"));
        return false;
    }
    return true;
}

void TConfigList::Clear()
{
    m_items.clear();
    Comments.Clear();
}

TConfig *TConfigList::At(int Index) const
{
    if (Index < 0 || Index >= Count())
        return nullptr;
    return m_items[static_cast<size_t>(Index)].get();
}

TConfig *TConfigList::AddCopy(const TConfig &From)
{
    auto Entry = std::make_unique<TConfig>();
    Entry->CopyNumbers(From);
    m_items.push_back(std::move(Entry));
    return m_items.back().get();
}

void TConfigList::FilterByArtType(int32_t Key, TConfigList &Dest) const
{
    Dest.TakeCopies([Key](const TConfig &Entry) { return Entry.ArtType == Key; }, *this);
}

void TConfigList::FilterByBaseCount(TConfigList &Dest, int64_t Value) const
{
    Dest.TakeCopies([Value](const TConfig &Entry) { return Value >= 0 && Entry.BaseCount == Value; }, *this);
}

void TConfigList::TakeCopies(const std::function<bool(const TConfig &)> &Wanted, const TConfigList &Source)
{
    // Copies are made before this list is cleared, so a list may be filtered into itself.
    std::vector<std::unique_ptr<TConfig>> Copies;
    for (const auto &Entry : Source.m_items) {
        if (!Wanted(*Entry))
            continue;
        auto Copy = std::make_unique<TConfig>();
        Copy->CopyNumbers(*Entry);
        Copies.push_back(std::move(Copy));
    }
    Clear();
    m_items = std::move(Copies);
}

TConfig *TConfigList::FindBySetting(int Code, int Divider) const
{
    for (const auto &Entry : m_items)
        if (Entry->InterpolCode == Code && Entry->Divider == Divider)
            return Entry.get();
    return nullptr;
}

TConfig *TConfigList::FindByPulseCount(uint32_t Count) const
{
    for (const auto &Entry : m_items)
        if (Entry->PulseCount == Count)
            return Entry.get();
    return nullptr;
}

void TConfigList::BaseCountTexts(QStringList &List) const
{
    List.clear();
    for (const auto &Entry : m_items) {
        const QString Text = QString::number(Entry->BaseCount);
        if (!List.contains(Text))
            List.append(Text);
    }
}
