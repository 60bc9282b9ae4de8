// The configuration window driven as a user would, against the simulated adapter and encoder.
#include "DebugWindow.h"
#include "PulseCountText.h"
#include "RC_Config.h"
#include "RC_Def.h"
#include "ScreensTestSupport.h"
#include "tarnbus_sim.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

// Catalogue of the tests: the default encoder (58 / 4096) has 4096 pulses twice, the later entry
// with code 5 and divider 2; other types and resolutions must not reach the lists.
const std::vector<TCatalogueEntry> kEntries = {
    {58, 4096, 256, 4, 16},  {58, 4096, 1024, 4, 4}, {58, 4096, 2048, 4, 2},  {58, 2048, 500, 8, 65},
    {58, 4096, 4096, 4, 1},  {58, 4096, 4096, 5, 2}, {58, 4096, 8192, 5, 1},  {36, 4096, 100, 8, 164},
};

void Pick(QComboBox *List, const QString &Text) {
  const int index = List->findText(Text);
  QVERIFY2(index >= 0, qPrintable(Text));
  List->setCurrentIndex(index);
  emit List->activated(index);
}

QStringList Items(const QComboBox *List) {
  QStringList items;
  for (int i = 0; i < List->count(); ++i)
    items << List->itemText(i);
  return items;
}

QColor Colour(const QFrame *Lamp) { return Lamp->palette().color(QPalette::Window); }

const QColor kGreenOn(0, 255, 0), kGreenOff(0, 127, 0), kRedOn(255, 0, 0), kRedOff(127, 0, 0);

}  // namespace

class TestConfigWindow : public QObject {
  Q_OBJECT

  QTemporaryDir Dir;
  std::unique_ptr<TCapturedMessages> Messages;
  std::unique_ptr<TRC_Device> Device;
  std::unique_ptr<TRC_ConfigForm> Form;

  // What the window's writes looked like in the trace: start address of every "-->" line in order.
  QStringList WriteAddresses() const {
    QStringList addresses;
    auto *log = dynamic_cast<TDebugForm *>(Device->Com->DebugForm());
    if (!log)
      return addresses;
    for (const QString &line : log->Lines()) {
      const qsizetype arrow = line.indexOf(QStringLiteral("--> "));
      if (arrow >= 0)
        addresses << line.mid(arrow + 4, 2);
    }
    return addresses;
  }

  void ClearLog() {
    if (auto *log = dynamic_cast<TDebugForm *>(Device->Com->DebugForm()))
      log->BClearClick();
  }

  // The device as Init leaves it, logging on, then the window.
  void Open() {
    Device = std::make_unique<TRC_Device>();
    QVERIFY(Device->Catalogue->LoadFromFile(Dir.filePath(QStringLiteral("Encoder.cfg"))));
    QVERIFY(Device->ReopenAndConfig());
    QVERIFY(Device->ReadRatingPlate());
    QVERIFY(Device->ReadActualConfig());
    Device->Com->ShowDebug();
    Form = std::make_unique<TRC_ConfigForm>(nullptr, QStringLiteral("1.1.6"), *Device);
    Form->show();
  }

private slots:
  void initTestCase() {
    QVERIFY(Dir.isValid());
    QVERIFY(WriteCatalogue(Dir.filePath(QStringLiteral("Encoder.cfg")), {{58, QStringLiteral("ROTA 58")}}, kEntries));
    InstallDebugWindowFactory();
  }

  void init() {
    ResetWorld();
    Messages = std::make_unique<TCapturedMessages>();
  }

  void cleanup() {
    Form.reset();
    Device.reset();
    Messages.reset();
  }

