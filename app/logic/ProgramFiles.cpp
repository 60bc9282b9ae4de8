#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

#ifndef ROTACONF_INSTALLED_DRIVERS
#define ROTACONF_INSTALLED_DRIVERS "../lib/tarnbus"
#endif

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
    const QString Beside = QDir::cleanPath(Dir + QStringLiteral("/../lib/libftd2xx-sim.so"));
    const QString Installed =
        QDir::cleanPath(Dir + QStringLiteral("/" ROTACONF_INSTALLED_DRIVERS "/libftd2xx-sim.so"));
    if (!QFileInfo(Beside).isFile() && QFileInfo(Installed).isFile())
        return Installed;
    return Beside;
}

bool UseSimulatedAdapter(QString &Error)
{
    const QString Driver = SimulatedAdapterFile();
    if (!QFileInfo(Driver).isFile()) {
        Error = QStringLiteral("the simulated adapter %1 is missing").arg(Driver);
        return false;
    }
    if (setenv("TARNBUS_FTD2XX", QFile::encodeName(Driver).constData(), 1) != 0) {
        Error = QStringLiteral("cannot set TARNBUS_FTD2XX");
        return false;
    }
    return true;
}
