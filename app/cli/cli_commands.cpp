// The configuration commands of rotaconf-cli (position has a file of its own).
#include "cli_context.h"

#include "ConfigChoice.h"
#include "EncoderMap.h"
#include "PulseCountText.h"

#include <array>

namespace {

QString Row(const char *Label, const QString &Value)
{
    return QStringLiteral("  %1 %2").arg(QString::fromLatin1(Label), -20).arg(Value);
}

// A direction or zero-pulse mode as its number and the window's text for it: "1 (CHB lags CHA, CW)".
QString DirectionShown(const TRC_Option &Options, unsigned Direction)
{
    return QStringLiteral("%1 (%2)").arg(Direction).arg(DirectionText(Options, static_cast<int>(Direction)));
}

QString ZeroPulseShown(const TRC_Option &Options, unsigned Mode)
{
    return QStringLiteral("%1 (%2)").arg(Mode).arg(ZeroPulseText(Options, static_cast<int>(Mode)));
}

QString HexBytes(std::span<const uint8_t> Bytes)
{
    QStringList Parts;
    for (const uint8_t Byte : Bytes)
        Parts << QString::asprintf("%.2X", Byte);
    return Parts.join(QLatin1Char(' '));
}

// Why writing the configuration (EEPROM block, then RAM block) failed, and what the encoder holds now
// as read back after the write; Command is the command to run again.
void FailWrite(const TRC_Device &Device, const QString &Command)
{
    const TWriteReport &W = Device.LastWrite;
    const bool Eeprom = W.Address == EncoderMap::EepromBlock;
    const QString Again = QStringLiteral("run %1 again").arg(Command);
    const QString Partly = QStringLiteral(": the encoder holds a partly written configuration; ") + Again;
    QString Held;
    switch (W.State) {
    case BlockUnchanged:
        Held =
            Eeprom
                ? QStringLiteral("the encoder's configuration is unchanged")
                : QStringLiteral("the EEPROM block holds the new configuration, the RAM block the old one") +
                      Partly;
        break;
    case BlockWritten:
        Held =
            Eeprom
                ? QStringLiteral("the EEPROM block holds the new configuration, the RAM block the old one") +
                      Partly
                : QStringLiteral("both blocks read back the new configuration all the same");
        break;
    case BlockPartly:
        Held = Eeprom
                   ? QStringLiteral("the EEPROM block is partly written") + Partly
                   : QStringLiteral("the EEPROM block holds the new configuration, the RAM block is partly "
                                    "written") +
                         Partly;
        break;
    case BlockUnknown:
    default:
        Held = QStringLiteral("the encoder may hold a partly written configuration; ") + Again;
        break;
    }
    if (W.Unsteady) {
        Fail(QStringLiteral("writing the configuration failed: the %1 block reads differently each time; %2")
                 .arg(QLatin1String(Eeprom ? "EEPROM" : "RAM"), Held));
        return;
    }
    if (W.ReadBackDiffers) {
        Fail(QStringLiteral("writing the configuration failed: the %1 block reads back %2 instead of the %3 "
                            "written; %4")
                 .arg(QLatin1String(Eeprom ? "EEPROM" : "RAM"), HexBytes(W.Found), HexBytes(W.Wanted), Held));
        return;
    }
    FailCode(QStringLiteral("writing the configuration failed"), W.Code, Held);
}

bool ParseSmall(const QString &Text, unsigned Low, unsigned High, unsigned &Value)
{
    bool Ok = false;
    Value = Text.toUInt(&Ok);
    return Ok && Value >= Low && Value <= High;
}

} // namespace

