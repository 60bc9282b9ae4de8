// TRC_ConfigForm: the working window. Shows the connected encoder's rating plate and factory settings,
// offers the configurations the catalogue allows for it, writes every choice into the encoder at once,
// restores the factory configuration, switches the language and watches the connection.
#ifndef ROTACONF_RC_CONFIG_H
#define ROTACONF_RC_CONFIG_H

#include "PulseCountText.h"
#include "RC_Def.h"
#include "RC_Position.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <optional>

class QAction;
class QButtonGroup;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

class TRC_ConfigForm : public QDialog {
    Q_OBJECT
public:
    // What the two lamps show (SetLamps): both dark while idle or busy, red after a failed write or
    // check, green after a successful one.
    enum TLampState : int {
        LampsIdle = 0,
        LampsFailure = 1,
        LampsBusy = 2,
        LampsSuccess = 3
    };

    // Modal results: retry makes the main window run Init again; anything else ends the program.
    static constexpr int ModalRetry = 4;
    static constexpr int ModalCancel = 2;
    static constexpr int CheckInterval = 7000; // ms between two connection checks

    // The device model stays the caller's.
    TRC_ConfigForm(QWidget *Owner, const QString &VersionText, TRC_Device &Device);
    ~TRC_ConfigForm() override;

    void FormCreate();
    void ApplyLanguage();
    void ShowRatingPlate();
    void FillPulseCounts();
    void SelectCurrent();
    void SetLamps(int State);
    void ClearDisplay();
    void EnableControls(bool Flag);

    // Pulse counts as the window shows and reads them, as the command line does (PulseCountText.h).
    static QString FormatPulseCount(uint32_t Count) { return ::FormatPulseCount(Count); }
    static std::optional<uint32_t> ParsePulseCount(const QString &Text) { return ::ParsePulseCount(Text); }

    // The catalogue entries of this encoder's article type and basic resolution, and of those the ones
    // with the chosen pulse count in reverse catalogue order (absent until the first choice).
    std::unique_ptr<TConfigList> PossibleConfigs;
    std::unique_ptr<TConfigList> SelectedConfigs;
    bool Busy = false;                     // a write runs: a watch tick only restarts the timer
    ConnectionState State = Connected;     // found by the current watch tick
    ConnectionState LastState = Connected; // found by the previous one

    // Controls, named as the window's layout names them.
    QGroupBox *GBRatingPlate = nullptr;
    QLabel *LArtBez = nullptr, *STArtBez = nullptr, *LCommunication = nullptr;
    QFrame *PRed = nullptr, *PGreen = nullptr;
    QPushButton *BReloadFactorySetting = nullptr;
    QLabel *Label2 = nullptr, *STPCode = nullptr, *Label4 = nullptr, *STSNr = nullptr;
    QLabel *LPolesCount = nullptr, *STPolesCount = nullptr;
    QLabel *LImpCount = nullptr, *STImpCount = nullptr;
    QLabel *LCW = nullptr, *STCW = nullptr;
    QLabel *LNullImp = nullptr, *STNullImp = nullptr;
    QGroupBox *GBConfiguration = nullptr;
    QLabel *LImpInterpol = nullptr, *LDir = nullptr, *LNimp = nullptr;
    QComboBox *CBImpOut = nullptr, *CBCW = nullptr, *CBNullImp = nullptr;
    QPushButton *BCancel = nullptr;
    QLabel *Label1 = nullptr, *LVersion = nullptr;
    QToolButton *SBGerman = nullptr, *SBEnglish = nullptr;
    QTimer *TimerCheckSame = nullptr;
    // The service commands, reached by the context menu and their shortcuts.
    QAction *ActRegister = nullptr, *ActShowDebug = nullptr, *ActCheck = nullptr, *ActClear = nullptr;
    QAction *ActPosition = nullptr;
    // The position window while it is open.
    TRC_PositionForm *PositionForm() const { return m_position; }

public slots:
    void CBImpOutChange();
    void DataChanged();
    void BWriteClick();
    void BReadClick();
    void BReloadFactorySettingClick();
    void SBGermanClick();
    void SBEnglishClick();
    void TimerCheckSameTimer();
    void BRegisterClick();
    void BShowDebugClick();
    void BCheckClick();
    void BClearClick();
    void BPositionClick();
    void done(int Result) override;

protected:
    void closeEvent(QCloseEvent *Event) override;

private:
    void BuildLayout();
    void BuildActions();
    void SetLanguage(int LangBase);
    QString Text(TTextId Id) const;
    void FinishWithRetry();
    // After a write that failed: the message when a block read back otherwise than written.
    void ReportReadBack();
    void SetWaitCursor(bool On);

    TRC_Device &m_device;
    bool m_finished = false;   // a retry result is set; nothing may restart the watch
    bool m_waitCursor = false; // the hourglass this window put up
    QButtonGroup *m_languageGroup = nullptr;
    QPointer<TRC_PositionForm> m_position;
};

#endif
