#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool UseSimulatedAdapter(QString &Error)
{
    const QString Driver = QDir::cleanPath(ProgramDirectory() + QStringLiteral("/../lib/libftd2xx-sim.so"));
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
