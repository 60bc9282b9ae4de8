// About box with and without version data in the program file.
#include "About.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void versionDataOrDesignTexts();
};

// This test program carries the version data just as Rotaconf does; a file without it leaves the
// design texts and shows only its date, a missing file leaves the design date too.
void TestAbout::versionDataOrDesignTexts()
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, '\x7f')) == 4096 && file.flush());
    QVERIFY(file.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(23, 30)), QFileDevice::FileModificationTime));
    file.close();

    TAboutForm own(nullptr);
    own.show();
    QCOMPARE(own.LProductName->text(), QStringLiteral("Rotaconf"));
    QCOMPARE(own.LVersion->text(), QStringLiteral("1.1.6.0"));
    QVERIFY(own.LCopyright->text().startsWith(QStringLiteral("Copyright")));
    QVERIFY(!own.LComments->text().isEmpty() && own.LComments->text() != QStringLiteral("Kommentar"));
    QVERIFY(!own.LStatus->text().isEmpty() && own.LStatus->text() != QStringLiteral("unbekannt"));
    const QDate date = QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date();
    QCOMPARE(own.LFileDate->text(), date.toString(QStringLiteral("dd.MM.yyyy")));

    for (const QString &program : {plain, dir.filePath(QStringLiteral("missing"))}) {
        TAboutForm form(nullptr, program);
        form.show();
        QCOMPARE(form.LProductName->text(), QStringLiteral("Produktname"));
        QCOMPARE(form.LVersion->text(), QStringLiteral("Version"));
        QCOMPARE(form.LCopyright->text(), QString());
        QCOMPARE(form.LComments->text(), QStringLiteral("Kommentar"));
        QCOMPARE(form.LStatus->text(), QStringLiteral("unbekannt"));
        QCOMPARE(form.LFileDate->text(),
                 program == plain ? QStringLiteral("05.03.2024") : QStringLiteral("27.Sept 2001"));
    }
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