  void pulseCountTexts() {
    QCOMPARE(FormatPulseCount(0), QStringLiteral("0"));
    QCOMPARE(FormatPulseCount(999), QStringLiteral("999"));
    QCOMPARE(FormatPulseCount(1000), QStringLiteral("1'000"));
    QCOMPARE(FormatPulseCount(1000000), QStringLiteral("1'000'000"));
    QCOMPARE(FormatPulseCount(2000050), QStringLiteral("2'000'050"));
    QCOMPARE(FormatPulseCount(4294967295u), QStringLiteral("4'294'967'295"));
    QCOMPARE(ParsePulseCount(QStringLiteral("1'000'500")), std::optional<uint32_t>(1000500));
    QCOMPARE(ParsePulseCount(QStringLiteral(" 2 048 x")), std::optional<uint32_t>(2048));
    QCOMPARE(ParsePulseCount(QStringLiteral("none")), std::nullopt);
    QCOMPARE(ParsePulseCount(QString()), std::nullopt);
    // Too many digits must not wrap round into a small pulse count.
    QCOMPARE(ParsePulseCount(QStringLiteral("4'294'967'295")), std::optional<uint32_t>(4294967295u));
    QCOMPARE(ParsePulseCount(QStringLiteral("4294967296")), std::nullopt);
    QCOMPARE(ParsePulseCount(QStringLiteral("18446744073709551617")), std::nullopt);
  }

  // Opening shows the plate and the encoder's configuration and writes that selection, EEPROM first.
  void opensWithPlateListsAndSelection() {
    Open();
    QVERIFY(Messages->Boxes.isEmpty());
    QCOMPARE(Form->windowTitle(), QStringLiteral("Rotaconf"));
    QCOMPARE(Form->STArtBez->text(), QStringLiteral("ROTA 58-4096-P-HTL"));
    QCOMPARE(Form->STPCode->text(), QStringLiteral("RC5812"));
    QCOMPARE(Form->STSNr->text(), QStringLiteral("2612001"));
    QCOMPARE(Form->STPolesCount->text(), QStringLiteral("4096"));
    QCOMPARE(Form->STImpCount->text(), QStringLiteral("1'024"));
    QCOMPARE(Form->STCW->text(), QStringLiteral("CHB lags CHA, CCW"));
    QCOMPARE(Form->STNullImp->text(), QStringLiteral("A & B HIGH"));
    QCOMPARE(Form->GBRatingPlate->title(), QStringLiteral("Factory settings"));
    QCOMPARE(Form->GBConfiguration->title(), QStringLiteral("Parameters"));
    QCOMPARE(Form->BCancel->text(), QStringLiteral("Quit"));
    QCOMPARE(Form->LVersion->text(), QStringLiteral("1.1.6"));
    QVERIFY(Form->SBEnglish->isChecked());

    QCOMPARE(Items(Form->CBImpOut), (QStringList{"256", "1'024", "2'048", "4'096", "8'192"}));
    QCOMPARE(Items(Form->CBCW), (QStringList{"CHB lags CHA, CCW", "CHB lags CHA, CW"}));
    QCOMPARE(Items(Form->CBNullImp),
             (QStringList{"A & B HIGH", "A & B LOW", "A HIGH", "A LOW", "B HIGH", "B LOW"}));
    QCOMPARE(Form->CBImpOut->currentText(), QStringLiteral("2'048"));
    QCOMPARE(Form->CBCW->currentIndex(), 1);
    QCOMPARE(Form->CBNullImp->currentText(), QStringLiteral("A HIGH"));
    QCOMPARE(Device->PulseCount, 2048u);

    QCOMPARE(WriteAddresses(), (QStringList{"10", "00"}));
    const TBlockValues delivered{4, 1, 3, 2};
    QCOMPARE(DecodeBlock(EncoderBlock(16)), delivered);
    QCOMPARE(DecodeBlock(EncoderBlock(0)), delivered);
    QCOMPARE(Colour(Form->PGreen), kGreenOn);
    QCOMPARE(Colour(Form->PRed), kRedOff);
    QVERIFY(Form->TimerCheckSame->isActive());
    QCOMPARE(Form->TimerCheckSame->interval(), 7000);
  }

  void sharedPulseCountWritesLastEntry() {
    Open();
    ClearLog();
    Pick(Form->CBImpOut, QStringLiteral("4'096"));
    QCOMPARE(WriteAddresses(), (QStringList{"10", "00"}));
    const TBlockValues expected{5, 1, 3, 2};  // the later of the two 4096 entries; direction and mode kept
    QCOMPARE(DecodeBlock(EncoderBlock(16)), expected);
    QCOMPARE(DecodeBlock(EncoderBlock(0)), expected);
    QCOMPARE(Form->SelectedConfigList()->Count(), 2);
    QCOMPARE(Colour(Form->PGreen), kGreenOn);

    // A pulse count typed by hand and confirmed with Enter goes the same way.
    Form->CBImpOut->lineEdit()->selectAll();
    QTest::keyClicks(Form->CBImpOut->lineEdit(), QStringLiteral("8192"));
    QTest::keyClick(Form->CBImpOut->lineEdit(), Qt::Key_Return);
    QCOMPARE(DecodeBlock(EncoderBlock(16)), (TBlockValues{5, 1, 3, 1}));
    QCOMPARE(DecodeBlock(EncoderBlock(0)), (TBlockValues{5, 1, 3, 1}));
  }

