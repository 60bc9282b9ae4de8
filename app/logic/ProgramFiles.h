// Files the programs find beside themselves: the catalogue and the simulated adapter's driver. The
// build tree and the installed tree share one shape (bin/, lib/, share/rotaconf/), so both work.
#ifndef ROTACONF_PROGRAMFILES_H
#define ROTACONF_PROGRAMFILES_H

#include <QString>

// Directory of the running program file.
QString ProgramDirectory();

// "Encoder.cfg" beside the program, else the installed one in ../share/rotaconf/; the first place when
// neither exists, so that the catalogue's message names where it was looked for first.
QString DefaultCatalogueFile();

// The simulated adapter: ../lib/libftd2xx-sim.so beside the program (the build tree), else the installed
// one in the driver folder beside the library (../lib/tarnbus, or ../lib/<multiarch>/tarnbus); the first
// place when none exists.
QString SimulatedAdapterFile();

// Points the library's drivers (TARNBUS_FTD2XX, TARNBUS_DLPORTIO) at the simulated adapter, which is
// also the simulated parallel port. Must run before anything opens an adapter. False with a message
// when it is missing.
bool UseSimulatedAdapter(QString &Error);

#endif
