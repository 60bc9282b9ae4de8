#include "cli_context.h"

void Out(const QString &Text)
{
    std::fprintf(stdout, "%s\n", Text.toLocal8Bit().constData());
}

void Fail(const QString &Text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "rotaconf-cli: %s\n", Text.toLocal8Bit().constData());
}

void FailCode(const QString &Text, int32_t Code, const QString &Advice)
{
    const QString Message = QStringLiteral("%1 (%2)").arg(Text, TBissCom::ResultName(Code));
    Fail(Advice.isEmpty() ? Message : Message + QStringLiteral("; ") + Advice);
}

// The adapter a failed connection names: the parallel port by its base, else the USB adapter.
static QString AdapterNotConnected(const TRC_Device &Device)
{
    if (Device.InterfaceKind >= INTERFACE_LPT1 && Device.InterfaceKind <= INTERFACE_LPT3)
        return QStringLiteral("Parallel-port adapter (interface %1) at %2 not connected")
            .arg(Device.InterfaceKind)
            .arg(QString::fromStdString(Device.InterfaceName));
    return QStringLiteral("USB-Biss-Adaptor not connected");
}

bool Connect(TRC_Device &Device)
{
    if (Device.ReopenAndConfig())
        return true;
    // A master left unconfigured or half configured is no connection: CheckConnection opens and
    // configures it once more and answers Connected only when that worked.
    switch (Device.CheckConnection()) {
    case Connected:
        return true;
    case EncoderMissing:
        FailCode(QStringLiteral("Encoder not connected"), Device.LastProbe);
        return false;
    case AdapterMissing:
    default:
        // The reopen failed (its code), or the encoder probe failed in another way (the probe's code).
        FailCode(AdapterNotConnected(Device),
                 Device.Com->LastResult != 0 ? Device.Com->LastResult : Device.LastProbe);
        return false;
    }
}

bool ConnectAndRead(TRC_Device &Device)
{
    if (!Connect(Device))
        return false;
    Device.ArtType = 0;
    if (!Device.ReadRatingPlate()) {
        if (Device.Com->LastResult != 0)
            FailCode(QStringLiteral("Encoder not connected: cannot read the rating plate"),
                     Device.Com->LastResult);
        else
            Fail(QStringLiteral("the encoder has no readable rating plate (format marker is not 1)"));
        return false;
    }
    if (!Device.ReadActualConfig()) {
        FailCode(QStringLiteral("cannot read the current configuration"), Device.Com->LastResult);
        return false;
    }
    return true;
}

bool LoadCatalogue(TCliContext &Context)
{
    return Context.Device.Catalogue->LoadFromFile(Context.CataloguePath);
}
