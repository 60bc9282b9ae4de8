// The configuration window driven as a user would, against the simulated adapter and encoder.
#include "DebugWindow.h"
#include "RC_Config.h"
#include "ScreensTestSupport.h"
#include "tarnbus_sim.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

void Pick(QComboBox *List, const QString &Text)
{
    const int index = List->findText(Text);
    QVERIFY2(index >= 0, qPrintable(Text));
    List->setCurrentIndex(index);
    emit List->activated(index);
}

void Type(QComboBox *List, const QString &Text)
{
    List->lineEdit()->selectAll();
    QTest::keyClicks(List->lineEdit(), Text);
    QTest::keyClick(List->lineEdit(), Qt::Key_Return);
}

QStringList Items(const QComboBox *List)
{
    QStringList items;
    for (int i = 0; i < List->count(); ++i)
        items << List->itemText(i);
    return items;
}

bool Lit(const QFrame *Lamp)
{
    const QColor c = Lamp->palette().color(QPalette::Window);
    return c == QColor(255, 0, 0) || c == QColor(0, 255, 0);
}

// Captions that a technician could not read: a label running into the next one on its line or past
// its group's edge, or a button caption wider than the button.
QStringList ClippedCaptions(const TRC_ConfigForm &Form)
{
    QStringList clipped;
    for (const QGroupBox *group : {Form.GBRatingPlate, Form.GBConfiguration}) {
        const QList<QLabel *> labels = group->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
        for (const QLabel *label : labels) {
            if (label->text().isEmpty())
                continue;
            const QRect shown(label->pos(), label->sizeHint());
            if (shown.right() >= group->contentsRect().right())
                clipped << label->objectName();
            for (const QLabel *other : labels)
                if (other != label && !other->text().isEmpty() &&
                    shown.intersects(QRect(other->pos(), other->sizeHint())))
                    clipped << label->objectName();
        }
    }
    if (Form.BReloadFactorySetting->sizeHint().width() > Form.BReloadFactorySetting->width())
        clipped << Form.BReloadFactorySetting->objectName();
    return clipped;
}

} // namespace

class TestConfigWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TCapturedMessages> Messages;
    std::unique_ptr<TRC_Device> Device;
    std::unique_ptr<QWidget> Owner; // freed after the window it owns
    std::unique_ptr<TRC_ConfigForm> Form;

    // Start addresses of the writes traced since the last call, in order ("10" EEPROM, "00" RAM).
    QStringList TakeWrites()
    {
        auto *log = dynamic_cast<TDebugForm *>(Device->Com->DebugForm());
        QStringList writes;
        for (const QString &line : log->Lines())
            if (line.contains(QStringLiteral("--> ")))
                writes << line.mid(line.indexOf(QStringLiteral("--> ")) + 4, 2);
        log->BClearClick();
        return writes;
    }

    // The window on the encoder as Init leaves it; false when the catalogue or the encoder cannot be
    // read, and the caller's QVERIFY stops the test there rather than go on without a window.
    bool Open(QWidget *OwnerWindow = nullptr, uint32_t Kind = INTERFACE_USB)
    {
        Device = std::make_unique<TRC_Device>();
        Device->InterfaceKind = Kind;
        Device->InterfaceName = Kind == INTERFACE_USB ? "" : "0x378";
        if (!Device->Catalogue->LoadFromFile(QCoreApplication::applicationDirPath() +
                                             QStringLiteral("/Encoder.cfg")))
            return false;
        if (!Device->ReopenAndConfig() || !Device->ReadRatingPlate() || !Device->ReadActualConfig())
            return false;
        Device->Com->ShowDebug();
        Form = std::make_unique<TRC_ConfigForm>(OwnerWindow, QStringLiteral("1.1.6"), *Device);
        Form->show();
        return true;
    }