  void directionChangeKeepsTheOtherBits() {
    Open();
    // Bits the program does not own must survive the write.
    tbsim_slave_set(0, 16 + 1, 0xA5);
    tbsim_slave_set(0, 0 + 1, 0x5A);
    const auto eepromBefore = EncoderBlock(16);
    const auto ramBefore = EncoderBlock(0);
    ClearLog();
    Pick(Form->CBCW, QStringLiteral("CHB lags CHA, CCW"));
    QCOMPARE(WriteAddresses(), (QStringList{"10", "00"}));
    for (const auto &[before, after] : {std::pair{eepromBefore, EncoderBlock(16)}, std::pair{ramBefore, EncoderBlock(0)}}) {
      QCOMPARE(DecodeBlock(after), (TBlockValues{4, 0, 3, 2}));
      QCOMPARE(after[1], before[1]);
      QCOMPARE(after[2] & ~0x20, before[2] & ~0x20);
      QCOMPARE(after[2] & 0x20, 0);
    }
    // Zero-pulse mode: the list index plus one.
    Pick(Form->CBNullImp, QStringLiteral("B LOW"));
    QCOMPARE(DecodeBlock(EncoderBlock(0)), (TBlockValues{4, 0, 6, 2}));
  }

  // A direction or mode typed by hand that names no item must not be written as some other value.
  void typedTextWithoutItemWritesNothing() {
    Open();
    const auto before = EncoderBlock(16);
    Form->CBCW->lineEdit()->selectAll();
    QTest::keyClicks(Form->CBCW->lineEdit(), QStringLiteral("left"));
    QTest::keyClick(Form->CBCW->lineEdit(), Qt::Key_Return);
    QCOMPARE(Form->CBCW->currentIndex(), -1);
    QCOMPARE(EncoderBlock(16), before);
    QCOMPARE(Colour(Form->PRed), kRedOn);
    QCOMPARE(Colour(Form->PGreen), kGreenOff);
  }

  void languageSwitch() {
    Open();
    QTest::mouseClick(Form->SBGerman, Qt::LeftButton);
    QCOMPARE(SettingsValue(QStringLiteral("System/Lang")), QStringLiteral("1"));
    QVERIFY(Form->SBGerman->isChecked());
    QVERIFY(!Form->SBEnglish->isChecked());
    QCOMPARE(Form->GBRatingPlate->title(), QStringLiteral("Werkseinstellungen"));
    QCOMPARE(Form->GBConfiguration->title(), QStringLiteral("Parameter"));
    QCOMPARE(Form->BCancel->text(), QStringLiteral("Beenden"));
    QCOMPARE(Form->LCommunication->text(), QStringLiteral("Kommunikation"));
    QCOMPARE(Form->BReloadFactorySetting->text(), QStringLiteral("Werkseinstellungen laden"));
    QCOMPARE(Form->STCW->text(), QStringLiteral("A vor B bei CCW"));
    QCOMPARE(Form->STNullImp->text(), QStringLiteral("A & B ausgetastet"));
    QCOMPARE(Items(Form->CBCW), (QStringList{"A vor B bei CCW", "A vor B bei CW"}));
    QCOMPARE(Form->CBCW->currentIndex(), 1);  // the selection survives the new texts
    QCOMPARE(Form->CBNullImp->currentText(), QStringLiteral("A ausgetastet"));
    // Untranslated labels.
    QCOMPARE(Form->Label2->text(), QStringLiteral("PCode"));
    QCOMPARE(Form->Label4->text(), QStringLiteral("SerNr"));

    // With the factory button disabled the factory texts keep their language.
    Form->BReloadFactorySetting->setEnabled(false);
    QTest::mouseClick(Form->SBEnglish, Qt::LeftButton);
    QCOMPARE(SettingsValue(QStringLiteral("System/Lang")), QStringLiteral("0"));
    QCOMPARE(Form->GBRatingPlate->title(), QStringLiteral("Factory settings"));
    QCOMPARE(Form->STCW->text(), QStringLiteral("A vor B bei CCW"));
    QCOMPARE(Form->STNullImp->text(), QStringLiteral("A & B ausgetastet"));
  }