int CmdPlate(TCliContext &Context)
{
    TRC_Device &Device = Context.Device;
    const bool HaveCatalogue = LoadCatalogue(Context); // the plate is shown without it too
    if (!ConnectAndRead(Device))
        return 1;
    const TRC_Option &Options = *Device.Options;

    TConfigList Possible;
    FindPossibleConfigs(Device, Possible);
    const TConfig *Current = Possible.FindBySetting(Device.InterpolCode, Device.Divider);
    if (Current)
        Device.PulseCount = Current->PulseCount;

    Out(QStringLiteral("Rating plate"));
    Out(Row("Article type", QStringLiteral("%1 (%2)")
                                .arg(Device.ArtType)
                                .arg(Device.Catalogue->Comments.TextOf(Device.ArtType))));
    Out(Row("Basic resolution", QString::number(Device.BaseCount)));
    Out(Row("Product code", Device.ProductCode));
    Out(Row("Serial number", Device.SerialNumber));
    Out(Row("Order designation", PlateShownText(Device.OrderDesignation)));
    Out(QStringLiteral("Factory settings"));
    Out(Row("Pulse count", QString::number(Device.FactoryPulseCount)));
    Out(Row("Divider", QString::number(Device.FactoryDivider)));
    Out(Row("Direction", DirectionShown(Options, Device.FactoryDirection)));
    Out(Row("Zero pulse", ZeroPulseShown(Options, Device.FactoryZeroPulse)));
    Out(QStringLiteral("Current configuration"));
    Out(Row("Pulse count", Current         ? QString::number(Device.PulseCount)
                           : HaveCatalogue ? QStringLiteral("not in the catalogue")
                                           : QStringLiteral("unknown (no catalogue)")));
    Out(Row("Interpolation code", QString::number(Device.InterpolCode)));
    Out(Row("Divider", QString::number(Device.Divider)));
    Out(Row("Direction", DirectionShown(Options, Device.Direction)));
    Out(Row("Zero pulse", ZeroPulseShown(Options, Device.ZeroPulse)));
    return 0;
}

int CmdList(TCliContext &Context)
{
    TRC_Device &Device = Context.Device;
    if (!LoadCatalogue(Context) || !ConnectAndRead(Device))
        return 1;
    TConfigList Possible;
    FindPossibleConfigs(Device, Possible);
    if (Possible.Count() == 0) {
        Fail(QStringLiteral("the catalogue has no configuration for article type %1 with basic resolution %2")
                 .arg(Device.ArtType)
                 .arg(Device.BaseCount));
        return 1;
    }
    Out(QStringLiteral("%1 %2 %3 %4 %5")
            .arg(QStringLiteral("Pulses"), 10)
            .arg(QStringLiteral("Code"), 5)
            .arg(QStringLiteral("Divider"), 8)
            .arg(QStringLiteral("List value"), 11)
            .arg(QStringLiteral("List byte"), 10));
    for (int i = 0; i < Possible.Count(); ++i) {
        const TConfig &Entry = *Possible.At(i);
        const bool IsCurrent = Entry.InterpolCode == Device.InterpolCode && Entry.Divider == Device.Divider;
        Out(QStringLiteral("%1 %2 %3 %4 %5%6")
                .arg(Entry.PulseCount, 10)
                .arg(Entry.InterpolCode, 5)
                .arg(Entry.Divider, 8)
                .arg(Entry.ListValue, 11)
                .arg(Entry.ListByte, 10)
                .arg(IsCurrent ? QStringLiteral("  (current)") : QString()));
    }
    return 0;
}

