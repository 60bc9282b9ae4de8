// The main window from start-up to the configuration window and back, against the simulated adapter.
#include "About.h"
#include "RC_Config.h"
#include "RC_ConfigManual.h"
#include "RC_Def.h"
#include "RC_Main.h"
#include "ScreensTestSupport.h"
#include "tarnbus_sim.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString kAdapterMessage = QStringLiteral("USB-Biss-Adaptor not connected\rUSB-BISS-Adapter nicht angeschlossen");
const QString kEncoderMessage = QStringLiteral("Encoder not connected\rDrehgeber nicht richtig angeschlossen");

// Runs Action once on the first visible modal window of type T. The window runs its own event loop
// inside the test's wait, so everything that happens while it is open happens here.
// Returns the poll, which a test deletes to give up waiting.
template <typename T>
QTimer *WhenModal(QObject *Context, std::function<void(T *)> Action) {
  auto *poll = new QTimer(Context);
  poll->setInterval(20);
  QObject::connect(poll, &QTimer::timeout, Context, [poll, Action]() {
    auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
    if (!window || !window->isVisible())
      return;
    poll->stop();
    poll->deleteLater();
    Action(window);
  });
  poll->start();
  return poll;
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

  QTemporaryDir Dir;
  std::unique_ptr<TCapturedMessages> Messages;

  QString Catalogue() const { return Dir.filePath(QStringLiteral("Encoder.cfg")); }

  std::unique_ptr<TRC_MainForm> Start(const QString &CatalogueFile) {
    auto form = std::make_unique<TRC_MainForm>();
    form->CatalogueFile = CatalogueFile;
    form->show();
    return form;
  }

private slots:
  void initTestCase() {
    QVERIFY(Dir.isValid());
    QVERIFY(WriteCatalogue(Catalogue(), {{58, QStringLiteral("ROTA 58")}},
                           {{58, 4096, 1024, 4, 4}, {58, 4096, 2048, 4, 2}, {58, 4096, 4096, 4, 1}}));
  }

  void init() {
    ResetWorld();
    Messages = std::make_unique<TCapturedMessages>();
  }

  void cleanup() { Messages.reset(); }

  void layoutAndVersion() {
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    auto form = Start(Catalogue());
    QCOMPARE(form->windowTitle(), QStringLiteral("Rotaconf"));
    QCOMPARE(form->Label1->text(), QStringLiteral("Version:"));
    QCOMPARE(form->LVersion->text(), QStringLiteral("1.1.6"));  // the project's 1.1.6.0, cut at its last dot
    QCOMPARE(form->BInit->text(), QStringLiteral("Init"));
    QCOMPARE(form->TimerLoad->interval(), 444);
    QVERIFY(form->TimerLoad->isSingleShot());
    // Both pictures are decoded and scaled into their places.
    const QPixmap logo = form->ImageDorvane->pixmap();
    const QPixmap encoder = form->ImEncoder->pixmap();
    QVERIFY(!logo.isNull());
    QVERIFY(!encoder.isNull());
    QVERIFY(logo.width() <= 361 && logo.height() <= 105);
    QVERIFY(logo.width() == 361 || logo.height() == 105);
    QVERIFY(encoder.width() <= 363 && encoder.height() <= 257);
    QTRY_COMPARE(Messages->Boxes.size(), 1);
  }

  void noAdapterShowsOneMessage() {
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    auto form = Start(Catalogue());
    QTRY_COMPARE(Messages->Boxes.size(), 1);
    QTest::qWait(300);  // nothing else follows
    QCOMPARE(Messages->Boxes.size(), 1);
    QVERIFY(Messages->Boxes[0].IsError);
    QCOMPARE(Messages->Boxes[0].Text, kAdapterMessage);
    QVERIFY(form->BInit->isEnabled());
    QVERIFY(form->isVisible());

    // Init can be run again by hand, as often as wanted; the message is the same.
    QTest::mouseClick(form->BInit, Qt::LeftButton);
    QCOMPARE(Messages->Texts(), (QStringList{kAdapterMessage, kAdapterMessage}));
    QVERIFY(form->BInit->isEnabled());
  }

  void noEncoderShowsEncoderMessage() {
    // The Init messages carry both languages whatever the setting.
    QSettings(TRC_Option::FilePath(), QSettings::IniFormat).setValue(QStringLiteral("System/Lang"), 1);
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    auto form = Start(Catalogue());
    QTRY_COMPARE(Messages->Boxes.size(), 1);
    QCOMPARE(Messages->Boxes[0].Text, kEncoderMessage);
    QVERIFY(Messages->Boxes[0].IsError);
    QVERIFY(form->BInit->isEnabled());
  }


  void missingCatalogueIsReportedAndInitStillRuns() {
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    const QString missing = Dir.filePath(QStringLiteral("nowhere/Encoder.cfg"));
    auto form = Start(missing);
    QTRY_COMPARE(Messages->Boxes.size(), 2);
    QCOMPARE(Messages->Texts(), (QStringList{QStringLiteral("File ") + missing + QStringLiteral(" not found"), kAdapterMessage}));
    QVERIFY(form->BInit->isEnabled());  // the load's verdict lasts only until Init ends
  }

  // Start-up reaches the configuration window, which has written the encoder's configuration; Quit
  // ends the program and the position reaches the settings file.
  void happyPathThenQuit() {
    QSettings(TRC_Option::FilePath(), QSettings::IniFormat).setValue(QStringLiteral("Main/Top"), 123);
    QSettings(TRC_Option::FilePath(), QSettings::IniFormat).setValue(QStringLiteral("Main/Left"), 234);
    tbsim_slave_set(0, 16 + 1, 0x77);  // a byte the program must leave alone
    auto form = Start(Catalogue());
    QCOMPARE(form->pos(), QPoint(234, 123));
    QSignalSpy closed(form.get(), &TRC_MainForm::Closed);

    bool seen = false, mainHidden = false;
    QString serial, version, pulses;
    WhenModal<TRC_ConfigForm>(form.get(), [&](TRC_ConfigForm *config) {
      seen = true;
      mainHidden = !form->isVisible();
      serial = config->STSNr->text();
      version = config->LVersion->text();
      pulses = config->CBImpOut->currentText();
      form->move(150, 160);
      QTest::mouseClick(config->BCancel, Qt::LeftButton);
    });
    QTRY_VERIFY(seen);
    QVERIFY(mainHidden);
    QCOMPARE(serial, QStringLiteral("2612001"));
    QCOMPARE(version, QStringLiteral("1.1.6"));
    QCOMPARE(pulses, QStringLiteral("2'048"));
    QVERIFY(Messages->Boxes.isEmpty());
    QCOMPARE(DecodeBlock(EncoderBlock(16)), (TBlockValues{4, 1, 3, 2}));
    QCOMPARE(DecodeBlock(EncoderBlock(0)), (TBlockValues{4, 1, 3, 2}));
    QCOMPARE(tbsim_slave_get(0, 17), 0x77);

    QCOMPARE(closed.count(), 1);
    QVERIFY(!form->isVisible());
    form.reset();  // the device model writes the settings as it goes
    QCOMPARE(SettingsValue(QStringLiteral("Main/Top")), QStringLiteral("160"));
    QCOMPARE(SettingsValue(QStringLiteral("Main/Left")), QStringLiteral("150"));
  }

  // Another encoder found by the watch sends the window back; Init runs again by itself and opens a
  // new configuration window for the new encoder.
  void retryRunsInitAgain() {
    auto form = Start(Catalogue());
    QSignalSpy closed(form.get(), &TRC_MainForm::Closed);
    int windows = 0;
    QString secondSerial;
    WhenModal<TRC_ConfigForm>(form.get(), [&](TRC_ConfigForm *config) {
      ++windows;
      tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
      WhenModal<TRC_ConfigForm>(form.get(), [&](TRC_ConfigForm *next) {
        ++windows;
        secondSerial = next->STSNr->text();
        next->reject();
      });
      config->TimerCheckSameTimer();
    });
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(windows, 2);
    QVERIFY(!secondSerial.isEmpty());
    QVERIFY(secondSerial != QStringLiteral("2612001"));
  }

  void errorLogViewOnCtrlRelease() {
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    auto form = Start(Catalogue());
    QTRY_COMPARE(Messages->Boxes.size(), 1);
    form->Device().ErrorLog = QStringList{QStringLiteral("first"), QStringLiteral("second")};

    // Without Ctrl nothing opens and the log stays.
    bool opened = false;
    QTimer *watch = WhenModal<QDialog>(form.get(), [&](QDialog *view) {
      opened = true;
      view->reject();
    });
    QTest::mouseRelease(form->ImEncoder, Qt::LeftButton);
    QTest::qWait(100);
    QVERIFY(!opened);
    delete watch;
    QCOMPARE(form->Device().ErrorLog.size(), 2);

    QString shown;
    WhenModal<QDialog>(form.get(), [&](QDialog *view) {
      opened = true;
      if (auto *memo = view->findChild<QPlainTextEdit *>())
        shown = memo->toPlainText();
      view->reject();
    });
    QTest::mouseRelease(form->ImEncoder, Qt::LeftButton, Qt::ControlModifier);
    QVERIFY(opened);
    QCOMPARE(shown, QStringLiteral("first\nsecond"));
    QVERIFY(form->Device().ErrorLog.isEmpty());
  }

  void shortcutsReachTheHiddenCommands() {
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    auto form = Start(Catalogue());
    QTRY_COMPARE(Messages->Boxes.size(), 1);
    QCOMPARE(form->ActAbout->shortcut(), QKeySequence(Qt::Key_F1));

    bool about = false, manual = false;
    WhenModal<TAboutForm>(form.get(), [&](TAboutForm *box) {
      about = true;
      box->accept();
    });
    form->ActAbout->trigger();
    QVERIFY(about);

    WhenModal<TRC_ConfigManualForm>(form.get(), [&](TRC_ConfigManualForm *window) {
      manual = true;
      window->reject();
    });
    form->ActManual->trigger();
    QVERIFY(manual);

    QSignalSpy closed(form.get(), &TRC_MainForm::Closed);
    form->ActClose->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!form->isVisible());
  }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
