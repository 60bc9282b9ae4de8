#include "RC_Position.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

// The window's own texts, English and German.
enum TPositionText : int {
    PtCaption,
    PtValues,
    PtSlave,
    PtWord1Dec,
    PtWord1Hex,
    PtWord2Dec,
    PtWord2Hex,
    PtPlotTitle,
    PtTime,
    PtValue,
    PtSeries,
    PtCycles,
    PtRate,
    PtCount,
    PtNoAnswer,
    PtCrc,
    PtTimeout,
    PtAdapter,
    PtPause,
    PtResume,
    PtClear,
    PtRecord,
    PtStopRecord,
    PtClose,
    PtRunning,
    PtPaused,
    PtStopped,
    PtWaitCheck,
    PtWaitCommand,
    PtRecording,
    PtRecordFailed,
    PtRecordTitle,
    PtTextCount
};

const char *const kTexts[PtTextCount][2] = {
    {"Position", "Position"},
    {"Current values", "Aktuelle Werte"},
    {"Slave", "Slave"},
    {"Word 1 (dec)", "Wort 1 (dez)"},
    {"Word 1 (hex)", "Wort 1 (hex)"},
    {"Word 2 (dec)", "Wort 2 (dez)"},
    {"Word 2 (hex)", "Wort 2 (hex)"},
    {"First data word, last 10 s", "Erstes Datenwort, letzte 10 s"},
    {"Time [s]", "Zeit [s]"},
    {"Value", "Wert"},
    {"Slave %1", "Slave %1"},
    {"Cycles", "Zyklen"},
    {"Cycles per second", "Zyklen pro Sekunde"},
    {"Cycles run", "Gelaufene Zyklen"},
    {"Failed: no answer", "Fehler: keine Antwort"},
    {"Failed: CRC", "Fehler: CRC"},
    {"Failed: time-out", "Fehler: Zeitüberschreitung"},
    {"Failed: adapter", "Fehler: Adapter"},
    {"&Pause", "&Pause"},
    {"&Resume", "&Fortsetzen"},
    {"C&lear", "&Löschen"},
    {"R&ecord...", "&Aufzeichnen..."},
    {"&Stop recording", "Aufzeichnung &beenden"},
    {"&Close", "S&chließen"},
    {"Running", "Läuft"},
    {"Paused", "Angehalten"},
    {"Stopped: %1 (%2). Resume tries again.", "Gestoppt: %1 (%2). Fortsetzen versucht es erneut."},
    {"Waiting: connection check", "Wartet: Verbindungsprüfung"},
    {"Waiting: another window's command", "Wartet: Befehl eines anderen Fensters"},
    {"recording to %1", "Aufzeichnung in %1"},
    {"recording ended: %1", "Aufzeichnung beendet: %1"},
    {"Record positions", "Positionen aufzeichnen"},
};

// Failure kinds as the window names them.
const char *const kFailureTexts[FailKinds][2] = {
    {"", ""},
    {"no answer", "keine Antwort"},
    {"CRC", "CRC"},
    {"time-out", "Zeitüberschreitung"},
    {"adapter", "Adapter"},
};

