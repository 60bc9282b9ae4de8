// Register view against the simulated adapter and encoder.
#include "RC_Def.h"
#include "RC_Register.h"
#include "LogWindow.h"

#include "tarnbus_sim.h"

#include <QApplication>
#include <QGroupBox>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

// Stands in for the trace window: hands every line to the test, so a test can act between the
// reads of one activation.
class TLineHook : public TLogWindow
{
public:
    static inline std::function<void(const QString &)> OnLine;
    void AddLine(const QString &Line) override
    {
        if (OnLine)
            OnLine(Line);
    }
    void Show() override {}
    void ForceClose() override {}
};

QStringList Column(const QTreeWidget *list, int column)
{
    QStringList cells;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        cells << list->topLevelItem(row)->text(column);
    return cells;
}

QStringList SimRegisters(unsigned first)
{
    QStringList cells;
    for (unsigned i = 0; i < 16; ++i)
        cells << QStringLiteral("%1").arg(tbsim_slave_get(0, first + i), 2, 16, QLatin1Char('0')).toUpper();
    return cells;
}

QStringList Empty16()
{
    return QStringList(16, QString());
}

} // namespace

class TestRegisterView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsBothAreas();
    void failedRamReadStillFillsEeprom_data();
    void failedRamReadStillFillsEeprom();
    void failedReadsClearEarlierData();
    void showRegistersIsModal();

private:
    std::unique_ptr<TRC_Device> m_device;
};

void TestRegisterView::init()
{
    tbsim_reset_default();
    TLineHook::OnLine = nullptr;
    TBissCom::SetLogWindowFactory([](TBissCom &) { return std::make_unique<TLineHook>(); });
    m_device = std::make_unique<TRC_Device>();
    QVERIFY(m_device->ReopenAndConfig());
    // Distinct values in both areas, including the bytes the program never writes.
    for (unsigned i = 0; i < 32; ++i)
        tbsim_slave_set(0, i, static_cast<uint8_t>(0xA0 + i * 3));
}

void TestRegisterView::cleanup()
{
    TLineHook::OnLine = nullptr;
    m_device.reset();
    tbsim_reset_default();
}

void TestRegisterView::showsBothAreas()
{
    TRC_RegisterForm form(nullptr, *m_device);
    QCOMPARE(form.windowTitle(), QStringLiteral("Register"));
    QCOMPARE(form.GBRAM->title(), QStringLiteral("RAM"));
    QCOMPARE(form.GBEEPROM->title(), QStringLiteral("EEPROM"));
    QCOMPARE(form.LVRAM->headerItem()->text(0), QStringLiteral("Addr"));
    QCOMPARE(form.LVRAM->headerItem()->text(1), QStringLiteral("Data"));
    const QStringList addresses{"00", "01", "02", "03", "04", "05", "06", "07",
                                "08", "09", "0A", "0B", "0C", "0D", "0E", "0F"};
    QCOMPARE(Column(form.LVRAM, 0), addresses);
    QCOMPARE(Column(form.LVEEPROM, 0), addresses);
    QCOMPARE(Column(form.LVRAM, 1), Empty16()); // nothing read before activation

    form.show();
    QCOMPARE(Column(form.LVRAM, 1), SimRegisters(0));
    QCOMPARE(Column(form.LVEEPROM, 1), SimRegisters(16));
    QCOMPARE(form.LVRAM->topLevelItem(1)->text(1), QStringLiteral("A3"));
    QCOMPARE(form.LVEEPROM->topLevelItem(15)->text(1), QStringLiteral("FD"));
}

// The RAM read fails on the wire; the fault is lifted as soon as the binding has traced that read,
// so the EEPROM read that follows finds the encoder again.
void TestRegisterView::failedRamReadStillFillsEeprom_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<uint>("arg");
    QTest::newRow("encoder absent") << int(TBSIM_ENCODER_ABSENT) << 0u;
    QTest::newRow("transfer breaks off") << int(TBSIM_SHORT_TRANSFER) << 4u;
}

void TestRegisterView::failedRamReadStillFillsEeprom()
{
    QFETCH(int, fault);
    QFETCH(uint, arg);
    QStringList lines;
    TLineHook::OnLine = [&](const QString &line) {
        lines << line;
        tbsim_set_fault(static_cast<tbsim_fault>(fault), 0, 0);
    };
    m_device->Com->ShowDebug();
    tbsim_set_fault(static_cast<tbsim_fault>(fault), 1, arg);

    TRC_RegisterForm form(nullptr, *m_device);
    form.show();
    QVERIFY(!lines.isEmpty());
    QVERIFY2(lines.first().contains(QStringLiteral("<-- 00:")), qPrintable(lines.first()));
    QCOMPARE(Column(form.LVRAM, 1), Empty16());
    QCOMPARE(Column(form.LVEEPROM, 1), SimRegisters(16));
}

// Shown again after the encoder went away, the view must not keep the bytes of the earlier showing.
void TestRegisterView::failedReadsClearEarlierData()
{
    TRC_RegisterForm form(nullptr, *m_device);
    form.show();
    QCOMPARE(Column(form.LVEEPROM, 1), SimRegisters(16));
    form.hide();

    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    form.show();
    QCOMPARE(Column(form.LVRAM, 1), Empty16());
    QCOMPARE(Column(form.LVEEPROM, 1), Empty16());
    QCOMPARE(Column(form.LVRAM, 0).first(), QStringLiteral("00"));
}

void TestRegisterView::showRegistersIsModal()
{
    QWidget owner;
    QStringList seen;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *form = qobject_cast<TRC_RegisterForm *>(modal);
        if (form == nullptr) {
            if (modal != nullptr)
                modal->close();
            return;
        }
        wasModal = form->isModal() && form->parentWidget() == &owner;
        seen = Column(form->LVRAM, 1);
        form->close();
    });
    m_device->ShowRegisters(&owner);
    QVERIFY(wasModal);
    QCOMPARE(seen, SimRegisters(0));
}

QTEST_MAIN(TestRegisterView)
#include "tst_register.moc"
