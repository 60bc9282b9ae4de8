// The position window, opened from the configuration window and driven as a user would, against the
// simulated encoder: its first word starts at 100 and moves by 3 (10 bits), its second word starts at
// 5000 and moves by 1, one step per sensor cycle.
#include "RC_Config.h"
#include "RC_Position.h"
#include "ScreensTestSupport.h"
#include "tarnbus_sim.h"

#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

uint32_t Word1Of(uint64_t Cycle)
{
    return static_cast<uint32_t>((100 + 3 * (Cycle - 1)) % 1024);
}

} // namespace

class TestPosition : public QObject {
    Q_OBJECT

    std::unique_ptr<TCapturedMessages> Messages;
    std::unique_ptr<TRC_Device> Device;
    std::unique_ptr<TRC_ConfigForm> Form;
    QTemporaryDir Dir;

    bool Open()
    {
        Device = std::make_unique<TRC_Device>();
        if (!Device->Catalogue->LoadFromFile(QCoreApplication::applicationDirPath() +
                                             QStringLiteral("/Encoder.cfg")) ||
            !Device->ReopenAndConfig() || !Device->ReadRatingPlate() || !Device->ReadActualConfig())
            return false;
        Form = std::make_unique<TRC_ConfigForm>(nullptr, QStringLiteral("1.1.6"), *Device);
        Form->show();
        return QTest::qWaitForWindowExposed(Form.get());
    }

    // Ctrl+P in the configuration window.
    TRC_PositionForm *OpenPosition()
    {
        Form->activateWindow();
        if (!QTest::qWaitForWindowActive(Form.get()))
            return nullptr;
        QTest::keyClick(Form.get(), Qt::Key_P, Qt::ControlModifier);
        return Form->PositionForm();
    }

private slots:
    void init()
    {
        ResetWorld();
        Messages = std::make_unique<TCapturedMessages>();
    }
    void cleanup()
    {
        TRC_PositionForm::SetAskFileName(nullptr);
        Form.reset();
        Device.reset();
        Messages.reset();
    }

