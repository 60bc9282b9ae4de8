// About box with and without version data in the program file.
#include "About.h"
#include "VersionInfo.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void showsVersionDataOfProgram();
    void fileWithoutVersionDataKeepsDesignTexts();
    void missingFileKeepsEverything();
    void modalWithOk();

private:
    static QString WriteFile(const QTemporaryDir &dir, const QByteArray &bytes, const QDateTime &modified);
};

QString TestAbout::WriteFile(const QTemporaryDir &dir, const QByteArray &bytes, const QDateTime &modified)
{
    const QString path = dir.filePath(QStringLiteral("program"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return QString();
    file.setFileTime(modified, QFileDevice::FileModificationTime);
    return path;
}

// This test program links the version data like Rotaconf itself does.
void TestAbout::showsVersionDataOfProgram()
{
    TAboutForm form(nullptr);
    QCOMPARE(form.windowTitle(), QStringLiteral("About"));
    QCOMPARE(form.LProductName->text(), QStringLiteral("Produktname")); // design texts until shown
    QCOMPARE(form.LStatus->text(), QStringLiteral("unbekannt"));

    form.show();
    QCOMPARE(form.LProductName->text(), QStringLiteral("Rotaconf"));
    QCOMPARE(form.LVersion->text(), QStringLiteral("1.1.6.0"));
    QVERIFY(form.LCopyright->text().startsWith(QStringLiteral("Copyright")));
    QVERIFY(!form.LComments->text().isEmpty());
    QVERIFY(form.LComments->text() != QStringLiteral("Kommentar"));
    QVERIFY(!form.LStatus->text().isEmpty());
    QVERIFY(form.LStatus->text() != QStringLiteral("unbekannt"));
    const QDate date = QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date();
    QCOMPARE(form.LFileDate->text(), date.toString(QStringLiteral("dd.MM.yyyy")));
    QVERIFY(!form.ProgramIcon->pixmap().isNull());
}

void TestAbout::fileWithoutVersionDataKeepsDesignTexts()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = WriteFile(dir, QByteArray(4096, '\x7f') + "RotaconfVersio",
                                   QDateTime(QDate(2024, 3, 5), QTime(23, 30)));
    QVERIFY(!path.isEmpty());

    TAboutForm form(nullptr, path);
    form.show();
    QCOMPARE(form.LProductName->text(), QStringLiteral("Produktname"));
    QCOMPARE(form.LVersion->text(), QStringLiteral("Version"));
    QCOMPARE(form.LCopyright->text(), QString());
    QCOMPARE(form.LComments->text(), QStringLiteral("Kommentar"));
    QCOMPARE(form.LStatus->text(), QStringLiteral("unbekannt"));
    QCOMPARE(form.LFileDate->text(), QStringLiteral("05.03.2024"));
}

void TestAbout::missingFileKeepsEverything()
{
    TAboutForm form(nullptr, QStringLiteral("/nonexistent/rotaconf"));
    form.show();
    QCOMPARE(form.LFileDate->text(), QStringLiteral("27.Sept 2001"));
    QCOMPARE(form.LProductName->text(), QStringLiteral("Produktname"));
    QCOMPARE(form.LStatus->text(), QStringLiteral("unbekannt"));
}

void TestAbout::modalWithOk()
{
    QWidget owner;
    QString product;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *form = qobject_cast<TAboutForm *>(modal);
        if (form == nullptr) {
            if (modal != nullptr)
                modal->close();
            return;
        }
        product = form->LProductName->text();
        form->BOK->click();
    });
    TAboutForm form(&owner);
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(product, QStringLiteral("Rotaconf"));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
