// The main window from start-up to the configuration window and back, against the simulated adapter.
#include "RC_Config.h"
#include "RC_Main.h"
#include "ScreensTestSupport.h"
#include "tarnbus_sim.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

namespace {

const QString kAdapterMessage =
    QStringLiteral("USB-Biss-Adaptor not connected\rUSB-BISS-Adapter nicht angeschlossen");
const QString kEncoderMessage =
    QStringLiteral("Encoder not connected\rDrehgeber nicht richtig angeschlossen");

// Runs Action once on the first visible modal window of type T. A modal window runs its own event
// loop inside the test's wait, so whatever happens while it is open happens here. Deleting the
// returned poll gives up waiting.
template <typename T>
QTimer *WhenModal(QObject *Context, std::function<void(T *)> Action)
{
    auto *poll = new QTimer(Context);
    QObject::connect(poll, &QTimer::timeout, Context, [poll, Action]() {
        auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        Action(window);
    });
    poll->start(20);
    return poll;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir Dir; // only for a catalogue that is not there
    std::unique_ptr<TCapturedMessages> Messages;

    std::unique_ptr<TRC_MainForm> Start(const QString &Catalogue = QString())
    {
        auto form = std::make_unique<TRC_MainForm>();
        if (!Catalogue.isEmpty())
            form->CatalogueFile = Catalogue; // else the shipped one beside the program
        form->show();
        return form;
    }

private slots:
    void init()
    {
        ResetWorld();
        Messages = std::make_unique<TCapturedMessages>();
    }
    void cleanup() { Messages.reset(); }

    // Start-up without adapter, without encoder, without catalogue: the messages, exactly these, and
    // BInit ready for another try. The Init messages carry both languages whatever the setting.
    void startUpFailures_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("catalogueMissing");
        QTest::addColumn<QString>("message");
        QTest::newRow("no adapter") << int(TBSIM_ADAPTER_ABSENT) << false << kAdapterMessage;
        QTest::newRow("no encoder") << int(TBSIM_ENCODER_ABSENT) << false << kEncoderMessage;
        QTest::newRow("no catalogue") << int(TBSIM_ADAPTER_ABSENT) << true << kAdapterMessage;
    }
    void startUpFailures()
    {
        QFETCH(int, fault);
        QFETCH(bool, catalogueMissing);
        QFETCH(QString, message);
        QSettings(TRC_Option::FilePath(), QSettings::IniFormat).setValue(QStringLiteral("System/Lang"), 1);
        tbsim_set_fault(static_cast<tbsim_fault>(fault), 1, 0);
        const QString missing = Dir.filePath(QStringLiteral("nowhere/Encoder.cfg"));
        auto form = Start(catalogueMissing ? missing : QString());
        QStringList expected{message};
        if (catalogueMissing)
            expected.prepend(QStringLiteral("File ") + missing + QStringLiteral(" not found"));
        QTRY_COMPARE(Messages->Boxes.size(), expected.size());
        QTest::qWait(200);
        QCOMPARE(Messages->Texts(), expected);
        QVERIFY(Messages->Boxes.constLast().IsError);
        QVERIFY(form->BInit->isEnabled() && form->isVisible());

        QTest::mouseClick(form->BInit, Qt::LeftButton); // Init again by hand, the same answer
        QCOMPARE(Messages->Texts().constLast(), message);
        QCOMPARE(Messages->Boxes.size(), expected.size() + 1);
    }

