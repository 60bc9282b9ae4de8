// Manual selection window over catalogues built in the test.
#include "RC_ConfigManual.h"
#include "RC_Def.h"

#include <QComboBox>
#include <QScreen>
#include <QTableWidget>
#include <QtTest>

namespace {

// Comments as (id, text); entries as (article type, basic resolution, pulse count, ListValue, ListByte).
void Fill(TConfigList &list, const QList<QPair<int, QString>> &comments,
          const QList<QList<uint32_t>> &entries)
{
    for (const auto &[id, text] : comments)
        *list.Comments.AddNew() = TArtTypeComment{id, text};
    for (const QList<uint32_t> &e : entries) {
        TConfig entry;
        entry.ArtType = int32_t(e[0]), entry.BaseCount = e[1], entry.PulseCount = e[2];
        entry.ListValue = e[3], entry.ListByte = uint8_t(e[4]);
        list.AddCopy(entry);
    }
}

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Header row first, then one "a|b|c" text per grid row.
QStringList Grid(const QTableWidget *grid)
{
    QStringList rows;
    for (int row = -1; row < grid->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid->columnCount(); ++column) {
            const QTableWidgetItem *item =
                row < 0 ? grid->horizontalHeaderItem(column) : grid->item(row, column);
            cells << (item ? item->text() : QString());
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

const QString kEnglishHeader = QStringLiteral("Pulse count|List value|List byte");

} // namespace

class TestManualSelection : public QObject {
    Q_OBJECT

private slots:
    void emptyCatalogueAndEmptyType();
    void sharedBasicResolution();
    void opensCentredOnTheDesktop();
};

void TestManualSelection::emptyCatalogueAndEmptyType()
{
    TConfigList noComments;
    Fill(noComments, {}, {{1, 1024, 4096, 1, 1}});
    TRC_ConfigManualForm bare(nullptr, noComments, 1000);
    QCOMPARE(bare.CBArtType->count(), 0);
    QCOMPARE(bare.CBImpZahl->count(), 0);
    QCOMPARE(Grid(bare.SGData), QStringList{QStringLiteral("Impulszahl|Listenwert|Listenbyte")});

    TConfigList catalogue;
    Fill(catalogue, {{7, "Empty type"}, {9, "Full type"}}, {{9, 360, 3600, 11, 2}});
    TRC_ConfigManualForm form(nullptr, catalogue, 0);
    QCOMPARE(Items(form.CBArtType), (QStringList{"Empty type", "Full type"}));
    QCOMPARE(form.CBImpZahl->count(), 0);
    QCOMPARE(Grid(form.SGData), QStringList{kEnglishHeader});

    form.CBArtType->setCurrentIndex(1);
    QCOMPARE(Items(form.CBImpZahl), QStringList{"360"});
    QCOMPARE(Grid(form.SGData), (QStringList{kEnglishHeader, "3600|11|2"}));
    form.CBArtType->setCurrentIndex(0);
    QCOMPARE(form.CBImpZahl->count(), 0);
    QCOMPARE(Grid(form.SGData), QStringList{kEnglishHeader});
}

// One resolution text for two entries, both rows in file order; another type's entries stay out.
void TestManualSelection::sharedBasicResolution()
{
    TConfigList catalogue;
    Fill(catalogue, {{3, "Type 3"}, {4, "Type 4"}},
         {{3, 1024, 2000, 70000, 5},
          {4, 1024, 9999, 1, 1},
          {3, 2048, 500, 12, 0},
          {3, 1024, 1000, 4294967295u, 255}});
    TRC_ConfigManualForm form(nullptr, catalogue, 0);
    QCOMPARE(Items(form.CBImpZahl), (QStringList{"1024", "2048"}));
    QCOMPARE(Grid(form.SGData), (QStringList{kEnglishHeader, "2000|70000|5", "1000|4294967295|255"}));

    form.CBImpZahl->setCurrentIndex(1);
    QCOMPARE(Grid(form.SGData), (QStringList{kEnglishHeader, "500|12|0"}));
    form.CBArtType->setCurrentIndex(1);
    QCOMPARE(Grid(form.SGData), (QStringList{kEnglishHeader, "9999|1|1"}));
    QCOMPARE(catalogue.Count(), 4);
}

// In the middle of the desktop, not over the main window that owns it.
void TestManualSelection::opensCentredOnTheDesktop()
{
    QWidget owner;
    owner.setGeometry(20, 30, 479, 447);
    owner.show();
    TConfigList catalogue;
    Fill(catalogue, {{1, QStringLiteral("Type")}}, {{1, 1024, 4096, 1, 1}});
    auto *form = new TRC_ConfigManualForm(&owner, catalogue, 0);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    const QPoint offset = form->frameGeometry().center() - form->screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 4,
             qPrintable(QStringLiteral("%1, %2").arg(offset.x()).arg(offset.y())));
    QCOMPARE(form->windowTitle(), QStringLiteral("Manuelle Auswahl"));
}

QTEST_MAIN(TestManualSelection)
#include "tst_manual.moc"
