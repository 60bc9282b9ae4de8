// The window that shows the binding's trace lines.
#ifndef ROTACONF_LOGWINDOW_H
#define ROTACONF_LOGWINDOW_H

#include <QString>

#include <functional>
#include <utility>

// A log window as the binding drives it. The window hides instead of closing while it is in use:
// any close attempt by the user calls the close hook (TBissCom::CloseDebug of its binding), which
// switches logging off and then calls ForceClose(); the window is hidden, never destroyed, until
// the binding that created it is freed.
class TLogWindow {
public:
    virtual ~TLogWindow() = default;

    // One trace line, already escaped.
    virtual void AddLine(const QString &Line) = 0;
    // Shows the window (non-modal); also when it is already visible.
    virtual void Show() = 0;
    // The forced close path: clears the hide-only flag and closes (hides) the window.
    virtual void ForceClose() = 0;
    // Caption and width the binding gives a freshly created window ("Debug tarnbus", 555).
    virtual void SetCaption(const QString &Caption) { (void)Caption; }
    virtual void SetWidth(int Width) { (void)Width; }

    // Called by the window when the user tries to close it while the hide-only flag is set.
    void SetCloseHook(std::function<void()> Hook) { m_closeHook = std::move(Hook); }
    bool HasCloseHook() const { return static_cast<bool>(m_closeHook); }
    void CallCloseHook()
    {
        if (m_closeHook)
            m_closeHook();
    }

private:
    std::function<void()> m_closeHook;
};

#endif
