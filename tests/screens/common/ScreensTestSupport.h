// Helpers of the window tests: messages captured instead of shown, a fresh simulated world and
// settings file, catalogues written on the spot, encoder registers read back.
#ifndef ROTACONF_TEST_SCREENSTESTSUPPORT_H
#define ROTACONF_TEST_SCREENSTESTSUPPORT_H

#include "UserMessages.h"

#include <QList>
#include <QStringList>

#include <array>
#include <cstdint>

// Records every message instead of opening a box; installed for its lifetime.
class TCapturedMessages final : public TUserMessages {
public:
    struct Box {
        bool IsError;
        QString Text;
    };
    TCapturedMessages() { m_previous = SetUserMessages(this); }
    ~TCapturedMessages() override { SetUserMessages(m_previous); }
    void Error(const QString &Text) override { Boxes.append({true, Text}); }
    void Info(const QString &Text) override { Boxes.append({false, Text}); }
    QStringList Texts() const;

    QList<Box> Boxes;

private:
    TUserMessages *m_previous = nullptr;
};

// The default simulated world (encoder 58 / 4096, serial "2612001", configuration code 4, divider 2,
// direction 1, mode 3) and no settings file.
void ResetWorld();

// The encoder's configuration block at 0 (RAM) or 16 (EEPROM), decoded.
struct TBlockValues {
    int Code, Direction, Mode, Divider;
    bool operator==(const TBlockValues &) const = default;
};
TBlockValues EncoderBlock(unsigned Address);
std::array<uint8_t, 6> EncoderBytes(unsigned Address);

QString SettingsValue(const QString &Key);

#endif
