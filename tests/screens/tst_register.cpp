// Register view against the simulated adapter and encoder.
#include "LogWindow.h"
#include "RC_Def.h"
#include "RC_Register.h"
#include "tarnbus_sim.h"

#include <QTreeWidget>
#include <QtTest>

namespace {

// Stands in for the trace window, so that a test can act between the two reads of one showing.
struct TLineHook : TLogWindow {
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

QStringList Encoder(unsigned first)
{
    QStringList cells;
    for (unsigned i = first; i < first + 16; ++i)
        cells << QStringLiteral("%1").arg(tbsim_slave_get(0, i), 2, 16, QLatin1Char('0')).toUpper();
    return cells;
}

const QStringList kEmpty(16, QString());

} // namespace

class TestRegisterView : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup()
    {
        TLineHook::OnLine = nullptr;
        m_device.reset();
    }
    void showsBothAreas();
    void failedRamReadStillFillsEeprom();

private:
    std::unique_ptr<TRC_Device> m_device;
};

void TestRegisterView::init()
{
    tbsim_reset_default();
    TBissCom::SetLogWindowFactory([](TBissCom &) { return std::make_unique<TLineHook>(); });
    m_device = std::make_unique<TRC_Device>();
    QVERIFY(m_device->ReopenAndConfig());
    for (unsigned i = 0; i < 32; ++i) // distinct bytes, also where the program never writes
        tbsim_slave_set(0, i, static_cast<uint8_t>(0xA0 + i * 3));
}

void TestRegisterView::showsBothAreas()
{
    TRC_RegisterForm form(nullptr, *m_device);
    QCOMPARE(Column(form.LVRAM, 1), kEmpty); // nothing is read before the window is shown
    form.show();
    QCOMPARE(Column(form.LVRAM, 1), Encoder(0));
    QCOMPARE(Column(form.LVEEPROM, 1), Encoder(16));
    QCOMPARE(Column(form.LVRAM, 1).value(1), QStringLiteral("A3"));
    QCOMPARE(Column(form.LVEEPROM, 1).value(15), QStringLiteral("FD"));
    QCOMPARE(Column(form.LVEEPROM, 0), (QStringList{"00", "01", "02", "03", "04", "05", "06", "07", "08",
                                                    "09", "0A", "0B", "0C", "0D", "0E", "0F"}));
}

// The encoder is away for the RAM read only: the fault is lifted once the binding traced that read.
// Shown again with the encoder gone for good, the view keeps nothing of the earlier showing.
void TestRegisterView::failedRamReadStillFillsEeprom()
{
    QStringList lines;
    TLineHook::OnLine = [&](const QString &line) {
        lines << line;
        tbsim_set_fault(TBSIM_ENCODER_ABSENT, 0, 0);
    };
    m_device->Com->ShowDebug();
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);

    TRC_RegisterForm form(nullptr, *m_device);
    form.show();
    QVERIFY2(lines.value(0).contains(QStringLiteral("<-- 00:")), qPrintable(lines.value(0)));
    QCOMPARE(Column(form.LVRAM, 1), kEmpty);
    QCOMPARE(Column(form.LVEEPROM, 1), Encoder(16));

    form.hide();
    TLineHook::OnLine = nullptr;
    tbsim_set_fault(TBSIM_ENCODER_ABSENT, 1, 0);
    form.show();
    QCOMPARE(Column(form.LVEEPROM, 1), kEmpty);
}

QTEST_MAIN(TestRegisterView)
#include "tst_register.moc"
