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
    QApplication::setQuitOnLastWindowClosed(false); // the main window hides while the work goes on
}
