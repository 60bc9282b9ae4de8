#include "RC_Config.h"

#include "ConfigChoice.h"
#include "Glyphs.h"
#include "PulseCountText.h"
#include "RC_Position.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

QLabel *MakeLabel(QWidget *Parent, const char *Name, int Left, int Top, const QString &Text = QString())
{
    auto *label = new QLabel(Text, Parent);
    label->setObjectName(QLatin1String(Name));
    label->move(Left, Top);
    label->adjustSize();
    return label;
}

QLabel *MakeStatic(QWidget *Parent, const char *Name, int Left, int Top, int Width, int Height)
{
    auto *text = new QLabel(Parent);
    text->setObjectName(QLatin1String(Name));
    text->setGeometry(Left, Top, Width, Height);
    text->setTextFormat(Qt::PlainText);
    return text;
}

QComboBox *MakeList(QWidget *Parent, const char *Name, int Left, int Top, int Width)
{
    auto *list = new QComboBox(Parent);
    list->setObjectName(QLatin1String(Name));
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->move(Left, Top);
    list->resize(Width, list->sizeHint().height());
    // A chosen text longer than the field shows its beginning ("A* & B* ausgetas"), not its end.
    QObject::connect(list, &QComboBox::currentIndexChanged, list,
                     [list]() { list->lineEdit()->setCursorPosition(0); });
    return list;
}

QFrame *MakeLamp(QWidget *Parent, const char *Name, int Left, int Top)
{
    auto *lamp = new QFrame(Parent);
    lamp->setObjectName(QLatin1String(Name));
    lamp->setGeometry(Left, Top, 9, 9);
    lamp->setFrameShape(QFrame::Box);
    lamp->setAutoFillBackground(true);
    return lamp;
}

void SetLampColour(QFrame *Lamp, const QColor &Colour)
{
    QPalette palette = Lamp->palette();
    palette.setColor(QPalette::Window, Colour);
    Lamp->setPalette(palette);
}

void SetLabelText(QLabel *Label, const QString &Text)
{
    Label->setText(Text);
    Label->adjustSize();
}

// Shrinks a button's font, starting from its window's, until the caption and glyph fit the button's
// fixed width.
void FitCaption(QPushButton *Button)
{
    QFont font = Button->parentWidget()->font();
    Button->setFont(font);
    int pixels = QFontInfo(font).pixelSize();
    while (Button->sizeHint().width() > Button->width() && pixels > 8) {
        font.setPixelSize(--pixels);
        Button->setFont(font);
    }
}

// Refills a list with new texts and keeps its selected index.
void Refill(QComboBox *List, const QStringList &Texts)
{
    const int index = List->currentIndex();
    List->clear();
    List->addItems(Texts);
    List->setCurrentIndex(index < List->count() ? index : -1);
}

// Calls Handler when the user changes the list: picking an item, or typing a text and finishing it
// with Enter or by leaving the field. A typed text that names an item selects that item; any other
// typed text leaves the list without a selection. Changes the program makes itself call nothing.
void OnUserChange(QComboBox *List, TRC_ConfigForm *Receiver, void (TRC_ConfigForm::*Slot)())
{
    auto edited = std::make_shared<bool>(false);
    QObject::connect(List, &QComboBox::activated, Receiver, [edited, Receiver, Slot](int) {
        *edited = false;
        (Receiver->*Slot)();
    });
    QObject::connect(List->lineEdit(), &QLineEdit::textEdited, Receiver,
                     [edited](const QString &) { *edited = true; });
    QObject::connect(List->lineEdit(), &QLineEdit::editingFinished, Receiver,
                     [edited, List, Receiver, Slot]() {
                         if (!*edited)
                             return;
                         *edited = false;
                         const QString typed = List->currentText();
                         const int match = List->findText(typed);
                         if (match != List->currentIndex()) {
                             List->setCurrentIndex(match);
                             if (match < 0)
                                 List->setEditText(typed);
                         }
                         (Receiver->*Slot)();
                     });
}