    // Start-up reaches the configuration window (main window hidden); Quit ends the program and the
    // window position reaches the settings file.
    void happyPathThenQuit()
    {
        QSettings(TRC_Option::FilePath(), QSettings::IniFormat).setValue(QStringLiteral("Main/Top"), 123);
        QSettings(TRC_Option::FilePath(), QSettings::IniFormat).setValue(QStringLiteral("Main/Left"), 234);
        auto form = Start();
        QCOMPARE(form->pos(), QPoint(234, 123));
        QCOMPARE(form->LVersion->text(), QStringLiteral("1.1.6"));
        QVERIFY(form->LVersion->x() > form->Label1->geometry().right()); // "Version:" stays readable
        QVERIFY(!form->ImageDorvane->pixmap().isNull() && !form->ImEncoder->pixmap().isNull());
        QSignalSpy closed(form.get(), &TRC_MainForm::Closed);

        bool mainHidden = false;
        QString serial, version;
        WhenModal<TRC_ConfigForm>(form.get(), [&](TRC_ConfigForm *config) {
            mainHidden = !form->isVisible();
            serial = config->STSNr->text();
            version = config->LVersion->text();
            form->move(150, 160);
            QTest::mouseClick(config->BCancel, Qt::LeftButton);
        });
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(mainHidden);
        QCOMPARE(serial, QStringLiteral("2612001"));
        QCOMPARE(version, QStringLiteral("1.1.6"));
        QVERIFY(Messages->Boxes.isEmpty());
        QCOMPARE(EncoderBlock(16), (TBlockValues{4, 1, 3, 2}));
        form.reset(); // the device model writes the settings as it goes
        QCOMPARE(SettingsValue(QStringLiteral("Main/Top")), QStringLiteral("160"));
        QCOMPARE(SettingsValue(QStringLiteral("Main/Left")), QStringLiteral("150"));
    }

    // A driver read failing once while Init configures the master: no message, and the configuration
    // window opens on a master that holds its whole configuration (both data words of slave 0), not on
    // one that merely answers a register probe.
    void initConfiguresAgainAfterAHalfFailedConnection()
    {
        for (const uint32_t reads : {2u, 4u, 6u}) {
            ResetWorld();
            tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, reads);
            auto form = Start();
            QSignalSpy closed(form.get(), &TRC_MainForm::Closed);
            uint8_t word1 = 0, word2 = 0;
            WhenModal<TRC_ConfigForm>(form.get(), [&](TRC_ConfigForm *config) {
                word1 = tbsim_master_get(0xC0);
                word2 = tbsim_master_get(0xC2);
                config->reject();
            });
            QTRY_COMPARE(closed.count(), 1);
            QVERIFY(Messages->Boxes.isEmpty());
            QCOMPARE(word1, uint8_t(10 + 63)); // length bytes of the 10- and 24-bit words
            QCOMPARE(word2, uint8_t(24 + 63));
        }
    }

    // The watch finds another encoder: Init runs again by itself and opens a window for the new one.
    void retryRunsInitAgain()
    {
        auto form = Start();
        QSignalSpy closed(form.get(), &TRC_MainForm::Closed);
        QStringList serials;
        WhenModal<TRC_ConfigForm>(form.get(), [&](TRC_ConfigForm *config) {
            serials << config->STSNr->text();
            tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
            WhenModal<TRC_ConfigForm>(form.get(), [&](TRC_ConfigForm *next) {
                serials << next->STSNr->text();
                next->reject();
            });
            config->TimerCheckSameTimer();
        });
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(serials.size(), 2);
        QVERIFY(!serials[1].isEmpty() && serials[1] != serials[0]);
    }

    void errorLogView()
    {
        tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
        auto form = Start();
        QTRY_COMPARE(Messages->Boxes.size(), 1);
        form->Device().ErrorLog = QStringList{QStringLiteral("first"), QStringLiteral("second")};

        QString shown = QStringLiteral("(not opened)");
        QTimer *watch = WhenModal<QDialog>(form.get(), [&](QDialog *view) {
            shown = view->findChild<QPlainTextEdit *>()->toPlainText();
            view->reject();
        });
        QTest::mouseRelease(form->ImEncoder, Qt::LeftButton); // without Ctrl: nothing
        QTest::qWait(100);
        QCOMPARE(shown, QStringLiteral("(not opened)"));
        QCOMPARE(form->Device().ErrorLog.size(), 2);
        QTest::mouseRelease(form->ImEncoder, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(shown, QStringLiteral("first\nsecond"));
        QVERIFY(form->Device().ErrorLog.isEmpty());
        delete watch;
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
