// rotaconf-cli: the program's logic without windows, for scripts and production lines.
#include "ProgramFiles.h"
#include "cli_context.h"

#include <cstdlib>
#include <cstring>
#include <map>

namespace {

const char kHelp[] =
    "Usage: rotaconf-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
    "\n"
    "Reads and configures a programmable incremental encoder through the USB-BiSS adapter, as Rotaconf\n"
    "does, without windows.\n"
    "\n"
    "Commands:\n"
    "  plate                     rating plate, factory settings and current configuration; the current\n"
    "                            pulse count is the catalogue entry with the encoder's code and divider\n"
    "  list                      the configurations the catalogue allows for the connected encoder\n"
    "                            (its article type and basic resolution)\n"
    "  set PULSES [DIR [MODE]]   writes a configuration: the pulse count (one the list offers; 2'048 and\n"
    "                            2048 are the same), the direction of rotation DIR (0: CHB lags CHA, CCW;\n"
    "                            1: CHB lags CHA, CW) and the zero-pulse mode MODE (1 A & B HIGH, 2 A & B\n"
    "                            LOW, 3 A HIGH, 4 A LOW, 5 B HIGH, 6 B LOW). DIR and MODE left out keep\n"
    "                            the encoder's. Writes the EEPROM block, then the RAM block, keeping\n"
    "                            every bit it does not set; a pulse count shared by several entries\n"
    "                            takes the last one, as the configuration window does\n"
    "  factory                   loads the factory settings (needs a catalogue entry with the factory\n"
    "                            pulse count)\n"
    "  registers                 the RAM (0..15) and EEPROM (16..31) register blocks in hexadecimal\n"
    "  position [--count N | --duration SECONDS | --follow] [--csv FILE] [--summary]\n"
    "                            runs sensor cycles: N of them (default 10, at most 1000000), for\n"
    "                            SECONDS, or until Ctrl+C; prints for each the first data word of every\n"
    "                            configured slave, its second word where one came, and \"CRC ok\" where\n"
    "                            the master checks a CRC on the word, else \"valid\"; then the cycles,\n"
    "                            the failed cycles by kind (no answer, CRC, time-out, adapter) and the\n"
    "                            cycles per second. --summary prints only that end. --csv writes a row\n"
    "                            per cycle and slave to FILE (- for standard output): cycle, time_us\n"
    "                            (since the start), slave, word1, word2 (empty when none came), valid\n"
    "                            (0 or 1), error (empty, or the kind). Ctrl+C ends the run with the file\n"
    "                            complete and the end printed. Exit status 1 when a cycle failed\n"
    "\n"
    "Options:\n"
    "  --simulate                use the simulated adapter and encoder (libftd2xx-sim.so in ../lib beside\n"
    "                            this program, or installed with the library) instead of the real adapter\n"
    "  --interface N             the adapter kind: 4 the USB adapter (default); 1, 2 or 3 a parallel-port\n"
    "                            adapter (two 8-bit bus wirings, or the bit-serial one) at the base\n"
    "                            --port names\n"
    "  --port TEXT               the parallel port's base for --interface 1 to 3 (default 0x378; 0x278\n"
    "                            and 0x3BC are the other usual ones)\n"
    "  --log                     write the trace of every register transfer to standard error\n"
    "  --register-mode b|c       how the encoder's registers are reached: b (default) lets the master\n"
    "                            chip run each transfer, c sends the control frame bit by bit\n"
    "  --catalog FILE            the catalogue to use; default Encoder.cfg in this program's directory,\n"
    "                            else ../share/rotaconf/Encoder.cfg\n"
    "  --version                 the program's version\n"
    "  --help                    this text\n"
    "Options may stand before or after the command.\n"
    "\n"
    "Settings (language of the texts) come from Rotaconf.ini in $XDG_CONFIG_HOME (default ~/.config).\n"
    "The adapter's driver is the D2XX library named by TARNBUS_FTD2XX, else FTDI's libftd2xx.so when it\n"
    "is installed, else the project's open driver on libftdi1 (libtarnbus-ftdi.so). The parallel port's\n"
    "is the port I/O library named by TARNBUS_DLPORTIO, else libdlportio.so. With --simulate the\n"
    "simulated port is at 0x378 with the bit-serial adapter (kind 3) unless its scenario says otherwise.\n"
    "\n"
    "Exit status: 0 on success; 1 when the adapter, the encoder or the catalogue fails, with a message\n"
    "naming the library's result code (for example BISS_COMM_FAILED); 2 for a usage error.\n";

// Catalogue messages go to standard error as the CLI's own.
class TCliMessages final : public TUserMessages {
public:
    void Error(const QString &Text) override { Fail(Lines(Text)); }
    void Info(const QString &Text) override { Out(Lines(Text)); }

private:
    static QString Lines(QString Text) { return Text.replace(QChar('\r'), QChar('\n')); }
};

const char kUsageLine[] = "Usage: rotaconf-cli [OPTIONS] COMMAND [ARGUMENTS] (see --help)\n";

// What was wrong, then the usage.
int UsageError(const QString &Text)
{
    Fail(Text);
    std::fputs(kUsageLine, stderr);
    return 2;
}

} // namespace