// While it lives, the position window's cycles wait for this window's library calls, and say so.
class TPositionHold {
public:
    TPositionHold(TRC_PositionForm *Form, TRC_PositionForm::THoldReason Reason) : m_form(Form)
    {
        if (m_form)
            m_form->Hold(Reason);
    }
    ~TPositionHold()
    {
        if (m_form)
            m_form->Release();
    }
    TPositionHold(const TPositionHold &) = delete;
    TPositionHold &operator=(const TPositionHold &) = delete;

private:
    QPointer<TRC_PositionForm> m_form;
};

} // namespace

TRC_ConfigForm::TRC_ConfigForm(QWidget *Owner, const QString &VersionText, TRC_Device &DeviceModel)
    : QDialog(Owner), PossibleConfigs(std::make_unique<TConfigList>()), m_device(DeviceModel)
{
    setObjectName(QStringLiteral("RC_ConfigForm"));
    BuildLayout();
    BuildActions();
    CentreOnDesktop(this); // not over the main window, which is hidden while this one is open
    SetLamps(LampsIdle);
    Busy = false;
    State = LastState = Connected;
    SetLabelText(LVersion, VersionText);
    // The version follows its caption, however wide the caption comes out in the desktop's font.
    LVersion->move(std::max(LVersion->x(), Label1->x() + Label1->width() + 4), LVersion->y());
    FormCreate();
    TimerCheckSame->start();
}

TRC_ConfigForm::~TRC_ConfigForm()
{
    SetWaitCursor(false);
}

