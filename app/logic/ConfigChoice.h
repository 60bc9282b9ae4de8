// What the configuration window and the command line share about the encoder's configuration: which
// catalogue entries it may take, which entry a pulse count writes, and how the plate and the
// settings read as text.
#ifndef ROTACONF_CONFIGCHOICE_H
#define ROTACONF_CONFIGCHOICE_H

#include "RC_Def.h"

#include <QString>

#include <cstdint>

// Clears Dest, then copies the catalogue entries of the device's article type and basic resolution,
// in catalogue order: the configurations the encoder may take.
void FindPossibleConfigs(const TRC_Device &Device, TConfigList &Dest);

// Clears Dest, then copies the entries of Possible with that pulse count in reverse catalogue order.
// The first of them (the last in the catalogue) is the one a choice of that pulse count writes.
void SelectByPulseCount(const TConfigList &Possible, uint32_t PulseCount, TConfigList &Dest);

// The zero-pulse mode (1..6) a choice offers for the encoder's mode: any mode outside 2..6 reads as 1.
int ZeroPulseChoice(int Mode);

// A fixed-length text field of the rating plate as it is shown: up to its first zero character.
QString PlateShownText(const QString &Field);

// The text of a direction of rotation (0, anything else reads as 1) and of a zero-pulse mode (0..6;
// "??" for any other) in the language of the settings.
QString DirectionText(const TRC_Option &Options, int Direction);
QString ZeroPulseText(const TRC_Option &Options, int Mode);

#endif
