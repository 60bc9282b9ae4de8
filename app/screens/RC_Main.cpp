#include "RC_Main.h"

#include "About.h"
#include "Glyphs.h"
#include "JpegImage.h"
#include "ProgramFiles.h"
#include "RC_Config.h"
#include "VersionInfo.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

// The pictures live in the windows' static library; make sure its resources are linked and registered.
static void RegisterPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace {

QLabel *MakePicture(QWidget *Parent, const char *Name, const QRect &Place, const QString &Resource)
{
    auto *picture = new QLabel(Parent);
    picture->setObjectName(QLatin1String(Name));
    picture->setGeometry(Place);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QImage image = LoadJpegResource(Resource);
    if (!image.isNull())
        picture->setPixmap(
            QPixmap::fromImage(image.scaled(Place.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return picture;
}

QLabel *MakeGreyLabel(QWidget *Parent, const char *Name, int Left, int Top, const QString &Text)
{
    auto *label = new QLabel(Text, Parent);
    label->setObjectName(QLatin1String(Name));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::gray);
    label->setPalette(palette);
    label->move(Left, Top);
    label->adjustSize();
    return label;
}

// Both languages at once, English first: the Init messages do not depend on the language setting.
QString BothLanguages(TTextId Id)
{
    return TRC_Option::TextOf(LangEnglish + Id) + QChar(13) + TRC_Option::TextOf(LangGerman + Id);
}

} // namespace

TRC_MainForm::TRC_MainForm(QWidget *Parent) : QWidget(Parent)
{
    setObjectName(QStringLiteral("RC_MainForm"));
    BuildLayout();
    BuildActions();
    CatalogueFile = DefaultCatalogueFile();
    FormCreate();
}

TRC_MainForm::~TRC_MainForm()
{
    // FormDestroy: the device model saves the settings as it goes.
    m_deviceModel.reset();
}

QString TRC_MainForm::DefaultCatalogueFile()
{
    return ::DefaultCatalogueFile();
}

void TRC_MainForm::BuildLayout()
{
    setWindowTitle(QStringLiteral("Rotaconf"));
    setFixedSize(479, 447);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    RegisterPictures();
    ImageDorvane =
        MakePicture(this, "ImageDorvane", QRect(0, 0, 361, 105), QStringLiteral(":/pictures/logo.jpg"));
    ImEncoder =
        MakePicture(this, "ImEncoder", QRect(102, 108, 363, 257), QStringLiteral(":/pictures/encoder.jpg"));
    ImEncoder->installEventFilter(this);
    Label1 = MakeGreyLabel(this, "Label1", 102, 396, QStringLiteral("Version:"));
    LVersion = MakeGreyLabel(this, "LVersion", 144, 396, QStringLiteral("----"));
    // The version follows its caption, however wide the caption comes out in the desktop's font.
    LVersion->move(std::max(LVersion->x(), Label1->x() + Label1->width() + 4), LVersion->y());

    BInit = new QPushButton(InitGlyph(), QStringLiteral("Init"), this);
    BInit->setObjectName(QStringLiteral("BInit"));
    BInit->setGeometry(387, 372, 73, 41);
    BInit->setDefault(true);
    connect(BInit, &QPushButton::clicked, this, &TRC_MainForm::BInitClick);

    TimerLoad = new QTimer(this);
    TimerLoad->setObjectName(QStringLiteral("TimerLoad"));
    TimerLoad->setInterval(LoadDelay);
    TimerLoad->setSingleShot(true);
    connect(TimerLoad, &QTimer::timeout, this, &TRC_MainForm::TimerLoadTimer);
}

void TRC_MainForm::BuildActions()
{
    // Commands the window's face leaves out: right-click menu and shortcuts.
    ActAbout = new QAction(QStringLiteral("About..."), this);
    ActAbout->setObjectName(QStringLiteral("ActAbout"));
    ActAbout->setShortcut(QKeySequence(Qt::Key_F1));
    connect(ActAbout, &QAction::triggered, this, &TRC_MainForm::mnuHelpAboutClick);
    ActManual = new QAction(QStringLiteral("Manual selection..."), this);
    ActManual->setObjectName(QStringLiteral("ActManual"));
    ActManual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(ActManual, &QAction::triggered, this, &TRC_MainForm::BSelectManualClick);
    ActClose = new QAction(QStringLiteral("Close"), this);
    ActClose->setObjectName(QStringLiteral("ActClose"));
    ActClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(ActClose, &QAction::triggered, this, &TRC_MainForm::mnuFileCloseClick);
    // Enter starts Init, as on the default button of a dialog.
    auto *enter = new QAction(this);
    enter->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    connect(enter, &QAction::triggered, this, [this]() {
        if (BInit->isEnabled())
            BInit->click();
    });
    addAction(ActAbout);
    addAction(ActManual);
    addAction(ActClose);
    addAction(enter);
    for (QAction *action : actions())
        action->setShortcutContext(Qt::WindowShortcut);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addActions({ActAbout, ActManual, ActClose});
        menu.exec(mapToGlobal(at));
    });
}

