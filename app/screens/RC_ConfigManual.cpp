#include "RC_ConfigManual.h"

#include "RC_Def.h"
#include "WindowPlacement.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>

namespace {

// The string table holds no texts for the three headings (ids 6..8); these stand in for them.
QString ColumnHeading(int langBase, int column)
{
    const QString text = TRC_Option::TextOf(langBase + TxtGridHeader0 + column);
    if (!text.isEmpty())
        return text;
    static const char *const english[] = {"Pulse count", "List value", "List byte"};
    static const char *const german[] = {"Impulszahl", "Listenwert", "Listenbyte"};
    return QString::fromUtf8(langBase != 0 ? german[column] : english[column]);
}

QLabel *PlacedLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TRC_ConfigManualForm::TRC_ConfigManualForm(QWidget *owner, TConfigList &catalogue, int langBase)
    : QDialog(owner), m_catalogue(catalogue), m_langBase(langBase),
      m_typeConfigs(std::make_unique<TConfigList>()), m_countConfigs(std::make_unique<TConfigList>())
{
    setObjectName(QStringLiteral("RC_ConfigManualForm"));
    setWindowTitle(QStringLiteral("Manuelle Auswahl"));
    setFixedSize(490, 438);

    Label1 = PlacedLabel(this, "Label1", QStringLiteral("Artikel-Typ"), 8, 8);
    CBArtType = new QComboBox(this);
    CBArtType->setObjectName(QStringLiteral("CBArtType"));
    CBArtType->setEditable(false);
    CBArtType->setGeometry(8, 28, 225, CBArtType->sizeHint().height());

    Label2 = PlacedLabel(this, "Label2", QStringLiteral("Polzahl / Impulszahl Scheibe"), 8, 56);
    CBImpZahl = new QComboBox(this);
    CBImpZahl->setObjectName(QStringLiteral("CBImpZahl"));
    CBImpZahl->setEditable(false);
    CBImpZahl->setGeometry(8, 76, 225, CBImpZahl->sizeHint().height());

    SGData = new QTableWidget(0, 3, this);
    SGData->setObjectName(QStringLiteral("SGData"));
    SGData->setGeometry(8, 112, 465, 245);
    SGData->verticalHeader()->hide();
    SGData->verticalHeader()->setDefaultSectionSize(18);
    SGData->setSelectionBehavior(QAbstractItemView::SelectRows);
    SGData->setSelectionMode(QAbstractItemView::SingleSelection);
    SGData->setEditTriggers(QAbstractItemView::NoEditTriggers);

    BCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BCancel->setObjectName(QStringLiteral("BCancel"));
    BCancel->setGeometry(8, 364, 97, 41);
    connect(BCancel, &QPushButton::clicked, this, &QDialog::reject);

    CentreOnDesktop(this);

    FormCreate();
    // Connected after the first fill, which runs the two handlers itself.
    connect(CBArtType, &QComboBox::currentIndexChanged, this, &TRC_ConfigManualForm::CBArtTypeChange);
    connect(CBImpZahl, &QComboBox::currentIndexChanged, this, &TRC_ConfigManualForm::CBImpZahlChange);
}

TRC_ConfigManualForm::~TRC_ConfigManualForm() = default;

void TRC_ConfigManualForm::FormCreate()
{
    QStringList headings;
    for (int column = 0; column < 3; ++column)
        headings << ColumnHeading(m_langBase, column);
    SGData->setHorizontalHeaderLabels(headings);
    for (int column = 0; column < 3; ++column)
        SGData->setColumnWidth(column, 100);

    const QSignalBlocker block(CBArtType);
    CBArtType->clear();
    for (int i = 0; i < m_catalogue.Comments.Count(); ++i)
        CBArtType->addItem(m_catalogue.Comments.At(i)->Text);
    CBArtType->setCurrentIndex(CBArtType->count() > 0 ? 0 : -1);
    CBArtTypeChange();
}

void TRC_ConfigManualForm::CBArtTypeChange()
{
    // Without a chosen article type (a catalogue without comments) nothing is listed.
    const TArtTypeComment *comment = m_catalogue.Comments.At(CBArtType->currentIndex());
    if (comment != nullptr)
        m_catalogue.FilterByArtType(comment->Id, *m_typeConfigs);
    else
        m_typeConfigs->Clear();

    QStringList texts;
    m_typeConfigs->BaseCountTexts(texts);
    const QSignalBlocker block(CBImpZahl);
    CBImpZahl->clear();
    CBImpZahl->addItems(texts);
    CBImpZahl->setCurrentIndex(texts.isEmpty() ? -1 : 0);
    CBImpZahlChange();
}

void TRC_ConfigManualForm::CBImpZahlChange()
{
    // An empty resolution list (an article type without entries) selects nothing.
    bool isNumber = false;
    const qlonglong baseCount = CBImpZahl->currentText().toLongLong(&isNumber);
    m_typeConfigs->FilterByBaseCount(*m_countConfigs, isNumber ? baseCount : -1);

    SGData->clearContents();
    SGData->setRowCount(m_countConfigs->Count());
    for (int row = 0; row < m_countConfigs->Count(); ++row) {
        const TConfig *entry = m_countConfigs->At(row);
        const QString cells[3] = {QString::number(entry->PulseCount), QString::number(entry->ListValue),
                                  QString::number(entry->ListByte)};
        for (int column = 0; column < 3; ++column)
            SGData->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
}

int TConfigList::ManualSelection(QWidget *Owner, int LangBase)
{
    TRC_ConfigManualForm form(Owner, *this, LangBase);
    return form.exec();
}