void TRC_ConfigForm::BuildLayout()
{
    setWindowTitle(QStringLiteral("Rotaconf"));
    setFixedSize(423, 351);
    // The layout is measured for an 11-pixel font (8 points on a 96-dpi screen): the desktop's usual,
    // larger font would push the German captions into their neighbours and past the groups' edges.
    QFont font11 = font();
    font11.setPixelSize(11);
    setFont(font11);

    GBRatingPlate = new QGroupBox(QStringLiteral("Typenschild"), this);
    GBRatingPlate->setObjectName(QStringLiteral("GBRatingPlate"));
    GBRatingPlate->setGeometry(8, 8, 409, 173);
    LArtBez = MakeLabel(GBRatingPlate, "LArtBez", 8, 28, QStringLiteral("Bestellbezeichnung"));
    STArtBez = MakeStatic(GBRatingPlate, "STArtBez", 8, 44, 225, 17);
    STArtBez->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LCommunication = MakeLabel(GBRatingPlate, "LCommunication", 144, 28, QStringLiteral("Kommunikation"));
    LCommunication->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PRed = MakeLamp(GBRatingPlate, "PRed", 224, 24);
    PGreen = MakeLamp(GBRatingPlate, "PGreen", 224, 32);
    BReloadFactorySetting =
        new QPushButton(FactoryGlyph(), QStringLiteral("Werkseinstellungen laden"), GBRatingPlate);
    BReloadFactorySetting->setObjectName(QStringLiteral("BReloadFactorySetting"));
    BReloadFactorySetting->setGeometry(240, 20, 161, 41);
    BReloadFactorySetting->setAutoDefault(false);
    Label2 = MakeLabel(GBRatingPlate, "Label2", 8, 72, QStringLiteral("PCode"));
    STPCode = MakeStatic(GBRatingPlate, "STPCode", 8, 88, 121, 17);
    Label4 = MakeLabel(GBRatingPlate, "Label4", 136, 72, QStringLiteral("SerNr"));
    STSNr = MakeStatic(GBRatingPlate, "STSNr", 136, 88, 137, 17);
    LPolesCount = MakeLabel(GBRatingPlate, "LPolesCount", 280, 72);
    STPolesCount = MakeStatic(GBRatingPlate, "STPolesCount", 280, 88, 121, 17);
    LImpCount = MakeLabel(GBRatingPlate, "LImpCount", 8, 116);
    STImpCount = MakeStatic(GBRatingPlate, "STImpCount", 8, 132, 121, 17);
    LCW = MakeLabel(GBRatingPlate, "LCW", 136, 116);
    STCW = MakeStatic(GBRatingPlate, "STCW", 136, 132, 137, 17);
    LNullImp = MakeLabel(GBRatingPlate, "LNullImp", 280, 116);
    STNullImp = MakeStatic(GBRatingPlate, "STNullImp", 280, 132, 121, 17);

    GBConfiguration = new QGroupBox(QStringLiteral("Mögliche Konfiguration"), this);
    GBConfiguration->setObjectName(QStringLiteral("GBConfiguration"));
    GBConfiguration->setGeometry(8, 200, 409, 93);
    LImpInterpol = MakeLabel(GBConfiguration, "LImpInterpol", 8, 28);
    CBImpOut = MakeList(GBConfiguration, "CBImpOut", 8, 48, 121);
    LDir = MakeLabel(GBConfiguration, "LDir", 136, 28);
    CBCW = MakeList(GBConfiguration, "CBCW", 136, 48, 137);
    LNimp = MakeLabel(GBConfiguration, "LNimp", 280, 28);
    CBNullImp = MakeList(GBConfiguration, "CBNullImp", 280, 48, 121);

    BCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BCancel->setObjectName(QStringLiteral("BCancel"));
    BCancel->setGeometry(8, 301, 97, 41);
    BCancel->setAutoDefault(false);
    Label1 = MakeLabel(this, "Label1", 112, 316, QStringLiteral("Version"));
    LVersion = MakeLabel(this, "LVersion", 152, 316);

    SBGerman = new QToolButton(this);
    SBGerman->setObjectName(QStringLiteral("SBGerman"));
    SBGerman->setGeometry(328, 301, 41, 41);
    SBGerman->setIcon(GermanFlagGlyph());
    SBGerman->setIconSize(QSize(30, 20));
    SBGerman->setToolTip(QStringLiteral("Deutsch"));
    SBEnglish = new QToolButton(this);
    SBEnglish->setObjectName(QStringLiteral("SBEnglish"));
    SBEnglish->setGeometry(376, 301, 41, 41);
    SBEnglish->setIcon(EnglishFlagGlyph());
    SBEnglish->setIconSize(QSize(30, 20));
    SBEnglish->setToolTip(QStringLiteral("English"));
    m_languageGroup = new QButtonGroup(this);
    for (QToolButton *flag : {SBGerman, SBEnglish}) {
        flag->setCheckable(true);
        flag->setAutoRaise(true);
        m_languageGroup->addButton(flag);
    }
    m_languageGroup->setExclusive(true);

    TimerCheckSame = new QTimer(this);
    TimerCheckSame->setObjectName(QStringLiteral("TimerCheckSame"));
    TimerCheckSame->setInterval(CheckInterval);

    connect(BReloadFactorySetting, &QPushButton::clicked, this, &TRC_ConfigForm::BReloadFactorySettingClick);
    connect(BCancel, &QPushButton::clicked, this, [this]() { done(ModalCancel); });
    connect(SBGerman, &QToolButton::clicked, this, &TRC_ConfigForm::SBGermanClick);
    connect(SBEnglish, &QToolButton::clicked, this, &TRC_ConfigForm::SBEnglishClick);
    connect(TimerCheckSame, &QTimer::timeout, this, &TRC_ConfigForm::TimerCheckSameTimer);
    OnUserChange(CBImpOut, this, &TRC_ConfigForm::CBImpOutChange);
    OnUserChange(CBCW, this, &TRC_ConfigForm::DataChanged);
    OnUserChange(CBNullImp, this, &TRC_ConfigForm::DataChanged);
}

