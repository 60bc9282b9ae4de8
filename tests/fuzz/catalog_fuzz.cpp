// The catalogue reader on arbitrary bytes: it must not crash, read out of bounds, or set aside room for
// counts and lengths the bytes cannot hold.
#include "RC_Def.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

class TQuiet final : public TUserMessages {
public:
    void Error(const QString &Text) override { last = Text; }
    void Info(const QString &Text) override { last = Text; }
    QString last;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static TQuiet quiet;
    SetUserMessages(&quiet);

    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TConfigList list;
    const bool ok = list.LoadFromDevice(buffer, QStringLiteral("fuzz.cfg"));

    // A failed load always tells the user; a good one never does.
    if (ok != quiet.last.isEmpty())
        std::abort();
    // Nothing can come out of fewer bytes than its records take (one record may be cut short).
    if (static_cast<size_t>(list.Count()) * 37 > size + 37 ||
        static_cast<size_t>(list.Comments.Count()) * 8 > size)
        std::abort();
    quiet.last.clear();

    // What the windows do with a catalogue.
    TConfigList scratch;
    if (list.Count() > 0) {
        list.FilterByArtType(list.At(0)->ArtType, scratch);
        scratch.FilterByBaseCount(scratch, list.At(0)->BaseCount);
    }
    return 0;
}
