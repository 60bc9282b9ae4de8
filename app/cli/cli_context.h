// What the commands of rotaconf-cli share: the device model, the catalogue's path and the output.
#ifndef ROTACONF_CLI_CONTEXT_H
#define ROTACONF_CLI_CONTEXT_H

#include "RC_Def.h"

#include <QString>
#include <QStringList>

#include <cstdio>

// The position command's options besides --count.
struct TPositionOptions {
    double Duration = 0; // --duration SECONDS; 0: not given
    bool Follow = false; // --follow: until Ctrl+C
    QString Csv;         // --csv FILE ("-": standard output); empty: none
    bool Summary = false;
    bool Given = false; // any of them was given
};

struct TCliContext {
    TRC_Device &Device;
    QString CataloguePath; // as given by --catalog, else the first file that exists, else the first tried
    QStringList Arguments; // the command's own arguments
    unsigned Count = 10;   // position: the number of sensor cycles (--count)
    TPositionOptions Position = {};
};

// Takes argv[i] when it is one of --duration, --follow, --csv, --summary (and the value after it,
// moving i on). 1: taken; 0: none of them; -1: a bad value, with a message printed.
int TakePositionOption(int argc, char **argv, int &i, TPositionOptions &Options);

// The whole program: arguments as main() receives them; returns the exit status. Kept apart from
// main() so that tests can run it many times in one process.
int RunCli(int argc, char **argv);

// Prints to standard output / a "rotaconf-cli: " message to standard error.
void Out(const QString &Text);
void Fail(const QString &Text);
// The failure message that names the library's code, e.g. "... (BISS_COMM_FAILED)", and what to do
// about it when Advice is given ("...(BISS_COMM_FAILED); run set again").
void FailCode(const QString &Text, int32_t Code, const QString &Advice = QString());

// Opens the adapter and configures the master as the program's Init does. On failure prints why,
// naming the library's code, and returns false.
bool Connect(TRC_Device &Device);
// Connect, then the rating plate and the current configuration.
bool ConnectAndRead(TRC_Device &Device);
// Loads the catalogue; its reader prints what is wrong.
bool LoadCatalogue(TCliContext &Context);

int CmdPlate(TCliContext &Context);
int CmdList(TCliContext &Context);
int CmdSet(TCliContext &Context);
int CmdFactory(TCliContext &Context);
int CmdRegisters(TCliContext &Context);
int CmdPosition(TCliContext &Context);

#endif
