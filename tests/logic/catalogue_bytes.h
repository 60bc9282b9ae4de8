// "Encoder.cfg" images built byte by byte, and a recorder of the user messages.
#ifndef ROTACONF_TEST_CATALOGUE_BYTES_H
#define ROTACONF_TEST_CATALOGUE_BYTES_H

#include "RC_Def.h"

#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

struct CfgBytes {
    std::vector<uint8_t> b;
    CfgBytes &le(uint64_t v, int size)
    {
        for (int i = 0; i < size; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    CfgBytes &i32(int32_t v) { return le(static_cast<uint32_t>(v), 4); }
    CfgBytes &header(uint8_t major = 1, uint8_t minor = 0, uint8_t patch = 0)
    {
        return le(0x4352BEBE, 4).le(major, 1).le(minor, 1).le(patch, 1);
    }
    CfgBytes &comment(int32_t id, const std::string &latin1)
    {
        i32(id).i32(static_cast<int32_t>(latin1.size())).b.insert(b.end(), latin1.begin(), latin1.end());
        return *this;
    }
    // The two uninterpreted 32-bit fields are -1 and 0x12345678.
    CfgBytes &entry(int32_t type, uint32_t base, uint32_t pulses, uint16_t code, uint16_t divider,
                    uint32_t listValue = 0, uint8_t listByte = 0, int64_t spare3 = 0)
    {
        return i32(type)
            .le(base, 4)
            .le(pulses, 4)
            .le(code, 2)
            .le(divider, 2)
            .i32(-1)
            .i32(0x12345678)
            .le(listValue, 4)
            .le(static_cast<uint64_t>(spare3), 8)
            .le(listByte, 1);
    }
};

struct TRecordedMessages : TUserMessages {
    TRecordedMessages() : previous(SetUserMessages(this)) {}
    ~TRecordedMessages() override { SetUserMessages(previous); }
    void Error(const QString &Text) override { errors << Text; }
    void Info(const QString &Text) override { errors << Text; }
    QStringList errors;
    TUserMessages *previous;
};

inline QString WriteTemp(const QTemporaryDir &dir, const std::vector<uint8_t> &bytes,
                         const QString &name = QStringLiteral("Encoder.cfg"))
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    return f.fileName();
}

#endif