private slots:
    // The shipped catalogue: 4096 pulses come twice for the 58 / 4096 encoder, the later entry with
    // code 5 and divider 2.
    void initTestCase() { InstallDebugWindowFactory(); }
    void init()
    {
        ResetWorld();
        Messages = std::make_unique<TCapturedMessages>();
    }
    void cleanup()
    {
        Form.reset();
        Owner.reset();
        Device.reset();
        Messages.reset();
    }

    // Opening shows plate and lists, selects the encoder's configuration and writes it, EEPROM first.
    void opensWithPlateListsAndSelection()
    {
        QVERIFY(Open());
        QVERIFY(Messages->Boxes.isEmpty());
        const QStringList plate{Form->STArtBez->text(),     Form->STPCode->text(),    Form->STSNr->text(),
                                Form->STPolesCount->text(), Form->STImpCount->text(), Form->STCW->text(),
                                Form->STNullImp->text()};
        QCOMPARE(plate, (QStringList{"ROTA 58-4096-P-HTL", "RC5812", "2612001", "4096", "1'024",
                                     "CHB lags CHA, CCW", "A & B HIGH"}));
        QCOMPARE(Items(Form->CBImpOut),
                 (QStringList{"256", "512", "1'024", "2'048", "4'096", "8'192", "16'384", "65'536"}));
        QCOMPARE(Form->CBImpOut->currentText(), QStringLiteral("2'048"));
        QCOMPARE(Form->CBCW->currentText(), QStringLiteral("CHB lags CHA, CW"));
        QCOMPARE(Form->CBNullImp->currentText(), QStringLiteral("A HIGH"));
        QCOMPARE(TakeWrites(), (QStringList{"10", "00"}));
        QCOMPARE(EncoderBlock(16), (TBlockValues{4, 1, 3, 2}));
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 1, 3, 2}));
        QVERIFY(Lit(Form->PGreen) && !Lit(Form->PRed));
        QVERIFY(Form->TimerCheckSame->isActive() && Form->TimerCheckSame->interval() == 7000);
    }

    // In the middle of the desktop, not over the main window that owns it; captioned "Rotaconf".
    void opensCentredOnTheDesktop()
    {
        Owner = std::make_unique<QWidget>();
        Owner->setGeometry(20, 30, 479, 447);
        Owner->show();
        QVERIFY(Open(Owner.get()));
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        const QPoint offset = Form->frameGeometry().center() - Form->screen()->availableGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1, %2").arg(offset.x()).arg(offset.y())));
        QCOMPARE(Form->windowTitle(), QStringLiteral("Rotaconf"));
    }

    void choicesAreWrittenAtOnce()
    {
        QVERIFY(Open());
        TakeWrites();
        // A pulse count shared by two entries: the later one's code and divider.
        Pick(Form->CBImpOut, QStringLiteral("4'096"));
        QCOMPARE(TakeWrites(), (QStringList{"10", "00"}));
        QCOMPARE(EncoderBlock(16), (TBlockValues{5, 1, 3, 2}));
        QCOMPARE(EncoderBlock(0), (TBlockValues{5, 1, 3, 2}));

        // Only the direction: bits the program does not own survive.
        tbsim_slave_set(0, 17, 0xA5);
        tbsim_slave_set(0, 1, 0x5A);
        const auto eeprom = EncoderBytes(16);
        Pick(Form->CBCW, QStringLiteral("CHB lags CHA, CCW"));
        QCOMPARE(TakeWrites(), (QStringList{"10", "00"}));
        QCOMPARE(EncoderBlock(16), (TBlockValues{5, 0, 3, 2}));
        QCOMPARE(EncoderBlock(0), (TBlockValues{5, 0, 3, 2}));
        QCOMPARE(tbsim_slave_get(0, 17), 0xA5);
        QCOMPARE(tbsim_slave_get(0, 1), 0x5A);
        QCOMPARE(EncoderBytes(16)[2] & 0xDF, eeprom[2] & 0xDF);

        // Typed and confirmed with Enter: a pulse count reads as the command line reads it, with or
        // without apostrophes and blanks around it; a text with anything else in it writes nothing.
        Type(Form->CBImpOut, QStringLiteral("1024"));
        QCOMPARE(TakeWrites(), (QStringList{"10", "00"}));
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 0, 3, 4}));
        Type(Form->CBImpOut, QStringLiteral(" 2048"));
        QCOMPARE(TakeWrites(), (QStringList{"10", "00"}));
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 0, 3, 2}));
        Type(Form->CBImpOut, QStringLiteral("+1024"));
        QCOMPARE(TakeWrites(), QStringList());
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 0, 3, 2}));
        QVERIFY(Lit(Form->PRed) && !Lit(Form->PGreen));
        Type(Form->CBImpOut, QStringLiteral("1'024"));
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 0, 3, 4}));
        TakeWrites();
        // A typed direction that names no item is not written as some other direction.
        Type(Form->CBCW, QStringLiteral("left"));
        QCOMPARE(TakeWrites(), QStringList());
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 0, 3, 4}));
        QVERIFY(Lit(Form->PRed) && !Lit(Form->PGreen));
    }

    // A lost access on the parallel port can leave a block other than written with no failure from
    // the library: the read-back fails the write, lights the red lamp and says so.
    void writeThatReadsBackOtherwise()
    {
        tbsim_set_port(0x378, 1);
        QVERIFY(Open(nullptr, INTERFACE_LPT1));
        QVERIFY(Lit(Form->PGreen));
        const auto eeprom = EncoderBytes(16), ram = EncoderBytes(0);
        Pick(Form->CBCW, QStringLiteral("CHB lags CHA, CCW")); // each write below changes the blocks
        const auto asked = EncoderBytes(16);
        QVERIFY(asked != eeprom && EncoderBytes(0) == asked);
        for (uint32_t n = 0; n < 4000 && Messages->Boxes.isEmpty(); ++n) {
            for (unsigned i = 0; i < 6; ++i) {
                tbsim_slave_set(0, 16 + i, eeprom[i]);
                tbsim_slave_set(0, i, ram[i]);
            }
            QCOMPARE(InitBissComm(Device->Com->Handle), int32_t(BISS_OK)); // after a glitch that left it busy
            tbsim_set_fault(TBSIM_PORT_ACCESS_LOST, 1, n);
            Form->BWriteClick();
            tbsim_set_fault(TBSIM_PORT_ACCESS_LOST, 0, 0);
            if (Lit(Form->PGreen)) {
                QCOMPARE(EncoderBytes(16), asked); // a write that passed is the one asked
                QCOMPARE(EncoderBytes(0), asked);
            }
        }
        QCOMPARE(Messages->Texts(),
                 QStringList{QStringLiteral("Encoder holds another configuration than written")});
        QVERIFY(Messages->Boxes[0].IsError);
        QVERIFY(Lit(Form->PRed) && !Lit(Form->PGreen));
    }

    void languageSwitch()
    {
        tbsim_slave_set(0, 94, 1); // factory direction 1, zero-pulse mode 0
        tbsim_slave_set(0, 95, 0);
        QVERIFY(Open());
        QCOMPARE(Form->STNullImp->text(), QStringLiteral("Kein Nullimpuls"));
        QTest::mouseClick(Form->SBGerman, Qt::LeftButton);
        QCOMPARE(SettingsValue(QStringLiteral("System/Lang")), QStringLiteral("1"));
        QVERIFY(Form->SBGerman->isChecked() && !Form->SBEnglish->isChecked());
        QCOMPARE(Form->GBRatingPlate->title() + Form->BCancel->text(),
                 QStringLiteral("WerkseinstellungenBeenden"));
        QCOMPARE(Form->STCW->text(), QStringLiteral("A vor B bei CW"));
        QCOMPARE(Form->STNullImp->text(), QStringLiteral("Kein Nullimpuls"));
        QCOMPARE(Form->CBNullImp->currentText(), QStringLiteral("A ausgetastet")); // the selection stays
        QCOMPARE(ClippedCaptions(*Form), QStringList());
        QTest::mouseClick(Form->SBEnglish, Qt::LeftButton);
        QCOMPARE(SettingsValue(QStringLiteral("System/Lang")), QStringLiteral("0"));
        QCOMPARE(Form->STCW->text(), QStringLiteral("CHB lags CHA, CW"));
        QCOMPARE(ClippedCaptions(*Form), QStringList());
    }

    void currentSettingMissingFromCatalogue()
    {
        tbsim_slave_set(0, 4, 3); // code 4 with divider 3: in no entry
        tbsim_slave_set(0, 20, 3);
        QVERIFY(Open());
        QCOMPARE(Messages->Texts(), QStringList{QStringLiteral("Config missing")});
        QVERIFY(!Messages->Boxes[0].IsError);
        QVERIFY(Form->CBImpOut->count() == 8 && Form->CBImpOut->currentIndex() == -1);
        QCOMPARE(TakeWrites(), QStringList());
    }

    void factoryReload()
    {
        QVERIFY(Open());
        QTest::mouseClick(Form->BReloadFactorySetting, Qt::LeftButton);
        // 1024 pulses: the catalogue's code 4 with the encoder's own divider 4, direction 0, mode 1.
        QCOMPARE(EncoderBlock(16), (TBlockValues{4, 0, 1, 4}));
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 0, 1, 4}));
        QCOMPARE(Form->CBImpOut->currentText(), QStringLiteral("1'024"));
        QVERIFY(Form->BCancel->isEnabled() && Form->CBImpOut->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // On another encoder the window asks for Init, and leaves no hourglass behind.
        tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0);
        QTest::mouseClick(Form->BReloadFactorySetting, Qt::LeftButton);
        QCOMPARE(Form->result(), TRC_ConfigForm::ModalRetry);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void watchEncoderRemovedAndBack()
    {
        QVERIFY(Open());
        tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
        Form->TimerCheckSameTimer();
        QVERIFY(Form->STSNr->text().isEmpty());
        QCOMPARE(Form->CBImpOut->count(), 0);
        QVERIFY(!Form->BReloadFactorySetting->isEnabled() && !Form->CBCW->isEnabled() && Lit(Form->PRed));
        QVERIFY(Form->isVisible() && Form->TimerCheckSame->isActive());

        tbsim_set_fault(TBSIM_ENCODER_ABSENT, 0, 0);
        TakeWrites();
        Form->TimerCheckSameTimer();
        QCOMPARE(Form->STSNr->text(), QStringLiteral("2612001"));
        QCOMPARE(Form->CBImpOut->currentText(), QStringLiteral("2'048"));
        QVERIFY(Form->BReloadFactorySetting->isEnabled() && Form->CBCW->isEnabled() && Lit(Form->PGreen));
        QCOMPARE(TakeWrites(), (QStringList{"10", "00"}));
        QVERIFY(Form->isVisible() && Form->TimerCheckSame->isActive() && Messages->Boxes.isEmpty());
    }

    // Another encoder, or a lost adapter (reported once, in the current language), ask for Init.
    void watchAsksForRetry_data()
    {
        QTest::addColumn<bool>("adapterLost");
        QTest::newRow("another encoder") << false;
        QTest::newRow("adapter lost") << true;
    }
    void watchAsksForRetry()
    {
        QFETCH(bool, adapterLost);
        QVERIFY(Open());
        QTest::mouseClick(Form->SBGerman, Qt::LeftButton);
        tbsim_set_fault(adapterLost ? TBSIM_ADAPTER_ABSENT : TBSIM_ENCODER_REPLACED, 1, 0);
        tbsim_set_fault(TBSIM_ADAPTER_UNPLUGGED, adapterLost, 0);
        Form->TimerCheckSameTimer();
        QCOMPARE(Form->result(), TRC_ConfigForm::ModalRetry);
        QVERIFY(!Form->isVisible() && !Form->TimerCheckSame->isActive());
        QCOMPARE(Messages->Texts(),
                 adapterLost ? QStringList{"USB-BISS-Adapter nicht angeschlossen"} : QStringList());
    }

    void tickDuringWriteOnlyRestartsTimer()
    {
        QVERIFY(Open());
        tbsim_set_fault(TBSIM_ENCODER_REPLACED, 1, 0); // a tick that ran would send the window back
        bool sawBusy = false;
        QTimer::singleShot(0, Form.get(), [&]() {
            sawBusy = Form->Busy;
            Form->TimerCheckSameTimer();
        });
        TakeWrites();
        Pick(Form->CBCW, QStringLiteral("CHB lags CHA, CCW"));
        QVERIFY(sawBusy);
        QVERIFY(Form->result() == 0 && Form->TimerCheckSame->isActive() &&
                Form->TimerCheckSame->remainingTime() > 6000);
        QCOMPARE(TakeWrites(), (QStringList{"10", "00"}));
        Form->TimerCheckSameTimer(); // the same tick outside a write does see the other encoder
        QCOMPARE(Form->result(), TRC_ConfigForm::ModalRetry);
    }
};

QTEST_MAIN(TestConfigWindow)
#include "tst_configwindow.moc"
