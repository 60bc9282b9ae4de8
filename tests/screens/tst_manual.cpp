// Manual selection window: browsing a catalogue built in the test.
#include "RC_ConfigManual.h"
#include "RC_Def.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

namespace {

void AddComment(TConfigList &list, int32_t id, const QString &text)
{
    TArtTypeComment *comment = list.Comments.AddNew();
    comment->Id = id;
    comment->Text = text;
}

void AddEntry(TConfigList &list, int32_t artType, uint32_t baseCount, uint32_t pulseCount, uint32_t listValue,
              uint8_t listByte)
{
    TConfig entry;
    entry.ArtType = artType;
    entry.BaseCount = baseCount;
    entry.PulseCount = pulseCount;
    entry.ListValue = listValue;
    entry.ListByte = listByte;
    list.AddCopy(entry);
}

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList Row(const QTableWidget *grid, int row)
{
    QStringList cells;
    for (int column = 0; column < grid->columnCount(); ++column)
        cells << (grid->item(row, column) ? grid->item(row, column)->text() : QString());
    return cells;
}

QStringList Headings(const QTableWidget *grid)
{
    QStringList headings;
    for (int column = 0; column < grid->columnCount(); ++column)
        headings << grid->horizontalHeaderItem(column)->text();
    return headings;
}

} // namespace

class TestManualSelection : public QObject
{
    Q_OBJECT

private slots:
    void catalogueWithoutComments();
    void typeWithoutEntries();
    void sharedBasicResolution();
    void manualSelectionShowsModal();
};

// Entries but no article-type texts: nothing can be chosen, so both lists stay empty and the grid
// shows its headings only.
void TestManualSelection::catalogueWithoutComments()
{
    TConfigList catalogue;
    AddEntry(catalogue, 1, 1024, 4096, 1, 1);

    TRC_ConfigManualForm form(nullptr, catalogue, 0);
    QCOMPARE(form.windowTitle(), QStringLiteral("Manuelle Auswahl"));
    QCOMPARE(form.size(), QSize(490, 438));
    QCOMPARE(form.CBArtType->count(), 0);
    QCOMPARE(form.CBImpZahl->count(), 0);
    QCOMPARE(form.SGData->rowCount(), 0);
    QCOMPARE(form.SGData->columnCount(), 3);
    QCOMPARE(Headings(form.SGData), (QStringList{"Pulse count", "List value", "List byte"}));
    QCOMPARE(catalogue.Count(), 1); // browsing changes nothing

    TRC_ConfigManualForm german(nullptr, catalogue, 1000);
    QCOMPARE(Headings(german.SGData), (QStringList{"Impulszahl", "Listenwert", "Listenbyte"}));
    QCOMPARE(german.Label1->text(), QStringLiteral("Artikel-Typ")); // the labels are not translated
}

// The first article type has no entries; the second has. Switching between them refills both.
void TestManualSelection::typeWithoutEntries()
{
    TConfigList catalogue;
    AddComment(catalogue, 7, QStringLiteral("Empty type"));
    AddComment(catalogue, 9, QStringLiteral("Full type"));
    AddEntry(catalogue, 9, 360, 3600, 11, 2);

    TRC_ConfigManualForm form(nullptr, catalogue, 0);
    QCOMPARE(Items(form.CBArtType), (QStringList{"Empty type", "Full type"}));
    QCOMPARE(form.CBArtType->currentIndex(), 0);
    QCOMPARE(form.CBImpZahl->count(), 0);
    QCOMPARE(form.SGData->rowCount(), 0);

    form.CBArtType->setCurrentIndex(1);
    QCOMPARE(Items(form.CBImpZahl), QStringList{"360"});
    QCOMPARE(form.SGData->rowCount(), 1);
    QCOMPARE(Row(form.SGData, 0), (QStringList{"3600", "11", "2"}));

    form.CBArtType->setCurrentIndex(0);
    QCOMPARE(form.CBImpZahl->count(), 0);
    QCOMPARE(form.SGData->rowCount(), 0);
}

// Two entries of one type share a basic resolution: one text in the list, two rows in file order.
// Entries of another type with the same resolution stay out.
void TestManualSelection::sharedBasicResolution()
{
    TConfigList catalogue;
    AddComment(catalogue, 3, QStringLiteral("Type 3"));
    AddComment(catalogue, 4, QStringLiteral("Type 4"));
    AddEntry(catalogue, 3, 1024, 2000, 70000, 5);
    AddEntry(catalogue, 4, 1024, 9999, 1, 1);
    AddEntry(catalogue, 3, 2048, 500, 12, 0);
    AddEntry(catalogue, 3, 1024, 1000, 4294967295u, 255);

    TRC_ConfigManualForm form(nullptr, catalogue, 0);
    QCOMPARE(Items(form.CBImpZahl), (QStringList{"1024", "2048"}));
    QCOMPARE(form.CBImpZahl->currentIndex(), 0);
    QCOMPARE(form.SGData->rowCount(), 2);
    QCOMPARE(Row(form.SGData, 0), (QStringList{"2000", "70000", "5"}));
    QCOMPARE(Row(form.SGData, 1), (QStringList{"1000", "4294967295", "255"}));
    QCOMPARE(form.SGData->selectionBehavior(), QAbstractItemView::SelectRows);

    form.CBImpZahl->setCurrentIndex(1);
    QCOMPARE(form.SGData->rowCount(), 1);
    QCOMPARE(Row(form.SGData, 0), (QStringList{"500", "12", "0"}));

    form.CBArtType->setCurrentIndex(1);
    QCOMPARE(Items(form.CBImpZahl), QStringList{"1024"});
    QCOMPARE(form.SGData->rowCount(), 1);
    QCOMPARE(Row(form.SGData, 0), (QStringList{"9999", "1", "1"}));
    QCOMPARE(catalogue.Count(), 4);
}

// The catalogue's operation shows the window modally over the owner and hands back its result.
void TestManualSelection::manualSelectionShowsModal()
{
    TConfigList catalogue;
    AddComment(catalogue, 3, QStringLiteral("Type 3"));
    AddEntry(catalogue, 3, 100, 400, 1, 1);

    QWidget owner;
    QString seenType;
    int seenRows = -1;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *form = qobject_cast<TRC_ConfigManualForm *>(modal);
        if (form == nullptr) {
            if (modal != nullptr)
                modal->close();
            return;
        }
        wasModal = form->isModal() && form->parentWidget() == &owner;
        seenType = form->CBArtType->currentText();
        seenRows = form->SGData->rowCount();
        form->BCancel->click();
    });
    const int result = catalogue.ManualSelection(&owner, 0);
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(wasModal);
    QCOMPARE(seenType, QStringLiteral("Type 3"));
    QCOMPARE(seenRows, 1);
}

QTEST_MAIN(TestManualSelection)
#include "tst_manual.moc"