  void factoryTextsForOtherPlates() {
    // Factory direction 1 and zero-pulse mode 0; mode 0 has the German text in both languages.
    tbsim_slave_set(0, 94, 1);
    tbsim_slave_set(0, 95, 0);
    Open();
    QCOMPARE(Form->STCW->text(), QStringLiteral("CHB lags CHA, CW"));
    QCOMPARE(Form->STNullImp->text(), QStringLiteral("Kein Nullimpuls"));
    QTest::mouseClick(Form->SBGerman, Qt::LeftButton);
    QCOMPARE(Form->STCW->text(), QStringLiteral("A vor B bei CW"));
    QCOMPARE(Form->STNullImp->text(), QStringLiteral("Kein Nullimpuls"));
  }

  void currentSettingMissingFromCatalogue() {
    // Divider 3 with code 4 is in no entry: the lists are filled, nothing is chosen, nothing written.
    for (unsigned base : {0u, 16u})
      tbsim_slave_set(0, base + 4, 3);
    const auto before = EncoderBlock(16);
    Open();
    QCOMPARE(Messages->Boxes.size(), 1);
    QVERIFY(!Messages->Boxes[0].IsError);
    QCOMPARE(Messages->Boxes[0].Text, QStringLiteral("Config missing"));
    QCOMPARE(Form->CBImpOut->count(), 5);
    QCOMPARE(Form->CBImpOut->currentIndex(), -1);
    QCOMPARE(WriteAddresses(), QStringList());
    QCOMPARE(EncoderBlock(16), before);
  }

  void factoryReload() {
    Open();
    QTest::mouseClick(Form->BReloadFactorySetting, Qt::LeftButton);
    // Factory: 1024 pulses (code 4 by the catalogue, the encoder's own divider 4), direction 0, mode 1.
    const TBlockValues factory{4, 0, 1, 4};
    QCOMPARE(DecodeBlock(EncoderBlock(16)), factory);
    QCOMPARE(DecodeBlock(EncoderBlock(0)), factory);
    QCOMPARE(Form->CBImpOut->currentText(), QStringLiteral("1'024"));
    QCOMPARE(Form->CBCW->currentIndex(), 0);
    QCOMPARE(Form->CBNullImp->currentIndex(), 0);
    QVERIFY(Form->BCancel->isEnabled());
    QVERIFY(Form->CBImpOut->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(Messages->Boxes.isEmpty());
    QVERIFY(Form->isVisible());
  }

  void factoryReloadOnAnotherEncoderAsksForRetry() {
    Open();
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
    const auto before = EncoderBlock(16);
    QTest::mouseClick(Form->BReloadFactorySetting, Qt::LeftButton);
    QCOMPARE(Form->result(), TRC_ConfigForm::ModalRetry);
    QVERIFY(!Form->isVisible());
    // No hourglass left behind for the main window and the next Init.
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 0, 0);
    QCOMPARE(EncoderBlock(16), before);
  }

