// TRC_PositionForm: the encoder's live position. Runs sensor cycles in short batches on the program's
// thread while it is open, shows each slave's data words, plots the first word over the last seconds,
// counts the cycles and the failed ones by kind, and records them into a CSV file on request.
#ifndef ROTACONF_RC_POSITION_H
#define ROTACONF_RC_POSITION_H

#include "PositionRun.h"
#include "RC_Def.h"

#include <QElapsedTimer>
#include <QFile>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QChart;
class QChartView;
class QGroupBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QTableWidget;
class QTimer;
class QValueAxis;

class TRC_PositionForm : public QWidget {
    Q_OBJECT
public:
    // Why another window holds the cycles back.
    enum THoldReason : int {
        HoldCheck = 0,  // the connection check
        HoldCommand = 1 // another window's command (writing, reading, registers, reopening)
    };
    enum TRunState : int {
        Running = 0,
        Paused = 1, // by the user
        Stopped = 2 // by a failure; Resume tries again
    };
    // No batch takes much longer than this on the program's thread (one cycle that runs into the
    // library's time limit excepted).
    static constexpr double BatchMilliseconds = 25;
    static constexpr int PlotSeconds = 10;
    // Failed no-answer or CRC cycles in a row that stop the cycling (one alone is counted and passed).
    static constexpr int FailuresInARow = 3;

    // Asks for the record's file name; empty: cancelled.
    using TAskFileName = std::function<QString(QWidget *Parent, const QString &Title)>;
    static void SetAskFileName(TAskFileName Ask);

    // The device model stays the caller's.
    TRC_PositionForm(QWidget *Owner, TRC_Device &Device);
    ~TRC_PositionForm() override;

    void ApplyLanguage();
    // Another window needs the adapter: no cycle runs, and the window says why, until every Hold is
    // Released.
    void Hold(THoldReason Reason);
    void Release();
    bool Held() const { return m_holds > 0; }
    TRunState State() const { return m_state; }
    bool Recording() const { return m_record.isOpen(); }
    const TPositionRun &Run() const { return m_run; }

    QTableWidget *SGValues = nullptr;
    QChartView *ChartView = nullptr;
    QGroupBox *GBValues = nullptr, *GBCycles = nullptr;
    QLabel *LRate = nullptr, *STRate = nullptr, *LCycles = nullptr, *STCycles = nullptr;
    QLabel *LNoAnswer = nullptr, *STNoAnswer = nullptr, *LCrc = nullptr, *STCrc = nullptr;
    QLabel *LTimeout = nullptr, *STTimeout = nullptr, *LAdapter = nullptr, *STAdapter = nullptr;
    QLabel *STState = nullptr;
    QPushButton *BPause = nullptr, *BClear = nullptr, *BRecord = nullptr, *BClose = nullptr;

public slots:
    void BPauseClick();
    void BClearClick();
    void BRecordClick();

protected:
    void closeEvent(QCloseEvent *Event) override;

private:
    void BuildLayout();
    void RunBatch();
    void Plot(const TPositionBatch &Batch);
    void ShowValues();
    void ShowState();
    void UpdateTimer();
    void StopRecording(const QString &Why = QString());
    QString Text(int Id) const;

    TRC_Device &m_device;
    TPositionRun m_run;
    TRunState m_state = Running;
    int m_holds = 0;
    THoldReason m_holdReason = HoldCheck;
    int m_inARow = 0; // failed cycles in a row
    TCycleFailure m_lastFailure = FailNone;
    int32_t m_lastCode = 0;
    QString m_recordNote; // why the last record ended early
    QTimer *m_cycleTimer = nullptr;
    QElapsedTimer m_shown;                           // since the values were last shown
    std::deque<std::pair<int64_t, uint64_t>> m_pace; // (time, cycles) of the last second
    QFile m_record;
    QByteArray m_rows;
    // Latest values: first word, second word and whether it came, per slave.
    std::vector<uint32_t> m_word1, m_word2;
    std::vector<bool> m_hasWord2;
    bool m_haveValues = false;
    QChart *m_chart = nullptr;
    QValueAxis *m_axisX = nullptr, *m_axisY = nullptr;
    std::vector<QLineSeries *> m_series;
};

#endif
