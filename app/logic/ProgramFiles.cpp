#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdlib>

QString ProgramDirectory()
{
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

QString DefaultCatalogueFile()
{
    const QString Dir = ProgramDirectory();
    const QString Beside = Dir + QStringLiteral("/Encoder.cfg");
    const QString Installed = QDir::cleanPath(Dir + QStringLiteral("/../share/rotaconf/Encoder.cfg"));
    if (!QFileInfo(Beside).isFile() && QFileInfo(Installed).isFile())
        return Installed;
    return Beside;
}

QString SimulatedAdapterFile()
{
    const QString Dir = ProgramDirectory();
    const QStringList Places = {
        QStringLiteral("/../lib/libftd2xx-sim.so"),
        QStringLiteral("/../lib/tarnbus/libftd2xx-sim.so"),
#ifdef ROTACONF_LIBRARY_ARCHITECTURE
        QStringLiteral("/../lib/" ROTACONF_LIBRARY_ARCHITECTURE "/tarnbus/libftd2xx-sim.so"),
#endif
    };
    for (const QString &Place : Places) {
        if (QFileInfo(Dir + Place).isFile())
            return QDir::cleanPath(Dir + Place);
    }
    return QDir::cleanPath(Dir + Places.front());
}

bool UseSimulatedAdapter(QString &Error)
{
    const QString Driver = SimulatedAdapterFile();
    if (!QFileInfo(Driver).isFile()) {
        Error = QStringLiteral("the simulated adapter %1 is missing").arg(Driver);
        return false;
    }
    // The same file is the simulated parallel port's driver: one world behind both.
    for (const char *Variable : {"TARNBUS_FTD2XX", "TARNBUS_DLPORTIO"}) {
        if (setenv(Variable, QFile::encodeName(Driver).constData(), 1) != 0) {
            Error = QStringLiteral("cannot set %1").arg(QLatin1String(Variable));
            return false;
        }
    }
    return true;
}