    // Ctrl+P opens the window; the values move and each one is a cycle's true value; closing stops the
    // cycles at once, and the configuration window works on as before.
    void opensWithCtrlPAndShowsMovingValues()
    {
        QVERIFY(Open());
        QCOMPARE(Form->ActPosition->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
        QVERIFY(Form->actions().contains(Form->ActPosition)); // in the right-click menu
        TRC_PositionForm *position = OpenPosition();
        QVERIFY(position && position->isVisible());
        QCOMPARE(position->windowTitle(), QStringLiteral("Position"));
        QCOMPARE(position->SGValues->rowCount(), 1);

        QTRY_VERIFY(position->Run().Cycles() > 50 && !position->SGValues->item(0, 1)->text().isEmpty());
        const QString first = position->SGValues->item(0, 1)->text();
        QTRY_VERIFY(position->SGValues->item(0, 1)->text() != first);
        const uint32_t shown = position->SGValues->item(0, 1)->text().toUInt();
        QCOMPARE(position->SGValues->item(0, 2)->text(),
                 QStringLiteral("0x") + QString::number(shown, 16).toUpper().rightJustified(8, QChar('0')));
        const uint32_t second = position->SGValues->item(0, 3)->text().toUInt();
        QVERIFY(second > 5000);
        QCOMPARE(shown, Word1Of(second - 5000 + 1)); // both words of the same cycle
        auto *series = qobject_cast<QLineSeries *>(position->ChartView->chart()->series().value(0));
        QVERIFY(series && series->count() > 0);
        QVERIFY(position->STRate->text().toInt() > 0);
        QCOMPARE(position->STNoAnswer->text(), QStringLiteral("0"));

        position->close();
        QVERIFY(!Form->PositionForm() || !Form->PositionForm()->isVisible());
        const uint64_t after = tbsim_slave_sensor_value(0, 0);
        QTest::qWait(100);
        QCOMPARE(tbsim_slave_sensor_value(0, 0), after); // no cycle after closing
        QTRY_VERIFY(!Form->PositionForm());

        // The configuration window writes as before.
        const int index = Form->CBImpOut->findText(QStringLiteral("1'024"));
        Form->CBImpOut->setCurrentIndex(index);
        emit Form->CBImpOut->activated(index);
        QCOMPARE(EncoderBlock(0), (TBlockValues{4, 1, 3, 4}));
    }

    // Record writes every cycle as it comes: at least 100 rows whose words follow the encoder's
    // sequence step by step, none repeated and none skipped, also across the connection check.
    void recordFollowsTheEncodersSequence()
    {
        QVERIFY(Open());
        TRC_PositionForm *position = OpenPosition();
        QVERIFY(position);
        const QString file = Dir.filePath(QStringLiteral("record.csv"));
        TRC_PositionForm::SetAskFileName([&](QWidget *, const QString &) { return file; });
        QTest::mouseClick(position->BRecord, Qt::LeftButton);
        QVERIFY(position->Recording());
        const uint64_t from = position->Run().Cycles();
        QTRY_VERIFY(position->Run().Cycles() > from + 300);
        Form->TimerCheckSameTimer(); // the check waits for the window, then the cycles go on
        QVERIFY(!position->Held() && position->State() == TRC_PositionForm::Running);
        const uint64_t afterCheck = position->Run().Cycles();
        QTRY_VERIFY(position->Run().Cycles() > afterCheck + 100);
        QTest::mouseClick(position->BRecord, Qt::LeftButton);
        QVERIFY(!position->Recording());

        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.first(), QByteArray("cycle,time_us,slave,word1,word2,valid,error"));
        QVERIFY2(lines.size() > 400, QByteArray::number(lines.size()));
        QVERIFY(lines.last().isEmpty()); // the last row is complete
        qint64 lastTime = -1;
        uint64_t lastCycle = 0;
        for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
            const QList<QByteArray> cells = lines[i].split(',');
            QCOMPARE(cells.size(), 7);
            const uint64_t cycle = cells[0].toULongLong();
            if (lastCycle != 0)
                QCOMPARE(cycle, lastCycle + 1);
            lastCycle = cycle;
            QVERIFY(cells[1].toLongLong() >= lastTime);
            lastTime = cells[1].toLongLong();
            QCOMPARE(cells[2], QByteArray("0"));
            QCOMPARE(cells[3].toUInt(), Word1Of(cycle));
            QCOMPARE(cells[4].toULongLong(), 5000 + cycle - 1);
            QCOMPARE(cells.mid(5), (QList<QByteArray>{"1", ""}));
        }
        position->close();
        // Exactly the cycles the window counted reached the encoder.
        QCOMPARE(tbsim_slave_sensor_value(0, 0), Word1Of(position->Run().Cycles() + 1));
        QVERIFY(lastCycle <= position->Run().Cycles());
    }

    void languageSwitchRenamesTheTexts()
    {
        QVERIFY(Open());
        TRC_PositionForm *position = OpenPosition();
        QVERIFY(position);
        const auto texts = [position] {
            return QStringList{
                position->windowTitle(),   position->GBValues->title(),
                position->LRate->text(),   position->LNoAnswer->text(),
                position->BPause->text(),  position->BClear->text(),
                position->BRecord->text(), position->SGValues->horizontalHeaderItem(1)->text()};
        };
        const QStringList english{"Position", "Current values", "Cycles per second", "Failed: no answer",
                                  "&Pause",   "C&lear",         "R&ecord...",        "Word 1 (dec)"};
        QCOMPARE(texts(), english);
        QTest::mouseClick(Form->SBGerman, Qt::LeftButton);
        QCOMPARE(texts(),
                 (QStringList{"Position", "Aktuelle Werte", "Zyklen pro Sekunde", "Fehler: keine Antwort",
                              "&Pause", "&Löschen", "&Aufzeichnen...", "Wort 1 (dez)"}));
        QCOMPARE(position->STState->text(), QStringLiteral("Läuft"));
        QTest::mouseClick(position->BPause, Qt::LeftButton);
        QCOMPARE(position->BPause->text(), QStringLiteral("&Fortsetzen"));
        QTest::mouseClick(Form->SBEnglish, Qt::LeftButton);
        QCOMPARE(position->BPause->text(), QStringLiteral("&Resume"));
        QCOMPARE(position->STState->text(), QStringLiteral("Paused"));
    }

    // A lost adapter and a pulled encoder cable each show in the window and stop the cycles; Resume
    // goes on once the fault is gone, and the values are still the encoder's.
    void faultStopsAndResumeContinues()
    {
        QVERIFY(Open());
        TRC_PositionForm *position = OpenPosition();
        QVERIFY(position);
        const QString file = Dir.filePath(QStringLiteral("faults.csv"));
        TRC_PositionForm::SetAskFileName([&](QWidget *, const QString &) { return file; });
        QTest::mouseClick(position->BRecord, Qt::LeftButton);
        QTRY_VERIFY(position->Run().Cycles() > 100);

        struct Case {
            tbsim_fault Fault;
            QLabel *Counter;
            QString Shown;
            int Failures;
        };
        for (const Case &c :
             {Case{TBSIM_ADAPTER_UNPLUGGED, position->STAdapter, "Stopped: adapter (BISS_MASTERCOMM_FAILED)",
                   1},
              Case{TBSIM_SLAVE_ABSENT, position->STNoAnswer, "Stopped: no answer (BISS_COMM_FAILED)",
                   TRC_PositionForm::FailuresInARow}}) {
            tbsim_set_fault(c.Fault, 1, 0);
            QTRY_COMPARE(position->State(), TRC_PositionForm::Stopped);
            QVERIFY2(position->STState->text().startsWith(c.Shown), qPrintable(position->STState->text()));
            QCOMPARE(c.Counter->text(), QString::number(c.Failures));
            QCOMPARE(position->BPause->text(), QStringLiteral("&Resume"));
            const uint64_t stopped = position->Run().Cycles();
            QTest::qWait(50);
            QCOMPARE(position->Run().Cycles(), stopped);

            tbsim_set_fault(c.Fault, 0, 0);
            QTest::mouseClick(position->BPause, Qt::LeftButton);
            QTRY_VERIFY(position->Run().Cycles() > stopped + 100);
            QCOMPARE(position->State(), TRC_PositionForm::Running);
            QCOMPARE(c.Counter->text(), QString::number(c.Failures));
        }
        QTest::mouseClick(position->BRecord, Qt::LeftButton);

        // The record holds the failed cycles with their kind, and the good ones carry the values the
        // encoder sent: it moves on only for the cycles it answered, and nothing is lost around a fault.
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QStringList errors;
        uint64_t answered = 0, lastCycle = 0;
        bool firstRow = true;
        for (const QByteArray &line : csv.readAll().split('\n').mid(1)) {
            if (line.isEmpty())
                continue;
            const QList<QByteArray> cells = line.split(',');
            if (!firstRow)
                QCOMPARE(cells[0].toULongLong(), lastCycle + 1);
            lastCycle = cells[0].toULongLong();
            if (firstRow)
                answered = lastCycle - 1;
            firstRow = false;
            if (cells[5] == "0") {
                errors << QString::fromLatin1(cells[6]);
                QVERIFY(cells[3].isEmpty() && cells[4].isEmpty());
                continue; // no cycle reached the encoder, or it did not answer: it did not move on
            }
            QCOMPARE(cells[3].toUInt(), Word1Of(++answered));
        }
        QCOMPARE(errors, (QStringList{"adapter", "no answer", "no answer", "no answer"}));
    }

    // While another window's command or the connection check holds the adapter, no cycle runs and the
    // window says why.
    void holdWaitsVisibly()
    {
        QVERIFY(Open());
        TRC_PositionForm *position = OpenPosition();
        QVERIFY(position);
        QTRY_VERIFY(position->Run().Cycles() > 10);
        // The connection check and a write each pump the window's events while they hold the cycles.
        QString duringCheck, duringWrite;
        QTimer::singleShot(0, position, [&] { duringCheck = position->STState->text(); });
        Form->TimerCheckSameTimer();
        QCOMPARE(duringCheck, QStringLiteral("Waiting: connection check"));
        QTimer::singleShot(0, position, [&] { duringWrite = position->STState->text(); });
        Form->BWriteClick();
        QCOMPARE(duringWrite, QStringLiteral("Waiting: another window's command"));
        QCOMPARE(position->STState->text(), QStringLiteral("Running"));

        position->Hold(TRC_PositionForm::HoldCheck);
        QCOMPARE(position->STState->text(), QStringLiteral("Waiting: connection check"));
        const uint64_t held = position->Run().Cycles();
        QTest::qWait(100);
        QCOMPARE(position->Run().Cycles(), held);
        position->Release();
        QCOMPARE(position->STState->text(), QStringLiteral("Running"));
        QTRY_VERIFY(position->Run().Cycles() > held);

        // Sending the configuration window back closes the position window first.
        Form->done(TRC_ConfigForm::ModalRetry);
        QVERIFY(!position->isVisible());
        const uint64_t after = tbsim_slave_sensor_value(0, 0);
        QTest::qWait(50);
        QCOMPARE(tbsim_slave_sensor_value(0, 0), after);

        if (const QString picture = qEnvironmentVariable("ROTACONF_POSITION_PICTURE"); !picture.isEmpty()) {
            // The README's picture: the window after two seconds on the simulated encoder.
            TRC_PositionForm shown(nullptr, *Device);
            shown.show();
            QTest::qWait(2500);
            shown.grab().save(picture);
        }
    }
};

QTEST_MAIN(TestPosition)
#include "tst_position.moc"