int RunCli(int argc, char **argv)
{
    bool Simulate = false, Log = false, CountGiven = false, ModeC = false;
    unsigned Count = 10;
    TPositionOptions Position;
    uint32_t Interface = INTERFACE_USB;
    QByteArray PortText;
    QString Catalogue, Command;
    QStringList Arguments;
    for (int i = 1; i < argc; ++i) {
        const QString Arg = QString::fromLocal8Bit(argv[i]);
        // Options may also follow the command ("plate --simulate"); the commands' own arguments never
        // start with "--".
        if (!Command.isEmpty() && !Arg.startsWith(QLatin1String("--")) && Arg != QLatin1String("-h")) {
            Arguments << Arg;
        } else if (Arg == QLatin1String("--help") || Arg == QLatin1String("-h")) {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (Arg == QLatin1String("--version")) {
            std::printf("rotaconf-cli %s\n", TARNBUS_PROGRAM_VERSION);
            return 0;
        } else if (Arg == QLatin1String("--simulate")) {
            Simulate = true;
        } else if (Arg == QLatin1String("--log")) {
            Log = true;
        } else if (Arg == QLatin1String("--register-mode") ||
                   Arg.startsWith(QLatin1String("--register-mode="))) {
            QString Mode = Arg.mid(16);
            if (Arg == QLatin1String("--register-mode")) {
                if (++i >= argc) {
                    Fail(QStringLiteral("--register-mode needs b or c"));
                    return 2;
                }
                Mode = QString::fromLocal8Bit(argv[i]);
            }
            Mode = Mode.toLower();
            if (Mode != QLatin1String("b") && Mode != QLatin1String("c")) {
                Fail(QStringLiteral("--register-mode takes b or c, not %1").arg(Mode));
                return 2;
            }
            ModeC = Mode == QLatin1String("c");
        } else if (Arg == QLatin1String("--catalog")) {
            if (++i >= argc) {
                Fail(QStringLiteral("--catalog needs a file name"));
                return 2;
            }
            Catalogue = QString::fromLocal8Bit(argv[i]);
        } else if (Arg == QLatin1String("--count") || Arg.startsWith(QLatin1String("--count="))) {
            QString Value = Arg.mid(8);
            if (Arg == QLatin1String("--count")) {
                if (++i >= argc) {
                    Fail(QStringLiteral("--count needs a number of cycles"));
                    return 2;
                }
                Value = QString::fromLocal8Bit(argv[i]);
            }
            bool Ok = false;
            Count = Value.toUInt(&Ok);
            if (!Ok || Count < 1 || Count > 1000000) {
                Fail(QStringLiteral("--count takes a number of cycles from 1 to 1000000, not '%1'")
                         .arg(Value));
                return 2;
            }
            CountGiven = true;
        } else if (Arg.startsWith(QLatin1String("--catalog="))) {
            Catalogue = Arg.mid(10);
        } else if (Arg == QLatin1String("--interface") || Arg.startsWith(QLatin1String("--interface="))) {
            const QString Value = Arg.contains(QLatin1Char('=')) ? Arg.section(QLatin1Char('='), 1)
                                  : ++i < argc                   ? QString::fromLocal8Bit(argv[i])
                                                                 : QString();
            bool Ok = false;
            const uint Kind = Value.toUInt(&Ok);
            if (!Ok || Kind < INTERFACE_LPT1 || Kind > INTERFACE_SY2D) {
                Fail(QStringLiteral("--interface needs an adapter kind from 1 to 5 (see --help)"));
                return 2;
            }
            Interface = Kind;
        } else if (Arg == QLatin1String("--port") || Arg.startsWith(QLatin1String("--port="))) {
            if (Arg.contains(QLatin1Char('='))) {
                PortText = Arg.section(QLatin1Char('='), 1).toLocal8Bit();
            } else if (++i < argc) {
                PortText = argv[i];
            } else {
                Fail(QStringLiteral("--port needs a port base such as 0x378"));
                return 2;
            }
        } else if (const int Taken = TakePositionOption(argc, argv, i, Position); Taken != 0) {
            if (Taken < 0)
                return 2;
        } else if (Arg.startsWith(QLatin1Char('-'))) {
            return UsageError(QStringLiteral("unknown option %1").arg(Arg));
        } else {
            Command = Arg;
        }
    }

    static const std::map<QString, int (*)(TCliContext &)> Commands = {
        {QStringLiteral("plate"), CmdPlate},
        {QStringLiteral("list"), CmdList},
        {QStringLiteral("set"), CmdSet},
        {QStringLiteral("factory"), CmdFactory},
        {QStringLiteral("registers"), CmdRegisters},
        {QStringLiteral("position"), CmdPosition},
    };
    const auto Found = Commands.find(Command);
    if (Found == Commands.end()) {
        return UsageError(Command.isEmpty() ? QStringLiteral("no command given")
                                            : QStringLiteral("unknown command %1").arg(Command));
    }
    if ((CountGiven || Position.Given) && Found->second != CmdPosition) {
        Fail(QStringLiteral("--count, --duration, --follow, --csv and --summary belong to the position "
                            "command (see --help)"));
        return 2;
    }
    if (CountGiven + (Position.Duration > 0) + Position.Follow > 1) {
        Fail(QStringLiteral("position takes one of --count, --duration and --follow"));
        return 2;
    }
    if (Found->second != CmdSet && !Arguments.isEmpty()) {
        Fail(QStringLiteral("%1 takes no arguments (see --help)").arg(Command));
        return 2;
    }

    // The library loads its USB driver at the first OpenInterface; point it at the simulator first.
    QString SimError;
    if (Simulate && !UseSimulatedAdapter(SimError)) {
        Fail(SimError);
        return 1;
    }

    TCliMessages Messages;
    SetUserMessages(&Messages);
    int Status = 0;
    {
        TRC_Device Device;
        Device.SaveOptionsAtExit = false; // no command changes a setting
        Device.InterfaceKind = Interface;
        // The first printer port of a PC, unless another one was named.
        if (PortText.isEmpty() && Interface >= INTERFACE_LPT1 && Interface <= INTERFACE_LPT3)
            PortText = "0x378";
        Device.InterfaceName = PortText.toStdString();
        Device.RegisterModeC = ModeC;
        if (Log)
            Device.Com->ShowDebug(); // without windows the trace goes to standard error
        TCliContext Context{Device, Catalogue.isEmpty() ? DefaultCatalogueFile() : Catalogue, Arguments,
                            Count, Position};
        Status = Found->second(Context);
    }
    SetUserMessages(nullptr);
    return Status;
}
