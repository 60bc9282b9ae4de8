#include "ConfigChoice.h"

void FindPossibleConfigs(const TRC_Device &Device, TConfigList &Dest)
{
    TConfigList OfType;
    Device.Catalogue->FilterByArtType(Device.ArtType, OfType);
    OfType.FilterByBaseCount(Dest, Device.BaseCount);
}

void SelectByPulseCount(const TConfigList &Possible, uint32_t PulseCount, TConfigList &Dest)
{
    Dest.Clear();
    for (int i = Possible.Count() - 1; i >= 0; --i)
        if (Possible.At(i)->PulseCount == PulseCount)
            Dest.AddCopy(*Possible.At(i));
}

int ZeroPulseChoice(int Mode)
{
    return Mode >= 2 && Mode <= 6 ? Mode : 1;
}

QString PlateShownText(const QString &Field)
{
    const qsizetype End = Field.indexOf(QChar(0));
    return End < 0 ? Field : Field.left(End);
}

QString DirectionText(const TRC_Option &Options, int Direction)
{
    return Options.Text(Direction == 0 ? TxtDirectionCcw : TxtDirectionCw);
}

QString ZeroPulseText(const TRC_Option &Options, int Mode)
{
    if (Mode < 0 || Mode > 6)
        return QStringLiteral("??");
    return Options.Text(TxtZeroPulseMode0 + Mode);
}
