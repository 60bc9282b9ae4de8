#include "DebugWindow.h"

#include "BissCom.h"
#include "Glyphs.h"
#include "UserMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>
#include <QVBoxLayout>

#include <exception>

namespace {

QString AskWithDialog(QWidget *Parent, const QString &Title, const QString &Default)
{
    QFileDialog dialog(Parent, Title, QString(), QStringLiteral("Text files (*.txt);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(Default);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

TDebugForm::TAskFileName &AskFileName()
{
    static TDebugForm::TAskFileName ask = AskWithDialog;
    return ask;
}

} // namespace

TDebugForm::TDebugForm(QWidget *Parent) : QWidget(Parent, Qt::Tool)
{
    setObjectName(QStringLiteral("DebugForm"));
    setWindowTitle(QStringLiteral("DebugForm"));
    setMinimumSize(250, 150);

    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    PButtons = new QWidget(this);
    PButtons->setObjectName(QStringLiteral("PButtons"));
    BClose = new QPushButton(QStringLiteral("&Close"), PButtons);
    BClose->setObjectName(QStringLiteral("BClose"));
    BClear = new QPushButton(QStringLiteral("&Löschen"), PButtons);
    BClear->setObjectName(QStringLiteral("BClear"));
    BSave = new QPushButton(PButtons);
    BSave->setObjectName(QStringLiteral("BSave"));
    BSave->setIcon(SaveGlyph());
    BSave->setToolTip(QStringLiteral("Save Debug Informations"));

    auto *buttons = new QHBoxLayout(PButtons);
    buttons->addWidget(BClose);
    buttons->addWidget(BClear);
    buttons->addWidget(BSave);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo);
    layout->addWidget(PButtons);

    connect(BClose, &QPushButton::clicked, this, &QWidget::close);
    connect(BClear, &QPushButton::clicked, this, &TDebugForm::BClearClick);
    connect(BSave, &QPushButton::clicked, this, &TDebugForm::BSaveClick);

    // The window's frame, title bar included, goes to the top left corner of the screen.
    resize(157, 571);
    move(0, 0);
}

void TDebugForm::AddLine(const QString &Line)
{
    Memo->appendPlainText(Line);
}

void TDebugForm::Show()
{
    show();
}

void TDebugForm::ForceClose()
{
    m_hideOnlyFlag = false;
    // Inside the close attempt that called the hook, Qt ignores a nested close(): hide directly.
    if (m_inHook)
        hide();
    else
        close();
}

void TDebugForm::SetCaption(const QString &Caption)
{
    setWindowTitle(Caption);
}

void TDebugForm::SetWidth(int Width)
{
    resize(Width, height());
}

QStringList TDebugForm::Lines() const
{
    QString text = Memo->toPlainText();
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

void TDebugForm::SetAskFileName(TAskFileName Ask)
{
    AskFileName() = Ask ? std::move(Ask) : TAskFileName(AskWithDialog);
}

void TDebugForm::BClearClick()
{
    Memo->clear();
}

void TDebugForm::BSaveClick()
{
    const QString name =
        AskFileName()(this, QStringLiteral("Save Debug Informations"), QStringLiteral("Debug.txt"));
    if (name.isEmpty())
        return;
    // Written to a temporary file and renamed, so a failed save never leaves half a log behind.
    QSaveFile file(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream out(&file);
        out.setEncoding(QStringConverter::Utf8);
        for (const QString &line : Lines())
            out << line << '\n';
        out.flush();
        if (file.commit())
            return;
    }
    UserMessages().Error(QStringLiteral("Could not write to file ") + name);
}

void TDebugForm::closeEvent(QCloseEvent *Event)
{
    BClose->setEnabled(false);
    if (!m_hideOnlyFlag) {
        Event->accept(); // the forced path: the window hides (it is never destroyed here)
        return;
    }
    if (HasCloseHook() && !m_inHook) {
        m_inHook = true;
        try {
            CallCloseHook();
        } catch (const std::exception &) {
            QApplication::beep();
        } catch (...) {
            QApplication::beep();
        }
        m_inHook = false;
    }
    Event->ignore();
}

void InstallDebugWindowFactory()
{
    TBissCom::SetLogWindowFactory([](TBissCom &) { return std::make_unique<TDebugForm>(); });
}
