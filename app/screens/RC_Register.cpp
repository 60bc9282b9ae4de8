#include "RC_Register.h"

#include "EncoderMap.h"
#include "RC_Def.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QTreeWidget>

#include <array>
#include <cstdint>

namespace {

constexpr int Rows = static_cast<int>(EncoderMap::BlockRegisters);

QTreeWidget *RegisterList(QGroupBox *box, const char *name)
{
    auto *list = new QTreeWidget(box);
    list->setObjectName(QString::fromLatin1(name));
    list->setGeometry(8, 16, 89, 261);
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("Addr"), QStringLiteral("Data")});
    list->setColumnWidth(0, 40);
    list->setColumnWidth(1, 40);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(mid);"
                                       " border-bottom: 1px solid palette(mid); }"));
    for (int row = 0; row < Rows; ++row) {
        auto *item = new QTreeWidgetItem(list);
        item->setText(0, QStringLiteral("%1").arg(row, 2, 16, QLatin1Char('0')).toUpper());
    }
    return list;
}

// One area of 16 registers into the Data column; a failed read leaves the column empty.
void FillList(QTreeWidget *list, TRC_Device &device, uint32_t address)
{
    for (int row = 0; row < Rows; ++row)
        list->topLevelItem(row)->setText(1, QString());
    std::array<uint8_t, Rows> bytes{};
    if (!device.ReadBlock(address, bytes))
        return;
    for (int row = 0; row < Rows; ++row)
        list->topLevelItem(row)->setText(
            1, QStringLiteral("%1").arg(bytes[row], 2, 16, QLatin1Char('0')).toUpper());
}

} // namespace

TRC_RegisterForm::TRC_RegisterForm(QWidget *owner, TRC_Device &device) : QDialog(owner), m_device(device)
{
    setObjectName(QStringLiteral("RC_RegisterForm"));
    setWindowTitle(QStringLiteral("Register"));
    setFixedSize(244, 329);

    GBRAM = new QGroupBox(QStringLiteral("RAM"), this);
    GBRAM->setObjectName(QStringLiteral("GBRAM"));
    GBRAM->setGeometry(8, 8, 105, 285);
    LVRAM = RegisterList(GBRAM, "LVRAM");

    GBEEPROM = new QGroupBox(QStringLiteral("EEPROM"), this);
    GBEEPROM->setObjectName(QStringLiteral("GBEEPROM"));
    GBEEPROM->setGeometry(120, 8, 105, 285);
    LVEEPROM = RegisterList(GBEEPROM, "LVEEPROM");
}

void TRC_RegisterForm::FormActivate()
{
    FillList(LVRAM, m_device, EncoderMap::RamBlock);
    FillList(LVEEPROM, m_device, EncoderMap::EepromBlock);
}

void TRC_RegisterForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TRC_Device::ShowRegisters(QWidget *Owner)
{
    TRC_RegisterForm form(Owner, *this);
    form.exec();
}
