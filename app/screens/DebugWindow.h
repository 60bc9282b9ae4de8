// TDebugForm: the tool window that shows the binding's trace lines.
#ifndef ROTACONF_DEBUGWINDOW_H
#define ROTACONF_DEBUGWINDOW_H

#include "LogWindow.h"

#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;
class QWidget;

// The window hides instead of closing while logging is on: a close attempt by the user is turned into
// the binding's CloseDebug (the close hook), which ends logging and closes the window through
// ForceClose. Once hidden, a window is not shown again; the binding makes a fresh one.
class TDebugForm : public QWidget, public TLogWindow {
    Q_OBJECT
public:
    // Asks where to save the lines; an empty answer means the user cancelled. Replaceable so that the
    // save can run without a dialog.
    using TAskFileName =
        std::function<QString(QWidget *Parent, const QString &Title, const QString &Default)>;

    explicit TDebugForm(QWidget *Parent = nullptr);

    void AddLine(const QString &Line) override;
    void Show() override;
    void ForceClose() override;
    void SetCaption(const QString &Caption) override;
    void SetWidth(int Width) override;

    QStringList Lines() const;
    bool HideOnly() const { return m_hideOnlyFlag; }

    static void SetAskFileName(TAskFileName Ask);

    // Controls, named as the window's layout names them.
    QPlainTextEdit *Memo = nullptr;
    QWidget *PButtons = nullptr;
    QPushButton *BClose = nullptr;
    QPushButton *BClear = nullptr;
    QPushButton *BSave = nullptr;

public slots:
    void BClearClick();
    void BSaveClick();

protected:
    void closeEvent(QCloseEvent *Event) override;

private:
    bool m_hideOnlyFlag = true;
    bool m_inHook = false;
};

// Makes every binding create its log window as a TDebugForm (called once at program start).
void InstallDebugWindowFactory();

#endif