int CmdSet(TCliContext &Context)
{
    TRC_Device &Device = Context.Device;
    const QStringList &Args = Context.Arguments;
    unsigned Direction = 0, Mode = 0;
    const std::optional<uint32_t> Pulses = Args.isEmpty() ? std::nullopt : ParsePulseCount(Args[0]);
    if (!Pulses || Args.size() > 3) {
        Fail(QStringLiteral(
            "set needs a pulse count, then optionally a direction (0 or 1) and a zero-pulse mode (1 to 6)"));
        return 2;
    }
    if (Args.size() >= 2 && !ParseSmall(Args[1], 0, 1, Direction)) {
        Fail(QStringLiteral("direction must be 0 or 1, not \"%1\"").arg(Args[1]));
        return 2;
    }
    if (Args.size() >= 3 && !ParseSmall(Args[2], 1, 6, Mode)) {
        Fail(QStringLiteral("zero-pulse mode must be 1 to 6, not \"%1\"").arg(Args[2]));
        return 2;
    }
    if (!LoadCatalogue(Context) || !ConnectAndRead(Device))
        return 1;
    if (Args.size() < 2)
        Direction = Device.Direction;
    if (Args.size() < 3)
        Mode = static_cast<unsigned>(ZeroPulseChoice(Device.ZeroPulse));

    TConfigList Possible, Selected;
    FindPossibleConfigs(Device, Possible);
    SelectByPulseCount(Possible, *Pulses, Selected);
    const TConfig *Entry = Selected.At(0); // the entry the configuration window writes
    if (!Entry) {
        Fail(QStringLiteral(
                 "the catalogue allows no pulse count %1 for article type %2 with basic resolution %3 "
                 "(see: rotaconf-cli list)")
                 .arg(*Pulses)
                 .arg(Device.ArtType)
                 .arg(Device.BaseCount));
        return 1;
    }
    if (!Device.WriteConfig(Entry->InterpolCode, static_cast<int>(Direction), Entry->Divider,
                            static_cast<int>(Mode), 2)) {
        FailWrite(Device, QStringLiteral("set"));
        return 1;
    }
    Out(QStringLiteral("Written: pulse count %1 (code %2, divider %3), direction %4, zero pulse %5")
            .arg(*Pulses)
            .arg(Entry->InterpolCode)
            .arg(Entry->Divider)
            .arg(DirectionShown(*Device.Options, Direction))
            .arg(ZeroPulseShown(*Device.Options, Mode)));
    return 0;
}

int CmdFactory(TCliContext &Context)
{
    TRC_Device &Device = Context.Device;
    if (!LoadCatalogue(Context) || !ConnectAndRead(Device))
        return 1;
    TConfigList Possible;
    FindPossibleConfigs(Device, Possible);
    if (!Possible.FindByPulseCount(Device.FactoryPulseCount)) {
        Fail(QStringLiteral(
                 "the catalogue has no entry with the factory pulse count %1 for article type %2 with "
                 "basic resolution %3; nothing written")
                 .arg(Device.FactoryPulseCount)
                 .arg(Device.ArtType)
                 .arg(Device.BaseCount));
        return 1;
    }
    if (!Device.LoadFactorySettings(Possible)) {
        // The plate is read again first: a failure there has written nothing.
        if (!Device.LastWrite.Started)
            FailCode(QStringLiteral("loading the factory settings failed"), Device.Com->LastResult,
                     QStringLiteral("nothing was written"));
        else
            FailWrite(Device, QStringLiteral("factory"));
        return 1;
    }
    Out(QStringLiteral("Factory settings loaded: pulse count %1, divider %2, direction %3, zero pulse %4")
            .arg(Device.FactoryPulseCount)
            .arg(Device.FactoryDivider)
            .arg(DirectionShown(*Device.Options, Device.FactoryDirection))
            .arg(ZeroPulseShown(*Device.Options, Device.FactoryZeroPulse)));
    return 0;
}

int CmdRegisters(TCliContext &Context)
{
    TRC_Device &Device = Context.Device;
    if (!Connect(Device))
        return 1;
    bool Ok = true;
    for (const auto &[Name, Address] :
         {std::pair{"RAM", EncoderMap::RamBlock}, std::pair{"EEPROM", EncoderMap::EepromBlock}}) {
        std::array<uint8_t, EncoderMap::BlockRegisters> Bytes{};
        if (Device.ReadBlock(Address, Bytes)) {
            Out(QStringLiteral("%1 %2: %3")
                    .arg(QString::fromLatin1(Name), -6)
                    .arg(Address, 2, 16, QLatin1Char('0'))
                    .arg(HexBytes(Bytes))
                    .toUpper());
        } else {
            FailCode(QStringLiteral("reading the %1 block failed").arg(QString::fromLatin1(Name)),
                     Device.Com->LastResult);
            Ok = false; // the other block is still shown
        }
    }
    return Ok ? 0 : 1;
}