QString AskWithDialog(QWidget *Parent, const QString &Title)
{
    QFileDialog dialog(Parent, Title, QString(), QStringLiteral("CSV files (*.csv);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("Position.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

TRC_PositionForm::TAskFileName &AskFileName()
{
    static TRC_PositionForm::TAskFileName ask = AskWithDialog;
    return ask;
}

QLabel *AddRow(QFormLayout *Form, const char *Name, QLabel *&Caption)
{
    Caption = new QLabel;
    Caption->setObjectName(QLatin1String("L") + QLatin1String(Name));
    auto *value = new QLabel(QStringLiteral("0"));
    value->setObjectName(QLatin1String("ST") + QLatin1String(Name));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(90);
    Form->addRow(Caption, value);
    return value;
}

} // namespace

void TRC_PositionForm::SetAskFileName(TAskFileName Ask)
{
    AskFileName() = Ask ? std::move(Ask) : TAskFileName(AskWithDialog);
}

TRC_PositionForm::TRC_PositionForm(QWidget *Owner, TRC_Device &Device)
    : QWidget(Owner, Qt::Window), m_device(Device), m_run(*Device.Com)
{
    setObjectName(QStringLiteral("RC_PositionForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_cycleTimer = new QTimer(this);
    m_cycleTimer->setInterval(0);
    connect(m_cycleTimer, &QTimer::timeout, this, &TRC_PositionForm::RunBatch);
    if (!m_run.Start()) {
        m_state = Stopped;
        m_lastFailure = FailAdapter;
        m_lastCode = m_device.Com->LastResult;
    }
    BuildLayout();
    ApplyLanguage();
    ShowValues();
    UpdateTimer();
}

TRC_PositionForm::~TRC_PositionForm()
{
    m_cycleTimer->stop();
    StopRecording();
}

void TRC_PositionForm::BuildLayout()
{
    resize(640, 520);
    const auto slaves = static_cast<int>(m_run.Slaves());

    GBValues = new QGroupBox(this);
    GBValues->setObjectName(QStringLiteral("GBValues"));
    SGValues = new QTableWidget(slaves, 5, GBValues);
    SGValues->setObjectName(QStringLiteral("SGValues"));
    SGValues->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SGValues->setSelectionMode(QAbstractItemView::NoSelection);
    SGValues->setFocusPolicy(Qt::NoFocus);
    SGValues->verticalHeader()->hide();
    SGValues->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < slaves; ++row)
        for (int column = 0; column < 5; ++column) {
            auto *item = new QTableWidgetItem(column == 0 ? QString::number(row) : QString());
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            SGValues->setItem(row, column, item);
        }
    SGValues->setFixedHeight(SGValues->horizontalHeader()->sizeHint().height() +
                             std::max(slaves, 1) * SGValues->verticalHeader()->defaultSectionSize() + 4);
    auto *valuesLayout = new QVBoxLayout(GBValues);
    valuesLayout->addWidget(SGValues);

    m_chart = new QChart;
    m_chart->legend()->setVisible(slaves > 1);
    m_axisX = new QValueAxis;
    m_axisX->setRange(-PlotSeconds, 0);
    m_axisX->setLabelFormat(QStringLiteral("%.0f"));
    m_axisY = new QValueAxis;
    m_axisY->setLabelFormat(QStringLiteral("%.0f"));
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    for (int slave = 0; slave < slaves; ++slave) {
        auto *series = new QLineSeries;
        m_chart->addSeries(series);
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
        m_series.push_back(series);
    }
    ChartView = new QChartView(m_chart, this);
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartView->setMinimumHeight(220);

    GBCycles = new QGroupBox(this);
    GBCycles->setObjectName(QStringLiteral("GBCycles"));
    auto *counts = new QFormLayout(GBCycles);
    STRate = AddRow(counts, "Rate", LRate);
    STCycles = AddRow(counts, "Cycles", LCycles);
    STNoAnswer = AddRow(counts, "NoAnswer", LNoAnswer);
    STCrc = AddRow(counts, "Crc", LCrc);
    STTimeout = AddRow(counts, "Timeout", LTimeout);
    STAdapter = AddRow(counts, "Adapter", LAdapter);

    STState = new QLabel(this);
    STState->setObjectName(QStringLiteral("STState"));
    STState->setWordWrap(true);
    STState->setTextFormat(Qt::PlainText);

    BPause = new QPushButton(this);
    BPause->setObjectName(QStringLiteral("BPause"));
    BClear = new QPushButton(this);
    BClear->setObjectName(QStringLiteral("BClear"));
    BRecord = new QPushButton(this);
    BRecord->setObjectName(QStringLiteral("BRecord"));
    BClose = new QPushButton(this);
    BClose->setObjectName(QStringLiteral("BClose"));
    connect(BPause, &QPushButton::clicked, this, &TRC_PositionForm::BPauseClick);
    connect(BClear, &QPushButton::clicked, this, &TRC_PositionForm::BClearClick);
    connect(BRecord, &QPushButton::clicked, this, &TRC_PositionForm::BRecordClick);
    connect(BClose, &QPushButton::clicked, this, &QWidget::close);

    auto *side = new QVBoxLayout;
    side->addWidget(GBCycles);
    side->addWidget(STState);
    side->addStretch(1);
    auto *middle = new QHBoxLayout;
    middle->addWidget(ChartView, 1);
    middle->addLayout(side);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {BPause, BClear, BRecord})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(BClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GBValues);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);
}

QString TRC_PositionForm::Text(int Id) const
{
    return QString::fromUtf8(kTexts[Id][m_device.Options->LangBase != LangEnglish ? 1 : 0]);
}

void TRC_PositionForm::ApplyLanguage()
{
    setWindowTitle(Text(PtCaption));
    GBValues->setTitle(Text(PtValues));
    SGValues->setHorizontalHeaderLabels(
        {Text(PtSlave), Text(PtWord1Dec), Text(PtWord1Hex), Text(PtWord2Dec), Text(PtWord2Hex)});
    m_chart->setTitle(Text(PtPlotTitle));
    m_axisX->setTitleText(Text(PtTime));
    m_axisY->setTitleText(Text(PtValue));
    for (size_t slave = 0; slave < m_series.size(); ++slave)
        m_series[slave]->setName(Text(PtSeries).arg(slave));
    GBCycles->setTitle(Text(PtCycles));
    LRate->setText(Text(PtRate));
    LCycles->setText(Text(PtCount));
    LNoAnswer->setText(Text(PtNoAnswer));
    LCrc->setText(Text(PtCrc));
    LTimeout->setText(Text(PtTimeout));
    LAdapter->setText(Text(PtAdapter));
    BClear->setText(Text(PtClear));
    BClose->setText(Text(PtClose));
    ShowState();
}

void TRC_PositionForm::Hold(THoldReason Reason)
{
    if (m_holds++ == 0)
        m_holdReason = Reason;
    UpdateTimer();
    ShowState();
}

void TRC_PositionForm::Release()
{
    if (m_holds > 0)
        --m_holds;
    UpdateTimer();
    ShowState();
}

void TRC_PositionForm::UpdateTimer()
{
    if (m_state == Running && m_holds == 0)
        m_cycleTimer->start();
    else
        m_cycleTimer->stop();
}

void TRC_PositionForm::RunBatch()
{
    if (m_state != Running || m_holds > 0) {
        UpdateTimer();
        return;
    }
    const TPositionBatch &batch = m_run.Run(m_run.BatchFor(BatchMilliseconds));
    if (batch.Done > 0) {
        const uint32_t last = batch.Done - 1;
        m_word1.resize(batch.Slaves);
        m_word2.resize(batch.Slaves);
        m_hasWord2.resize(batch.Slaves);
        for (uint32_t slave = 0; slave < batch.Slaves; ++slave) {
            m_word1[slave] = batch.Word1(last, slave);
            m_hasWord2[slave] = batch.HasWord2(last, slave);
            if (m_hasWord2[slave])
                m_word2[slave] = batch.Word2(last, slave);
        }
        m_haveValues = true;
        m_inARow = 0;
        Plot(batch);
    }
    if (m_record.isOpen()) {
        TPositionRun::AppendCsvRows(batch, m_rows);
        if (m_record.write(m_rows) != m_rows.size())
            StopRecording(m_record.errorString());
        m_rows.clear();
    }
    if (batch.Failure != FailNone) {
        m_lastFailure = batch.Failure;
        m_lastCode = batch.Code;
        ++m_inARow;
        // A lost adapter or a cycle that never ends stops at once; so do answers missing or spoilt
        // several times in a row (a pulled cable), while a single bad cycle is only counted.
        if (batch.Failure == FailAdapter || batch.Failure == FailTimeout || m_inARow >= FailuresInARow) {
            m_state = Stopped;
            UpdateTimer();
            ShowValues();
            ShowState();
            return;
        }
    }
    if (!m_shown.isValid() || m_shown.elapsed() >= 100)
        ShowValues();
}

void TRC_PositionForm::Plot(const TPositionBatch &Batch)
{
    // At most a few points per slave and batch: the plot shows the movement, the record every value.
    constexpr uint32_t kPointsPerBatch = 8;
    const uint32_t step = std::max<uint32_t>(1, Batch.Done / kPointsPerBatch);
    for (uint32_t slave = 0; slave < Batch.Slaves && slave < m_series.size(); ++slave) {
        QList<QPointF> points;
        for (uint32_t cycle = step - 1; cycle < Batch.Done; cycle += step)
            points.append(QPointF(static_cast<double>(Batch.TimeUs[cycle]) / 1e6, Batch.Word1(cycle, slave)));
        m_series[slave]->append(points);
    }
}

void TRC_PositionForm::ShowValues()
{
    m_shown.start();
    // The record on disk keeps up with the window, for anyone reading it while it grows.
    if (m_record.isOpen() && !m_record.flush())
        StopRecording(m_record.errorString());
    for (uint32_t slave = 0; m_haveValues && slave < m_word1.size() && slave < m_series.size(); ++slave) {
        const int row = static_cast<int>(slave);
        SGValues->item(row, 1)->setText(QString::number(m_word1[slave]));
        SGValues->item(row, 2)->setText(QStringLiteral("0x") +
                                        QString::number(m_word1[slave], 16).toUpper().rightJustified(8, '0'));
        SGValues->item(row, 3)->setText(m_hasWord2[slave] ? QString::number(m_word2[slave])
                                                          : QStringLiteral("-"));
        SGValues->item(row, 4)->setText(
            m_hasWord2[slave]
                ? QStringLiteral("0x") + QString::number(m_word2[slave], 16).toUpper().rightJustified(8, '0')
                : QStringLiteral("-"));
    }

    const int64_t now = m_run.ElapsedUs();
    m_pace.emplace_back(now, m_run.Cycles());
    while (m_pace.size() > 2 && now - m_pace[1].first >= 1000000)
        m_pace.pop_front();
    const auto &[since, cyclesThen] = m_pace.front();
    const bool moving = m_state == Running && m_holds == 0;
    const double rate = moving && now > since ? static_cast<double>(m_run.Cycles() - cyclesThen) * 1e6 /
                                                    static_cast<double>(now - since)
                                              : 0.0;
    STRate->setText(QString::number(rate, 'f', 0));
    STCycles->setText(QString::number(m_run.Cycles()));
    STNoAnswer->setText(QString::number(m_run.Failures(FailNoAnswer)));
    STCrc->setText(QString::number(m_run.Failures(FailCrc)));
    STTimeout->setText(QString::number(m_run.Failures(FailTimeout)));
    STAdapter->setText(QString::number(m_run.Failures(FailAdapter)));

    // The last seconds, the y axis around what they hold.
    const double end = static_cast<double>(now) / 1e6;
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    for (QLineSeries *series : m_series) {
        const QList<QPointF> points = series->points();
        const auto old = std::find_if(points.cbegin(), points.cend(),
                                      [end](const QPointF &p) { return p.x() >= end - PlotSeconds; });
        if (const auto drop = std::distance(points.cbegin(), old); drop > 0)
            series->removePoints(0, static_cast<int>(drop));
        for (auto p = old; p != points.cend(); ++p) {
            low = std::min(low, p->y());
            high = std::max(high, p->y());
        }
    }
    m_axisX->setRange(std::max(0.0, end - PlotSeconds), std::max(end, double{PlotSeconds}));
    if (low <= high) {
        const double margin = std::max(1.0, (high - low) * 0.05);
        m_axisY->setRange(low - margin, high + margin);
    }
}

void TRC_PositionForm::ShowState()
{
    QString state;
    if (m_holds > 0 && m_state == Running)
        state = Text(m_holdReason == HoldCheck ? PtWaitCheck : PtWaitCommand);
    else if (m_state == Running)
        state = Text(PtRunning);
    else if (m_state == Paused)
        state = Text(PtPaused);
    else
        state = Text(PtStopped).arg(
            QString::fromUtf8(kFailureTexts[m_lastFailure][m_device.Options->LangBase != LangEnglish]),
            TBissCom::ResultName(m_lastCode));
    if (m_record.isOpen())
        state += QStringLiteral("; ") + Text(PtRecording).arg(QFileInfo(m_record.fileName()).fileName());
    else if (!m_recordNote.isEmpty())
        state += QStringLiteral("; ") + Text(PtRecordFailed).arg(m_recordNote);
    STState->setText(state);
    BPause->setText(Text(m_state == Running ? PtPause : PtResume));
    BRecord->setText(Text(m_record.isOpen() ? PtStopRecord : PtRecord));
}

void TRC_PositionForm::BPauseClick()
{
    if (m_state == Running) {
        m_state = Paused;
    } else {
        // A window opened on a master that did not answer reads its settings now.
        if (m_series.empty() && m_run.Slaves() == 0 && !m_run.Start()) {
            m_lastCode = m_device.Com->LastResult;
            ShowState();
            return;
        }
        m_state = Running;
        m_inARow = 0;
    }
    UpdateTimer();
    ShowValues();
    ShowState();
}

void TRC_PositionForm::BClearClick()
{
    m_run.ClearCounts();
    m_pace.clear();
    for (QLineSeries *series : m_series)
        series->clear();
    m_haveValues = false;
    for (int row = 0; row < SGValues->rowCount(); ++row)
        for (int column = 1; column < SGValues->columnCount(); ++column)
            SGValues->item(row, column)->setText(QString());
    ShowValues();
}

void TRC_PositionForm::BRecordClick()
{
    if (m_record.isOpen()) {
        StopRecording();
        ShowState();
        return;
    }
    const QString name = AskFileName()(this, Text(PtRecordTitle));
    if (name.isEmpty())
        return;
    m_recordNote.clear();
    m_record.setFileName(name);
    const QByteArray header = TPositionRun::CsvHeader();
    if (!m_record.open(QIODevice::WriteOnly | QIODevice::Truncate) || m_record.write(header) != header.size())
        StopRecording(m_record.errorString());
    ShowState();
}

void TRC_PositionForm::StopRecording(const QString &Why)
{
    if (m_record.isOpen()) {
        m_record.close();
        if (m_record.error() != QFileDevice::NoError && Why.isEmpty())
            m_recordNote = m_record.errorString();
    }
    if (!Why.isEmpty())
        m_recordNote = Why;
}

void TRC_PositionForm::closeEvent(QCloseEvent *Event)
{
    m_cycleTimer->stop();
    m_state = Paused;
    StopRecording();
    QWidget::closeEvent(Event);
}
