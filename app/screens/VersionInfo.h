// Version reader: the version data that the build places in the program file (its own section,
// see version_block.cpp.in), read back from a named file, and the file's date.
#ifndef ROTACONF_VERSIONINFO_H
#define ROTACONF_VERSIONINFO_H

#include <QDate>
#include <QString>

struct TVersionTexts {
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString LegalTrademarks;
    QString OriginalFilename;
    QString ProductName;
    QString ProductVersion;
    QString Comments;
    QString LanguageName; // name of the block's first language
};

// The running program's file.
QString ProgramFileName();

// All texts of the file's version data; a value the data lacks stays empty. False (texts emptied)
// when the file cannot be read or holds no intact version data.
bool ReadVersionInfo(const QString &fileName, TVersionTexts &texts);

// One string value ("ProductName", "Status", ...) of the first language; empty when missing. False
// when the file has no intact version data.
bool ReadVersionValue(const QString &fileName, const QString &valueName, QString &text);

// Date part of the file's last modification time.
bool ReadFileDate(const QString &fileName, QDate &date);

// FileVersion cut before its last "." ("1.1.6.0" -> "1.1.6"), whole when it has none.
QString CutVersion(const QString &fileVersion);

// The main window's version label: CutVersion of the file's FileVersion; empty when the file has
// no version data.
QString VersionLabelText(const QString &fileName);

#endif
