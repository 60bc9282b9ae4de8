// rotaconf-cli position: sensor cycles in batches, each slave's data words as they come, optionally a
// CSV record of every cycle, and at the end the cycles, the failed ones by kind and the pace.
#include "cli_context.h"

#include "PositionRun.h"

#include <QFile>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

// Ctrl+C ends the run after the batch in progress; the previous handling comes back afterwards.
class TInterruptCatcher {
public:
    TInterruptCatcher()
    {
        g_interrupted = 0;
        m_previous = std::signal(SIGINT, OnInterrupt);
    }
    ~TInterruptCatcher() { std::signal(SIGINT, m_previous); }
    TInterruptCatcher(const TInterruptCatcher &) = delete;
    TInterruptCatcher &operator=(const TInterruptCatcher &) = delete;

private:
    void (*m_previous)(int) = SIG_DFL;
};

// Batches short enough that Ctrl+C and the end of a duration are met within about this.
constexpr double kBatchMilliseconds = 50;

QString WordShown(const TPositionRun &Run, uint32_t Slave, int Word)
{
    return Run.CrcChecked(Slave, Word) ? QStringLiteral("CRC ok") : QStringLiteral("valid");
}

void PrintCycles(const TPositionRun &Run, const TPositionBatch &Batch)
{
    for (uint32_t Cycle = 0; Cycle < Batch.Done; ++Cycle) {
        QString Line = QStringLiteral("cycle %1").arg(Batch.FirstCycle + Cycle, 4);
        for (uint32_t Slave = 0; Slave < Batch.Slaves; ++Slave) {
            Line += QStringLiteral("  slave %1: %2 (%3)")
                        .arg(Slave)
                        .arg(Batch.Word1(Cycle, Slave), 10)
                        .arg(WordShown(Run, Slave, 1));
            if (Batch.HasWord2(Cycle, Slave))
                Line += QStringLiteral(" second %1 (%2)")
                            .arg(Batch.Word2(Cycle, Slave), 10)
                            .arg(WordShown(Run, Slave, 2));
        }
        Out(Line);
    }
    if (Batch.Failure != FailNone)
        Out(QStringLiteral("cycle %1  no valid data: %2 (%3)")
                .arg(Batch.FirstCycle + Batch.Done, 4)
                .arg(FailureName(Batch.Failure), TBissCom::ResultName(Batch.Code)));
}

bool ParseSeconds(const QString &Text, double &Seconds)
{
    bool Ok = false;
    Seconds = Text.toDouble(&Ok);
    return Ok && Seconds > 0 && Seconds <= 1e7;
}

} // namespace

int TakePositionOption(int argc, char **argv, int &i, TPositionOptions &Options)
{
    const QString Arg = QString::fromLocal8Bit(argv[i]);
    const QString Name = Arg.section(QLatin1Char('='), 0, 0);
    const bool Inline = Arg.contains(QLatin1Char('='));
    if (Name == QLatin1String("--follow") || Name == QLatin1String("--summary")) {
        if (Inline) {
            Fail(QStringLiteral("%1 takes no value").arg(Name));
            return -1;
        }
        (Name == QLatin1String("--follow") ? Options.Follow : Options.Summary) = true;
        Options.Given = true;
        return 1;
    }
    if (Name != QLatin1String("--duration") && Name != QLatin1String("--csv"))
        return 0;
    QString Value;
    if (Inline) {
        Value = Arg.section(QLatin1Char('='), 1);
    } else if (++i < argc) {
        Value = QString::fromLocal8Bit(argv[i]);
    } else {
        Fail(Name == QLatin1String("--csv")
                 ? QStringLiteral("--csv needs a file name (- for standard output)")
                 : QStringLiteral("--duration needs a number of seconds"));
        return -1;
    }
    Options.Given = true;
    if (Name == QLatin1String("--csv")) {
        if (Value.isEmpty()) {
            Fail(QStringLiteral("--csv needs a file name (- for standard output)"));
            return -1;
        }
        Options.Csv = Value;
        return 1;
    }
    if (!ParseSeconds(Value, Options.Duration)) {
        Fail(QStringLiteral("--duration takes a number of seconds above 0, not '%1'").arg(Value));
        return -1;
    }
    return 1;
}

