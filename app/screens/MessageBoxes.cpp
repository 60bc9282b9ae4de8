#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace {

void ShowBox(QMessageBox::Icon Icon, const QString &Text, QMessageBox::StandardButton Button)
{
    // Two-language messages join their lines with a carriage return; a box breaks lines at a newline.
    QString shown = Text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(Icon, QApplication::applicationDisplayName(), shown, Button,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace

void TBoxMessages::Error(const QString &Text)
{
    ShowBox(QMessageBox::Critical, Text, QMessageBox::Cancel);
}

void TBoxMessages::Info(const QString &Text)
{
    ShowBox(QMessageBox::Information, Text, QMessageBox::Ok);
}