void TRC_ConfigForm::BuildActions()
{
    // Service commands that the window's face leaves out: right-click menu and shortcuts.
    struct Entry {
        QAction **Action;
        const char *Name;
        const char *Caption;
        QKeySequence Keys;
        void (TRC_ConfigForm::*Slot)();
    };
    const Entry entries[] = {
        {&ActRegister, "ActRegister", "Registers...", QKeySequence(Qt::CTRL | Qt::Key_R),
         &TRC_ConfigForm::BRegisterClick},
        {&ActShowDebug, "ActShowDebug", "Log window", QKeySequence(Qt::CTRL | Qt::Key_L),
         &TRC_ConfigForm::BShowDebugClick},
        {&ActCheck, "ActCheck", "Check connection", QKeySequence(Qt::CTRL | Qt::Key_K),
         &TRC_ConfigForm::BCheckClick},
        {&ActClear, "ActClear", "Reopen adapter", QKeySequence(Qt::CTRL | Qt::Key_O),
         &TRC_ConfigForm::BClearClick},
        {&ActPosition, "ActPosition", "Position...", QKeySequence(Qt::CTRL | Qt::Key_P),
         &TRC_ConfigForm::BPositionClick},
    };
    for (const Entry &entry : entries) {
        auto *action = new QAction(QLatin1String(entry.Caption), this);
        action->setObjectName(QLatin1String(entry.Name));
        action->setShortcut(entry.Keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, entry.Slot);
        addAction(action);
        *entry.Action = action;
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString TRC_ConfigForm::Text(TTextId Id) const
{
    return m_device.Options->Text(Id);
}

void TRC_ConfigForm::FormCreate()
{
    ApplyLanguage();
    ShowRatingPlate();
    FillPulseCounts();
    const TConfig *current = PossibleConfigs->FindBySetting(m_device.InterpolCode, m_device.Divider);
    if (current) {
        m_device.PulseCount = current->PulseCount;
        SelectCurrent();
    } else {
        UserMessages().Info(QStringLiteral("Config missing"));
    }
}

void TRC_ConfigForm::ApplyLanguage()
{
    const int base = m_device.Options->LangBase;
    if (base != LangEnglish)
        SBGerman->setChecked(true);
    else
        SBEnglish->setChecked(true);

    GBRatingPlate->setTitle(Text(TxtFactorySettings));
    SetLabelText(LArtBez, Text(TxtOrderDesignation));
    SetLabelText(LPolesCount, Text(TxtBasicResolution));
    SetLabelText(LImpCount, Text(TxtPulseCount));
    SetLabelText(LCW, Text(TxtDirection));
    SetLabelText(LNullImp, Text(TxtZeroPulse));
    BReloadFactorySetting->setText(Text(TxtLoadFactorySettings));
    FitCaption(BReloadFactorySetting);
    GBConfiguration->setTitle(Text(TxtParameters));
    SetLabelText(LImpInterpol, Text(TxtPulseCount));
    SetLabelText(LDir, Text(TxtDirection));
    SetLabelText(LNimp, Text(TxtZeroPulse));
    BCancel->setText(Text(TxtQuit));
    // Right-aligned against the lamps.
    SetLabelText(LCommunication, Text(TxtCommunication));
    LCommunication->move(PRed->x() - 4 - LCommunication->width(), 28);

    const TRC_Option &options = *m_device.Options;
    Refill(CBCW, {DirectionText(options, 0), DirectionText(options, 1)});
    QStringList modes;
    for (int mode = 1; mode <= 6; ++mode)
        modes << ZeroPulseText(options, mode);
    Refill(CBNullImp, modes);

    if (BReloadFactorySetting->isEnabled()) {
        STCW->setText(DirectionText(options, m_device.FactoryDirection));
        STNullImp->setText(ZeroPulseText(options, m_device.FactoryZeroPulse));
    }
    if (m_position)
        m_position->ApplyLanguage();
}

void TRC_ConfigForm::ShowRatingPlate()
{
    // The plate's texts are fixed-length fields; a zero character ends what is shown.
    STArtBez->setText(PlateShownText(m_device.OrderDesignation));
    STPCode->setText(PlateShownText(m_device.ProductCode));
    STSNr->setText(PlateShownText(m_device.SerialNumber));
    STPolesCount->setText(QString::number(m_device.BaseCount));
    STImpCount->setText(FormatPulseCount(m_device.FactoryPulseCount));
    STCW->setText(DirectionText(*m_device.Options, m_device.FactoryDirection));
    // The static texts show their text as it is (an "&" is no mnemonic here), so one ampersand shows one.
    STNullImp->setText(ZeroPulseText(*m_device.Options, m_device.FactoryZeroPulse));
}

void TRC_ConfigForm::FillPulseCounts()
{
    FindPossibleConfigs(m_device, *PossibleConfigs);
    CBImpOut->clear();
    for (int i = 0; i < PossibleConfigs->Count(); ++i) {
        const QString text = FormatPulseCount(PossibleConfigs->At(i)->PulseCount);
        if (CBImpOut->findText(text) < 0)
            CBImpOut->addItem(text);
    }
    CBImpOut->setCurrentIndex(-1); // nothing is chosen until SelectCurrent finds the current setting
}

void TRC_ConfigForm::SelectCurrent()
{
    for (int i = PossibleConfigs->Count() - 1; i >= 0; --i) {
        const TConfig *entry = PossibleConfigs->At(i);
        if (entry->PulseCount == m_device.PulseCount &&
            static_cast<uint16_t>(entry->Divider) == m_device.Divider) {
            CBImpOut->setCurrentIndex(CBImpOut->findText(FormatPulseCount(entry->PulseCount)));
            break;
        }
    }
    CBCW->setCurrentIndex(m_device.Direction <= 1 ? m_device.Direction : -1);
    CBNullImp->setCurrentIndex(ZeroPulseChoice(m_device.ZeroPulse) - 1);
    CBImpOutChange();
}

void TRC_ConfigForm::CBImpOutChange()
{
    if (CBImpOut->count() > 0) {
        SelectedConfigs = std::make_unique<TConfigList>();
        const std::optional<uint32_t> count = ParsePulseCount(CBImpOut->currentText());
        m_device.PulseCount = count.value_or(0);
        if (count)
            SelectByPulseCount(*PossibleConfigs, *count, *SelectedConfigs);
    }
    DataChanged();
}

void TRC_ConfigForm::DataChanged()
{
    BWriteClick();
}

void TRC_ConfigForm::BWriteClick()
{
    const TPositionHold hold(m_position, TRC_PositionForm::HoldCommand);
    Busy = true;
    SetLamps(LampsBusy);
    QCoreApplication::processEvents();

    bool ok = false, written = false;
    // Without a chosen direction and zero-pulse mode there is nothing sound to write: a typed text that
    // names no item must not turn into direction 0 or the first mode behind the user's back.
    const int direction = CBCW->currentIndex();
    const int mode = CBNullImp->currentIndex();
    if (SelectedConfigs && SelectedConfigs->Count() > 0 && direction >= 0 && mode >= 0) {
        const TConfig *entry = SelectedConfigs->At(0);
        ok = m_device.WriteConfig(entry->InterpolCode, direction, static_cast<uint16_t>(entry->Divider),
                                  mode + 1, 2);
        written = true;
    }
    SetLamps(ok ? LampsSuccess : LampsFailure);
    if (written)
        ReportReadBack();
    Busy = false;
}

void TRC_ConfigForm::ReportReadBack()
{
    // A failed transfer only lights the red lamp; a block that was written without a word of failure
    // and reads back otherwise must not pass for written.
    if (m_device.LastWrite.ReadBackDiffers)
        UserMessages().Error(Text(TxtReadBackDiffers));
}

void TRC_ConfigForm::BReadClick()
{
    const TPositionHold hold(m_position, TRC_PositionForm::HoldCommand);
    const bool ok = m_device.ReadActualConfig();
    if (ok) {
        if (const TConfig *entry = PossibleConfigs->FindBySetting(m_device.InterpolCode, m_device.Divider))
            m_device.PulseCount = entry->PulseCount;
    } else {
        UserMessages().Error(Text(TxtEncoderNotConnected));
    }
    SelectCurrent();
}

void TRC_ConfigForm::BReloadFactorySettingClick()
{
    const TPositionHold hold(m_position, TRC_PositionForm::HoldCommand);
    EnableControls(false);
    bool same = false, blank = false;
    if (m_device.CheckSameEncoder(same, blank) && (!same || blank)) {
        FinishWithRetry();
        return;
    }
    if (!m_device.LoadFactorySettings(*PossibleConfigs))
        ReportReadBack();
    BReadClick();
    EnableControls(true);
}

void TRC_ConfigForm::SetLanguage(int LangBase)
{
    m_device.Options->LangBase = LangBase;
    m_device.Options->Save();
    ApplyLanguage();
}

void TRC_ConfigForm::SBGermanClick()
{
    SetLanguage(LangGerman);
}

void TRC_ConfigForm::SBEnglishClick()
{
    SetLanguage(LangEnglish);
}

void TRC_ConfigForm::TimerCheckSameTimer()
{
    TimerCheckSame->stop();
    if (Busy) {
        TimerCheckSame->start();
        return;
    }
    const TPositionHold hold(m_position, TRC_PositionForm::HoldCheck);
    SetLamps(LampsBusy);
    QCoreApplication::processEvents();
    if (m_finished)
        return; // the window was sent back while events were pumped

    State = m_device.CheckConnection();
    bool ok = false;
    switch (State) {
    case EncoderMissing:
        if (LastState == Connected)
            ClearDisplay();
        break;
    case AdapterMissing:
        UserMessages().Error(Text(TxtAdapterNotConnected));
        FinishWithRetry();
        break;
    case Connected:
        ok = true;
        if (LastState != Connected) {
            ok = m_device.ReadActualConfig();
            if (ok)
                FormCreate();
            BReloadFactorySetting->setEnabled(ok);
        }
        break;
    }
    LastState = State;

    bool same = false, blank = false;
    if (ok)
        ok = m_device.CheckSameEncoder(same, blank);
    if (ok && (!same || blank)) {
        FinishWithRetry();
        return;
    }
    if (ok) {
        for (QComboBox *list : {CBImpOut, CBCW, CBNullImp})
            list->setEnabled(true);
        SetLamps(LampsSuccess);
    } else {
        SetLamps(LampsFailure);
        ClearDisplay();
        for (QComboBox *list : {CBImpOut, CBCW, CBNullImp})
            list->setEnabled(false);
    }
    // Once the window is sent back (lost adapter) the watch stays off.
    if (!m_finished)
        TimerCheckSame->start();
}

void TRC_ConfigForm::SetLamps(int LampState)
{
    SetLampColour(PRed, LampState == LampsFailure ? QColor(255, 0, 0) : QColor(127, 0, 0));
    SetLampColour(PGreen, LampState == LampsSuccess ? QColor(0, 255, 0) : QColor(0, 127, 0));
}

void TRC_ConfigForm::ClearDisplay()
{
    for (QLabel *text : {STArtBez, STPCode, STSNr, STPolesCount, STImpCount, STCW, STNullImp})
        text->clear();
    for (QComboBox *list : {CBImpOut, CBCW, CBNullImp}) {
        list->clear();
        list->setEditText(QString());
    }
    BReloadFactorySetting->setEnabled(false);
}

void TRC_ConfigForm::EnableControls(bool Flag)
{
    for (QWidget *control : std::initializer_list<QWidget *>{BCancel, BReloadFactorySetting, SBGerman,
                                                             SBEnglish, CBImpOut, CBCW, CBNullImp})
        control->setEnabled(Flag);
    SetWaitCursor(!Flag);
    QCoreApplication::processEvents();
}

void TRC_ConfigForm::SetWaitCursor(bool On)
{
    if (On == m_waitCursor)
        return;
    m_waitCursor = On;
    if (On)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TRC_ConfigForm::FinishWithRetry()
{
    m_finished = true;
    TimerCheckSame->stop();
    // The hourglass of a factory reload that ends here must not outlive the window.
    SetWaitCursor(false);
    done(ModalRetry);
}

void TRC_ConfigForm::BRegisterClick()
{
    const TPositionHold hold(m_position, TRC_PositionForm::HoldCommand);
    m_device.ShowRegisters(this);
}

void TRC_ConfigForm::BShowDebugClick()
{
    m_device.Com->ShowDebug();
}

void TRC_ConfigForm::BCheckClick()
{
    const TPositionHold hold(m_position, TRC_PositionForm::HoldCheck);
    QCoreApplication::processEvents();
    m_device.Probe(); // only its log line matters
}

void TRC_ConfigForm::BClearClick()
{
    const TPositionHold hold(m_position, TRC_PositionForm::HoldCommand);
    if (!m_device.ReopenAndConfig())
        UserMessages().Info(QStringLiteral("Error ReopenAndConfig"));
}

void TRC_ConfigForm::BPositionClick()
{
    if (!m_position) {
        m_position = new TRC_PositionForm(this, m_device);
        m_position->show();
    }
    m_position->raise();
    m_position->activateWindow();
}

void TRC_ConfigForm::done(int Result)
{
    // The position window stops before the main window takes the adapter back.
    if (m_position)
        m_position->close();
    QDialog::done(Result);
}

void TRC_ConfigForm::closeEvent(QCloseEvent *Event)
{
    TimerCheckSame->stop();
    QDialog::closeEvent(Event);
}