int CmdPosition(TCliContext &Context)
{
    const TPositionOptions &Options = Context.Position;
    // The record's file is opened before anything runs: a path that cannot be written costs no cycle.
    QFile Csv;
    const bool CsvToStdout = Options.Csv == QLatin1String("-");
    if (CsvToStdout ? !Csv.open(stdout, QIODevice::WriteOnly)
                    : !Options.Csv.isEmpty() && (Csv.setFileName(Options.Csv),
                                                 !Csv.open(QIODevice::WriteOnly | QIODevice::Truncate))) {
        Fail(QStringLiteral("cannot write the CSV file %1: %2").arg(Options.Csv, Csv.errorString()));
        return 1;
    }
    // With the record on standard output the cycles are not printed and the end goes to standard error.
    const auto Report = [CsvToStdout](const QString &Text) {
        std::fprintf(CsvToStdout ? stderr : stdout, "%s\n", Text.toLocal8Bit().constData());
    };
    const bool PerCycle = !Options.Summary && !CsvToStdout;

    // From here on Ctrl+C ends the run in order, also while the adapter is being opened.
    const TInterruptCatcher Interrupt;
    TRC_Device &Device = Context.Device;
    if (!Connect(Device))
        return 1;
    TPositionRun Run(*Device.Com);
    if (!Run.Start()) {
        FailCode(QStringLiteral("cannot read the master's slave count and CRC settings"),
                 Device.Com->LastResult);
        return 1;
    }

    bool WriteFailed = false;
    QByteArray Rows = TPositionRun::CsvHeader();
    const auto WriteRows = [&] {
        if (Csv.isOpen() && !WriteFailed && !Rows.isEmpty()) {
            WriteFailed = Csv.write(Rows) != Rows.size() || !Csv.flush();
            if (WriteFailed)
                Fail(
                    QStringLiteral("writing the CSV file %1 failed: %2").arg(Options.Csv, Csv.errorString()));
        }
        Rows.clear();
    };
    WriteRows();

    bool AdapterLost = false;
    const int64_t DurationUs = static_cast<int64_t>(Options.Duration * 1e6);
    const bool Counted = !Options.Follow && Options.Duration <= 0;
    while (!g_interrupted && !WriteFailed) {
        uint32_t Batch = Run.BatchFor(kBatchMilliseconds);
        if (Counted) {
            if (Run.Cycles() >= Context.Count)
                break;
            Batch = static_cast<uint32_t>(std::min<uint64_t>(Batch, Context.Count - Run.Cycles()));
        } else if (DurationUs > 0 && Run.ElapsedUs() >= DurationUs) {
            break;
        }
        const TPositionBatch &Result = Run.Run(Batch);
        if (PerCycle)
            PrintCycles(Run, Result);
        if (Csv.isOpen())
            TPositionRun::AppendCsvRows(Result, Rows);
        WriteRows();
        // An adapter or master that cannot be reached gives no further cycle: the run ends here
        // instead of counting every cycle left as another failure.
        if (Result.Failure == FailAdapter) {
            AdapterLost = true;
            break;
        }
    }
    std::fflush(stdout);

    const double Seconds = static_cast<double>(Run.ElapsedUs()) / 1e6;
    Report(QStringLiteral("%1 cycles in %2 s: %3 cycles per second%4")
               .arg(Run.Cycles())
               .arg(Seconds, 0, 'f', 3)
               .arg(Seconds > 0 ? static_cast<double>(Run.Cycles()) / Seconds : 0.0, 0, 'f', 0)
               .arg(g_interrupted ? QStringLiteral(" (interrupted)") : QString()));
    Report(QStringLiteral("failed cycles: %1 (no answer %2, CRC %3, time-out %4, adapter %5)")
               .arg(Run.Failed())
               .arg(Run.Failures(FailNoAnswer))
               .arg(Run.Failures(FailCrc))
               .arg(Run.Failures(FailTimeout))
               .arg(Run.Failures(FailAdapter)));
    if (Csv.isOpen())
        Csv.close();
    if (WriteFailed)
        return 1;
    if (AdapterLost) {
        FailCode(QStringLiteral("the adapter stopped answering after %1 cycles").arg(Run.Cycles()),
                 Run.Last().Code);
        return 1;
    }
    if (Run.Failed() != 0) {
        Fail(QStringLiteral("%1 of %2 cycles delivered no valid data").arg(Run.Failed()).arg(Run.Cycles()));
        return 1;
    }
    return 0;
}
