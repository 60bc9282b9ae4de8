// Helpers of the window tests: messages captured instead of shown, a fresh simulated world and
// settings file, catalogues written on the spot, encoder registers read back.
#pragma once

#include "UserMessages.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// Records every message instead of opening a box; installed for its lifetime.
class TCapturedMessages final : public TUserMessages {
public:
  struct Box {
    bool IsError;
    QString Text;
  };

  TCapturedMessages();
  ~TCapturedMessages() override;

  void Error(const QString &Text) override;
  void Info(const QString &Text) override;

  QList<Box> Boxes;
  // Called for every message as it is shown (the box would block here).
  std::function<void(const Box &)> OnBox;

  QStringList Texts() const;

private:
  TUserMessages *Previous = nullptr;
};

struct TCatalogueEntry {
  int32_t ArtType;
  uint32_t BaseCount;
  uint32_t PulseCount;
  int16_t Code;
  int16_t Divider;
  uint32_t ListValue = 0;
  uint8_t ListByte = 0;
};

// Writes a catalogue file in the program's binary format (version 1.0.0).
bool WriteCatalogue(const QString &FileName, const std::vector<std::pair<int32_t, QString>> &Comments,
                    const std::vector<TCatalogueEntry> &Entries);

// The default simulated world (adapter, master, encoder of article type 58 / 4096 lines, serial
// "2612001", configuration code 4 divider 2 direction 1 mode 3) and no settings file.
void ResetWorld();

// Six configuration bytes of the simulated encoder at 0 (RAM) or 16 (EEPROM).
std::array<uint8_t, 6> EncoderBlock(unsigned Address);

// Decoded configuration block.
struct TBlockValues {
  int Code, Direction, Mode, Divider;
  bool operator==(const TBlockValues &) const = default;
};
TBlockValues DecodeBlock(const std::array<uint8_t, 6> &Block);
char *toString(const TBlockValues &Values);  // for QCOMPARE

// Settings file content: value of Section/Key, empty when absent.
QString SettingsValue(const QString &Key);
