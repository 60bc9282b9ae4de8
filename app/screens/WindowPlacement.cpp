#include "WindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

void CentreOnDesktop(QWidget *Window)
{
    const QScreen *screen = Window->screen() ? Window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // A window's position is that of its frame; before it is first shown the frame has no size yet.
    const QSize size = Window->frameGeometry().size();
    Window->move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

void SetUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Rotaconf"));
    // Ties the windows to the launcher (org.tarnbus.Rotaconf.desktop): the Wayland app id, and the
    // desktop entry's StartupWMClass for the X window class.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnbus.Rotaconf"));
    QApplication::setQuitOnLastWindowClosed(false); // the main window hides while the work goes on
}