  void watchEncoderRemovedAndBack() {
    Open();
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    Form->TimerCheckSameTimer();
    QCOMPARE(Form->LastConnectionState(), EncoderMissing);
    QVERIFY(Form->STSNr->text().isEmpty());
    QVERIFY(Form->STArtBez->text().isEmpty());
    QCOMPARE(Form->CBImpOut->count(), 0);
    QCOMPARE(Form->CBCW->count(), 0);
    QVERIFY(!Form->BReloadFactorySetting->isEnabled());
    QVERIFY(!Form->CBImpOut->isEnabled());
    QCOMPARE(Colour(Form->PRed), kRedOn);
    QVERIFY(Form->TimerCheckSame->isActive());
    QVERIFY(Form->isVisible());
    QVERIFY(Messages->Boxes.isEmpty());

    // Still away: nothing changes, nothing is reported.
    Form->TimerCheckSameTimer();
    QVERIFY(Form->isVisible());
    QVERIFY(Messages->Boxes.isEmpty());

    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 0, 0);
    ClearLog();
    Form->TimerCheckSameTimer();
    QCOMPARE(Form->LastConnectionState(), Connected);
    QCOMPARE(Form->STSNr->text(), QStringLiteral("2612001"));
    QCOMPARE(Form->CBImpOut->currentText(), QStringLiteral("2'048"));
    QCOMPARE(Form->CBCW->count(), 2);
    QVERIFY(Form->CBImpOut->isEnabled());
    QVERIFY(Form->BReloadFactorySetting->isEnabled());
    QCOMPARE(Colour(Form->PGreen), kGreenOn);
    QCOMPARE(WriteAddresses(), (QStringList{"10", "00"}));  // the rebuilt window writes its selection
    QVERIFY(Form->TimerCheckSame->isActive());
    QVERIFY(Form->isVisible());
  }

  void watchAnotherEncoderAsksForRetry() {
    Open();
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
    Form->TimerCheckSameTimer();
    QCOMPARE(Form->result(), TRC_ConfigForm::ModalRetry);
    QVERIFY(!Form->isVisible());
    QVERIFY(!Form->TimerCheckSame->isActive());
    QVERIFY(Messages->Boxes.isEmpty());
  }

  void watchLostAdapterReportsOnceAndAsksForRetry() {
    Open();
    tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, 1, 0);
    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    QTest::mouseClick(Form->SBGerman, Qt::LeftButton);
    Form->TimerCheckSameTimer();
    QCOMPARE(Messages->Boxes.size(), 1);
    QVERIFY(Messages->Boxes[0].IsError);
    QCOMPARE(Messages->Boxes[0].Text, QStringLiteral("USB-BISS-Adapter nicht angeschlossen"));
    QCOMPARE(Form->result(), TRC_ConfigForm::ModalRetry);
    QVERIFY(!Form->isVisible());
    QVERIFY(!Form->TimerCheckSame->isActive());
  }

  // A tick that fires while a write pumps events only restarts the timer.
  void tickDuringWriteOnlyRestartsTimer() {
    Open();
    tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);  // a tick that ran would send the window back
    bool sawBusy = false;
    QTimer::singleShot(0, Form.get(), [&]() {
      sawBusy = Form->Busy();
      Form->TimerCheckSameTimer();
    });
    ClearLog();
    Pick(Form->CBCW, QStringLiteral("CHB lags CHA, CCW"));
    QVERIFY(sawBusy);
    QVERIFY(Form->isVisible());
    QCOMPARE(Form->result(), 0);
    QVERIFY(Form->TimerCheckSame->isActive());
    QCOMPARE(Form->TimerCheckSame->remainingTime() > 6000, true);
    QCOMPARE(Colour(Form->PGreen), kGreenOn);
    auto *log = dynamic_cast<TDebugForm *>(Device->Com->DebugForm());
    QVERIFY(log);
    QVERIFY(log->Lines().filter(QStringLiteral("Check:")).isEmpty());  // no probe ran

    // The same tick outside a write does see the other encoder.
    Form->TimerCheckSameTimer();
    QCOMPARE(Form->result(), TRC_ConfigForm::ModalRetry);
  }

  void serviceCommands() {
    Open();
    ClearLog();
    Form->ActCheck->trigger();
    auto *log = dynamic_cast<TDebugForm *>(Device->Com->DebugForm());
    QVERIFY(log);
    QCOMPARE(log->Lines().filter(QStringLiteral("Check: 0")).size(), 1);
    QVERIFY(Form->ActRegister->shortcut() != QKeySequence());
    QCOMPARE(Form->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(Form->actions().size(), 4);

    tbsim_set_fault(TBSIM_ADAPTER_ABSENT, 1, 0);
    Form->ActClear->trigger();
    QCOMPARE(Messages->Texts(), QStringList{QStringLiteral("Error ReopenAndConfig")});
    QVERIFY(!Messages->Boxes[0].IsError);
  }
};

QTEST_MAIN(TestConfigWindow)
#include "tst_configwindow.moc"
