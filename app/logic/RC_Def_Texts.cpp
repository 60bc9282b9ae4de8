// The program's texts in English (ids 1..36) and German (ids 1001..1036).
#include "RC_Def.h"

#include <iterator>

namespace {

struct TTextPair {
    const char16_t *English;
    const char16_t *German;
};

// Index n - 1 holds the texts of id n; ids 6 to 8 have none.
constexpr TTextPair Texts[] = {
    {u"File", u"Datei"},
    {u"Quit", u"Beenden"},
    {u"Read data from encoder", u"Daten von Drehgeber lesen"},
    {u"System Settings", u"Systemeinstellungen"},
    {u"Language", u"Sprache"},
    {u"", u""},
    {u"", u""},
    {u"", u""},
    {u"CHB lags CHA, CCW", u"A vor B bei CCW"},
    {u"CHB lags CHA, CW", u"A vor B bei CW"},
    {u"Kein Nullimpuls", u"Kein Nullimpuls"},
    {u"A & B HIGH", u"A & B ausgetastet"},
    {u"A & B LOW", u"A* & B* ausgetastet"},
    {u"A HIGH", u"A ausgetastet"},
    {u"A LOW", u"A* ausgetastet"},
    {u"B HIGH", u"B ausgetastet"},
    {u"B LOW", u"B* ausgetastet"},
    {u"Factory settings", u"Werkseinstellungen"},
    {u"Order designation", u"Bestellbezeichnung"},
    {u"Basic resolution", u"Grundaufl\u00F6sung"},
    {u"Number of pulses", u"Impulszahl"},
    {u"Direction of rotation", u"Drehrichtung"},
    {u"Zero pulse readout", u"Nullimpulsaustastung"},
    {u"Load factory settings", u"Werkseinstellungen laden"},
    {u"Parameters", u"Parameter"},
    {u"Max. revolutions [rpm]", u"Max. Drehzahl [U/min]"},
    {u"Signal performance", u"Signalg\u00FCte"},
    {u"Direction of rotation", u"Drehrichtung"},
    {u"Read", u"Lesen"},
    {u"Write", u"Schreiben"},
    {u"Encoder not connected", u"Drehgeber nicht richtig angeschlossen"},
    {u"USB-Biss-Adaptor not connected", u"USB-BISS-Adapter nicht angeschlossen"},
    {u"USB initialization failed", u"Fehler Initialisierung USB"},
    {u"Rotaconf initialization failed", u"Fehler Initialisierung  Rotaconf"},
    {u"Communication", u"Kommunikation"},
    {u"Encoder holds another configuration than written",
     u"Drehgeber enth\u00E4lt andere Konfiguration als geschrieben"},
};

constexpr int TextCount = static_cast<int>(std::size(Texts));
static_assert(TextCount == 36);

} // namespace

QString TRC_Option::TextOf(int AbsoluteId)
{
    if (AbsoluteId >= 1 && AbsoluteId <= TextCount)
        return QString::fromUtf16(Texts[AbsoluteId - 1].English);
    if (AbsoluteId > LangGerman && AbsoluteId <= LangGerman + TextCount)
        return QString::fromUtf16(Texts[AbsoluteId - LangGerman - 1].German);
    return QString();
}
