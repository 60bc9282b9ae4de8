#include "ScreensTestSupport.h"

#include "RC_Def.h"
#include "tarnbus_sim.h"

#include <QFile>
#include <QSettings>
#include <QtEndian>

#include <cstring>

TCapturedMessages::TCapturedMessages() { Previous = SetUserMessages(this); }

TCapturedMessages::~TCapturedMessages() { SetUserMessages(Previous); }

void TCapturedMessages::Error(const QString &Text) {
  Boxes.append({true, Text});
  if (OnBox)
    OnBox(Boxes.constLast());
}

void TCapturedMessages::Info(const QString &Text) {
  Boxes.append({false, Text});
  if (OnBox)
    OnBox(Boxes.constLast());
}

QStringList TCapturedMessages::Texts() const {
  QStringList texts;
  for (const Box &box : Boxes)
    texts << box.Text;
  return texts;
}

namespace {

template <typename T>
void Put(QByteArray &Out, T Value) {
  char bytes[sizeof(T)];
  qToLittleEndian(Value, bytes);
  Out.append(bytes, sizeof(T));
}

}  // namespace

bool WriteCatalogue(const QString &FileName, const std::vector<std::pair<int32_t, QString>> &Comments,
                    const std::vector<TCatalogueEntry> &Entries) {
  QByteArray out;
  Put<uint32_t>(out, 0x4352BEBE);
  out.append(char(1)).append(char(0)).append(char(0));
  Put<int32_t>(out, static_cast<int32_t>(Comments.size()));
  for (const auto &[id, text] : Comments) {
    const QByteArray bytes = text.toLatin1();
    Put<int32_t>(out, id);
    Put<int32_t>(out, static_cast<int32_t>(bytes.size()));
    out.append(bytes);
  }
  Put<int32_t>(out, static_cast<int32_t>(Entries.size()));
  for (const TCatalogueEntry &e : Entries) {
    Put<int32_t>(out, e.ArtType);
    Put<uint32_t>(out, e.BaseCount);
    Put<uint32_t>(out, e.PulseCount);
    Put<int16_t>(out, e.Code);
    Put<int16_t>(out, e.Divider);
    Put<int32_t>(out, 0);
    Put<int32_t>(out, 0);
    Put<uint32_t>(out, e.ListValue);
    Put<int64_t>(out, 0);
    out.append(static_cast<char>(e.ListByte));
  }
  QFile file(FileName);
  return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

void ResetWorld() {
  tbsim_reset_default();
  QFile::remove(TRC_Option::FilePath());
}

std::array<uint8_t, 6> EncoderBlock(unsigned Address) {
  std::array<uint8_t, 6> block{};
  for (unsigned i = 0; i < block.size(); ++i)
    block[i] = tbsim_slave_get(0, Address + i);
  return block;
}

TBlockValues DecodeBlock(const std::array<uint8_t, 6> &Block) {
  const int g = Block[2] & 0x03;
  const int s = (Block[3] >> 4) & 0x03;
  int mode = 0;
  if (g == 0)
    mode = s == 0 ? 1 : s == 3 ? 2 : 0;
  else if (g == 1) {
    static constexpr int kGated[4] = {3, 6, 5, 4};
    mode = kGated[s];
  }
  return {Block[0] & 0x1F, (Block[2] >> 5) & 1, mode, Block[4] | ((Block[5] & 0x7F) << 8)};
}

char *toString(const TBlockValues &Values) {
  const QByteArray text = QStringLiteral("code %1, direction %2, mode %3, divider %4")
                              .arg(Values.Code).arg(Values.Direction).arg(Values.Mode).arg(Values.Divider)
                              .toLatin1();
  char *copy = new char[text.size() + 1];
  std::memcpy(copy, text.constData(), static_cast<size_t>(text.size()) + 1);
  return copy;
}

QString SettingsValue(const QString &Key) {
  QSettings settings(TRC_Option::FilePath(), QSettings::IniFormat);
  return settings.value(Key).toString();
}
