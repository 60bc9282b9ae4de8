// Version reader: the data built into this very program, and files without it or with it damaged.
#include "VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestVersionInfo : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readsBuiltProgram();
    void filesWithoutData();
    void damagedBlockNeverParses();

private:
    QString Write(const QByteArray &bytes, const QString &name = QStringLiteral("file"))
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName()
                                                                                    : QString();
    }

    QTemporaryDir m_dir;
    QByteArray m_block; // this program's version data, cut out of its file
};

// Finds the block in this program's file; the marker is assembled here so no constant holds it.
void TestVersionInfo::initTestCase()
{
    QFile self(ProgramFileName());
    QVERIFY(self.open(QIODevice::ReadOnly));
    const QByteArray program = self.readAll();
    const QByteArray marker = QByteArray("Rotaconf") + "Version" + '\x01';
    for (qsizetype at = program.indexOf(marker); at >= 0 && at + 24 <= program.size() && m_block.isEmpty();
         at = program.indexOf(marker, at + 1)) {
        const auto *size = reinterpret_cast<const uchar *>(program.constData() + at + 16);
        const QByteArray block = program.mid(at, 24 + (size[0] | size[1] << 8 | size[2] << 16));
        TVersionTexts texts;
        if (size[3] == 0 && ReadVersionInfo(Write(block), texts))
            m_block = block;
    }
    QVERIFY(!m_block.isEmpty());
}

void TestVersionInfo::readsBuiltProgram()
{
    QStringList programs{ProgramFileName()};
    const QString rotaconf = QCoreApplication::applicationDirPath() + QStringLiteral("/rotaconf");
    if (QFileInfo::exists(rotaconf)) // the program itself, when built beside the tests
        programs << rotaconf;
    for (const QString &program : programs) {
        TVersionTexts texts;
        QVERIFY2(ReadVersionInfo(program, texts), qPrintable(program));
        QCOMPARE(texts.FileVersion, QStringLiteral("1.1.6.0"));
        QCOMPARE(texts.ProductVersion, QStringLiteral("1.1.6.0"));
        QCOMPARE(texts.ProductName, QStringLiteral("Rotaconf"));
        QCOMPARE(texts.OriginalFilename, QStringLiteral("rotaconf"));
        QCOMPARE(texts.LanguageName, QStringLiteral("German (Germany)"));
        QVERIFY(texts.LegalCopyright.contains(QStringLiteral("Copyright")));
        QVERIFY(!texts.CompanyName.isEmpty() && !texts.Comments.isEmpty());
        QString status, missing = QStringLiteral("stale");
        QVERIFY(ReadVersionValue(program, QStringLiteral("Status"), status) && !status.isEmpty());
        QVERIFY(ReadVersionValue(program, QStringLiteral("NoSuchValue"), missing) && missing.isEmpty());
        QCOMPARE(VersionLabelText(program), QStringLiteral("1.1.6"));
    }
    QCOMPARE(CutVersion(QStringLiteral("10.20.300.4000")), QStringLiteral("10.20.300"));
    QCOMPARE(CutVersion(QStringLiteral("7")), QStringLiteral("7"));
    QCOMPARE(CutVersion(QStringLiteral("2.")), QStringLiteral("2"));
}

void TestVersionInfo::filesWithoutData()
{
    const QString paths[] = {Write(QByteArray(65536, '\xBE'), "plain"), Write({}, "empty"),
                             Write(m_block.left(16), "marker"), m_dir.filePath("missing"), m_dir.path()};
    for (const QString &path : paths) {
        TVersionTexts texts;
        texts.ProductName = QStringLiteral("stale");
        QVERIFY2(!ReadVersionInfo(path, texts), qPrintable(path));
        QCOMPARE(texts.ProductName, QString());
        QCOMPARE(VersionLabelText(path), QString());
    }
    QDate date(1999, 1, 1);
    QVERIFY(!ReadFileDate(m_dir.filePath("missing"), date));
    QVERIFY(ReadFileDate(paths[0], date));
    QCOMPARE(date, QFileInfo(paths[0]).lastModified().date());
}

// Every cut inside the block and every single damaged byte is noticed, never read past or shown;
// a damaged look-alike in front of an intact block does not hide it.
void TestVersionInfo::damagedBlockNeverParses()
{
    const QByteArray before(64, '\0');
    TVersionTexts texts;
    for (qsizetype at = 0; at < m_block.size(); ++at) {
        QVERIFY2(!ReadVersionInfo(Write(before + m_block.left(at)), texts), qPrintable(QString::number(at)));
        QByteArray damaged = m_block;
        damaged[at] = char(damaged[at] ^ 0x5A);
        QVERIFY2(!ReadVersionInfo(Write(before + damaged), texts), qPrintable(QString::number(at)));
    }
    QByteArray huge = m_block;
    huge.replace(16, 4, QByteArray(4, '\xFF'));
    QVERIFY(!ReadVersionInfo(Write(huge), texts));
    QVERIFY(ReadVersionInfo(Write(huge + m_block.left(30) + m_block), texts));
    QCOMPARE(texts.FileVersion, QStringLiteral("1.1.6.0"));
}

QTEST_MAIN(TestVersionInfo)
#include "tst_version.moc"
