// rotaconf [--simulate] [--version] [--help]: configures a programmable incremental rotary encoder through a USB-BiSS
// adapter. --simulate runs against the simulated adapter and encoder shipped with the program.
//
// ROTACONF_SCREENSHOT=<file.png> (used by the smoke test and to make the picture of the manual): once
// the configuration window is up, save a picture of it to that file and end the program.

#include "DebugWindow.h"
#include "MessageBoxes.h"
#include "ProgramFiles.h"
#include "RC_Config.h"
#include "RC_Main.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Usage(std::FILE *To)
{
    std::fprintf(
        To, "Usage: rotaconf [--simulate]\n"
            "Configures a programmable incremental rotary encoder through the USB-BiSS adapter, in windows.\n"
            "  --simulate  run against the simulated adapter and encoder (libftd2xx-sim.so, installed with\n"
            "              the library or in ../lib beside this program)\n"
            "  --version   the program's version\n"
            "  --help      this text\n"
            "Qt's own options (-platform NAME, -style NAME, -display NAME) are passed on. Without windows:\n"
            "rotaconf-cli.\n");
}

int UsageError(const char *What, const char *Argument)
{
    std::fprintf(stderr, "rotaconf: %s %s\n", What, Argument);
    Usage(stderr);
    return 2;
}

// Whether Qt will find a screen to open windows on: a platform named on the command line or in
// QT_QPA_PLATFORM, else an X or Wayland display.
bool HasDisplay(bool PlatformGiven)
{
    auto set = [](const char *Name) {
        const char *Value = std::getenv(Name);
        return Value && *Value;
    };
    return PlatformGiven || set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// Waits for the configuration window, saves its picture and sends it away with the cancel result,
// which ends the program.
void ScreenshotWhenReady(const QString &File)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(200);
    QObject::connect(poll, &QTimer::timeout, [poll, File]() {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *form = qobject_cast<TRC_ConfigForm *>(window);
            if (!form || !form->isVisible())
                continue;
            poll->stop();
            // Give the window a moment to paint before taking its picture.
            QTimer::singleShot(700, form, [form, File]() {
                const bool saved = form->grab().save(File);
                std::fprintf(stderr, saved ? "rotaconf: saved %s\n" : "rotaconf: could not save %s\n",
                             qPrintable(File));
                if (!saved)
                    QCoreApplication::exit(1);
                form->done(TRC_ConfigForm::ModalCancel);
            });
            return;
        }
    });
    poll->start();
}

} // namespace

int main(int argc, char *argv[])
{
    bool simulate = false, platformGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--simulate") == 0) {
            simulate = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("rotaconf %s\n", TARNBUS_PROGRAM_VERSION);
            return 0;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0' && !(argv[i][1] == '-' && argv[i][2] == '\0')) {
            // Options Qt itself understands (-platform, -style...) come before ours are checked.
            if (std::strncmp(argv[i], "-platform", 9) != 0 && std::strncmp(argv[i], "-style", 6) != 0 &&
                std::strncmp(argv[i], "-display", 8) != 0)
                return UsageError("unknown option", argv[i]);
            platformGiven = platformGiven || std::strncmp(argv[i], "-platform", 9) == 0;
            ++i; // its value
        } else {
            return UsageError("unexpected argument", argv[i]);
        }
    }
    if (!HasDisplay(platformGiven)) {
        std::fprintf(stderr,
                     "rotaconf: no display (DISPLAY and WAYLAND_DISPLAY are empty): Rotaconf needs one "
                     "for its windows. Without windows, rotaconf-cli does the same work (see "
                     "rotaconf-cli --help).\n");
        return 1;
    }
    QString simError;
    if (simulate && !UseSimulatedAdapter(simError)) { // before anything loads a driver
        std::fprintf(stderr, "rotaconf: %s\n", qPrintable(simError));
        return 1;
    }

    QApplication app(argc, argv);
    SetUpApplication();

    TBoxMessages boxes;
    SetUserMessages(&boxes);
    InstallDebugWindowFactory();

    int result = 0;
    {
        TRC_MainForm form;
        QObject::connect(&form, &TRC_MainForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        const QByteArray screenshot = qgetenv("ROTACONF_SCREENSHOT");
        if (!screenshot.isEmpty())
            ScreenshotWhenReady(QString::fromLocal8Bit(screenshot));
        form.show();
        result = app.exec();
    }
    SetUserMessages(nullptr);
    return result;
}
