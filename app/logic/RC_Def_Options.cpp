// "Rotaconf.ini": window position and language, in the user's configuration directory.
#include "RC_Def.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr qint64 StaleEmptyLockMs = 2000;

int32_t ReadInt(const QSettings &Settings, const char *Key, int32_t Default)
{
    bool Ok = false;
    const int Value = Settings.value(QLatin1String(Key)).toString().trimmed().toInt(&Ok);
    return Ok ? Value : Default;
}

} // namespace

QString TRC_Option::FilePath()
{
    QString Directory = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative value is not a base directory by the XDG rules and is ignored.
    if (Directory.isEmpty() || QDir::isRelativePath(Directory))
        Directory = QDir::homePath() + QStringLiteral("/.config");
    return Directory + QLatin1Char('/') + QLatin1String(FileName);
}

void TRC_Option::Load()
{
    const QSettings Settings(FilePath(), QSettings::IniFormat);
    Top = ReadInt(Settings, "Main/Top", 200);
    Left = ReadInt(Settings, "Main/Left", 300);
    const int32_t Lang = ReadInt(Settings, "System/Lang", 0);
    LangBase = (Lang < 0 ? 0 : Lang > 1 ? 1 : Lang) * LangGerman;
}

void TRC_Option::Save() const
{
    const QString Path = FilePath();
    QDir().mkpath(QFileInfo(Path).absolutePath());
    // A writer fills its lock file the moment it creates it; an empty one that has aged is what a
    // killed run left behind, and would hold this save for half a minute before counting as stale.
    const QFileInfo Lock(Path + QStringLiteral(".lock"));
    if (Lock.isFile() && Lock.size() == 0 &&
        Lock.lastModified().msecsTo(QDateTime::currentDateTime()) > StaleEmptyLockMs)
        QFile::remove(Lock.filePath());
    QSettings Settings(Path, QSettings::IniFormat);
    Settings.setValue(QStringLiteral("Main/Top"), Top);
    Settings.setValue(QStringLiteral("Main/Left"), Left);
    Settings.setValue(QStringLiteral("System/Lang"), LangBase / LangGerman);
    Settings.sync();
}
