#include "About.h"

#include "VersionInfo.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

QLabel *PlacedLabel(QWidget *parent, const char *name, const QString &text, int left, int top, bool bold)
{
    auto *label = new QLabel(text, parent);
    if (name != nullptr)
        label->setObjectName(QString::fromLatin1(name));
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAboutForm::TAboutForm(QWidget *owner, const QString &programFile)
    : QDialog(owner), m_programFile(programFile)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(298, 241);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(8, 8, 282, 185);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 49, 49);
    ProgramIcon->setAlignment(Qt::AlignCenter);

    LProductName = PlacedLabel(panel, "LProductName", QStringLiteral("Produktname"), 72, 10, true);
    LVersion = PlacedLabel(panel, "LVersion", QStringLiteral("Version"), 72, 30, true);
    LFileDate = PlacedLabel(panel, "LFileDate", QStringLiteral("27.Sept 2001"), 160, 30, true);

    PlacedLabel(panel, nullptr, QStringLiteral("Copyright"), 8, 68, false);
    LCopyright = PlacedLabel(panel, "LCopyright", QString(), 78, 68, false);
    PlacedLabel(panel, nullptr, QStringLiteral("Status"), 8, 88, false);
    LStatus = PlacedLabel(panel, "LStatus", QStringLiteral("unbekannt"), 78, 88, false);
    PlacedLabel(panel, nullptr, QStringLiteral("Comments"), 8, 108, false);
    LComments = new QLabel(QStringLiteral("Kommentar"), panel);
    LComments->setObjectName(QStringLiteral("LComments"));
    LComments->setWordWrap(true);
    LComments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LComments->setGeometry(78, 108, 201, 70);

    BOK = new QPushButton(QStringLiteral("OK"), this);
    BOK->setObjectName(QStringLiteral("BOK"));
    BOK->setGeometry(111, 204, 75, 28);
    BOK->setDefault(true);
    connect(BOK, &QPushButton::clicked, this, &QDialog::accept);

    CentreOnDesktop(this);
}

void TAboutForm::FormActivate()
{
    const QString file = m_programFile.isEmpty() ? ProgramFileName() : m_programFile;

    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    ProgramIcon->setPixmap(icon.pixmap(32, 32));

    TVersionTexts texts;
    if (ReadVersionInfo(file, texts)) {
        LProductName->setText(texts.ProductName);
        LVersion->setText(texts.FileVersion);
        LCopyright->setText(texts.LegalCopyright);
        LComments->setText(texts.Comments);
    }
    QDate date;
    if (ReadFileDate(file, date))
        LFileDate->setText(date.toString(QStringLiteral("dd.MM.yyyy")));
    QString status;
    if (ReadVersionValue(file, QStringLiteral("Status"), status) && !status.isEmpty())
        LStatus->setText(status);
    for (QLabel *label : {LProductName, LVersion, LFileDate, LCopyright, LStatus})
        label->adjustSize();
}

void TAboutForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormActivate();
}