void TRC_MainForm::FormCreate()
{
    m_deviceModel = std::make_unique<TRC_Device>();
    move(m_deviceModel->Options->Left, m_deviceModel->Options->Top);
    TimerLoad->start();
}

void TRC_MainForm::FormActivate()
{
    LVersion->setText(VersionLabelText(ProgramFileName()));
    LVersion->adjustSize();
}

void TRC_MainForm::showEvent(QShowEvent *Event)
{
    QWidget::showEvent(Event);
    FormActivate();
}

void TRC_MainForm::changeEvent(QEvent *Event)
{
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TRC_MainForm::TimerLoadTimer()
{
    TimerLoad->stop();
    BInit->setEnabled(m_deviceModel->Catalogue->LoadFromFile(CatalogueFile));
    BInitClick();
}

void TRC_MainForm::BInitClick()
{
    if (m_initRunning)
        return; // a timer firing inside a message box of a running Init must not start a second one
    m_initRunning = true;
    while (RunInit()) {
    }
    m_initRunning = false;
}

bool TRC_MainForm::RunInit()
{
    BInit->setEnabled(false);
    TRC_Device &device = *m_deviceModel;
    bool ok = device.ReopenAndConfig();
    if (!ok) {
        switch (device.CheckConnection()) {
        case EncoderMissing:
            UserMessages().Error(BothLanguages(TxtEncoderNotConnected));
            break;
        case AdapterMissing:
            UserMessages().Error(BothLanguages(TxtAdapterNotConnected));
            break;
        case Connected:
            ok = true;
            break;
        }
    }
    if (ok) {
        device.ArtType = 0;
        if (device.ReadRatingPlate() && device.ReadActualConfig()) {
            hide();
            int result = 0;
            {
                TRC_ConfigForm form(this, LVersion->text(), device);
                result = form.exec();
            }
            show();
            if (result == TRC_ConfigForm::ModalRetry)
                return true;
            BInit->setEnabled(true);
            close();
            return false;
        }
        UserMessages().Error(BothLanguages(TxtEncoderNotConnected));
    }
    BInit->setEnabled(true);
    return false;
}

void TRC_MainForm::ImEncoderMouseUp(Qt::KeyboardModifiers Modifiers)
{
    if (!(Modifiers & Qt::ControlModifier))
        return;
    QDialog view(this);
    view.setObjectName(QStringLiteral("ErrorLogView"));
    auto *memo = new QPlainTextEdit(&view);
    memo->setObjectName(QStringLiteral("Memo"));
    memo->setPlainText(m_deviceModel->ErrorLog.join(QLatin1Char('\n')));
    auto *layout = new QVBoxLayout(&view);
    layout->addWidget(memo);
    view.exec();
    m_deviceModel->ErrorLog.clear();
}

void TRC_MainForm::mnuHelpAboutClick()
{
    TAboutForm about(this);
    about.exec();
}

void TRC_MainForm::mnuFileCloseClick()
{
    close();
}

int TRC_MainForm::BSelectManualClick()
{
    return m_deviceModel->Catalogue->ManualSelection(this, m_deviceModel->Options->LangBase);
}

void TRC_MainForm::closeEvent(QCloseEvent *Event)
{
    // FormClose: the position reaches the file when the device model saves the settings.
    m_deviceModel->Options->Top = y();
    m_deviceModel->Options->Left = x();
    QWidget::closeEvent(Event);
    emit Closed();
}

bool TRC_MainForm::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == ImEncoder && Event->type() == QEvent::MouseButtonRelease)
        ImEncoderMouseUp(static_cast<QMouseEvent *>(Event)->modifiers());
    return QWidget::eventFilter(Watched, Event);
}
