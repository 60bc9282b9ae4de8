// TRC_MainForm: the program's first window. Shows the product logo and a picture of an encoder, loads
// the catalogue, runs the Init sequence and hands over to the configuration window.
#ifndef ROTACONF_RC_MAIN_H
#define ROTACONF_RC_MAIN_H

#include "RC_Def.h"

#include <QWidget>

#include <memory>

class QAction;
class QLabel;
class QPushButton;
class QTimer;

class TRC_MainForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int LoadDelay = 444; // ms from creation to the catalogue and the first Init

    explicit TRC_MainForm(QWidget *Parent = nullptr);
    ~TRC_MainForm() override; // FormDestroy

    // "Encoder.cfg" beside the program; an installed program also looks in ../share/rotaconf/.
    static QString DefaultCatalogueFile();

    TRC_Device &Device() { return *m_deviceModel; }

    // The catalogue TimerLoadTimer reads; DefaultCatalogueFile() unless changed before the timer fires.
    QString CatalogueFile;

    QLabel *ImageDorvane = nullptr;
    QLabel *ImEncoder = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *LVersion = nullptr;
    QPushButton *BInit = nullptr;
    QTimer *TimerLoad = nullptr;
    QAction *ActAbout = nullptr, *ActManual = nullptr, *ActClose = nullptr;

signals:
    // The window was closed: the program ends.
    void Closed();

public slots:
    void FormActivate();
    void TimerLoadTimer();
    void BInitClick();
    void ImEncoderMouseUp(Qt::KeyboardModifiers Modifiers);
    void mnuHelpAboutClick();
    void mnuFileCloseClick();
    int BSelectManualClick();

protected:
    void closeEvent(QCloseEvent *Event) override; // FormClose
    void showEvent(QShowEvent *Event) override;
    void changeEvent(QEvent *Event) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void FormCreate();
    void BuildLayout();
    void BuildActions();
    // One pass of the Init sequence; true when the configuration window asked for another pass.
    bool RunInit();

    std::unique_ptr<TRC_Device> m_deviceModel;
    bool m_initRunning = false;
};

#endif
