#include "ScreensTestSupport.h"

#include "RC_Def.h"
#include "tarnbus_sim.h"

#include <QFile>
#include <QSettings>

QStringList TCapturedMessages::Texts() const
{
    QStringList texts;
    for (const Box &box : Boxes)
        texts << box.Text;
    return texts;
}

void ResetWorld()
{
    tbsim_reset_default();
    QFile::remove(TRC_Option::FilePath());
}

std::array<uint8_t, 6> EncoderBytes(unsigned Address)
{
    std::array<uint8_t, 6> block{};
    for (unsigned i = 0; i < block.size(); ++i)
        block[i] = tbsim_slave_get(0, Address + i);
    return block;
}

TBlockValues EncoderBlock(unsigned Address)
{
    const auto b = EncoderBytes(Address);
    const int g = b[2] & 0x03, s = (b[3] >> 4) & 0x03;
    static constexpr int kUngated[4] = {1, 0, 0, 2}, kGated[4] = {3, 6, 5, 4};
    const int mode = g == 0 ? kUngated[s] : g == 1 ? kGated[s] : 0;
    return {b[0] & 0x1F, (b[2] >> 5) & 1, mode, b[4] | ((b[5] & 0x7F) << 8)};
}

QString SettingsValue(const QString &Key)
{
    return QSettings(TRC_Option::FilePath(), QSettings::IniFormat).value(Key).toString();
}
