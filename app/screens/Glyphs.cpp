#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int FlagWidth = 30;
constexpr int FlagHeight = 20;

QPixmap Canvas(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QIcon GermanFlagGlyph()
{
    QPixmap pixmap = Canvas(FlagWidth, FlagHeight);
    QPainter p(&pixmap);
    const int stripe = FlagHeight / 3;
    p.fillRect(0, 0, FlagWidth, stripe, QColor(0, 0, 0));
    p.fillRect(0, stripe, FlagWidth, stripe, QColor(221, 0, 0));
    p.fillRect(0, 2 * stripe, FlagWidth, FlagHeight - 2 * stripe, QColor(255, 206, 0));
    return QIcon(pixmap);
}

QIcon EnglishFlagGlyph()
{
    QPixmap pixmap = Canvas(FlagWidth, FlagHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(0, 0, FlagWidth, FlagHeight, QColor(1, 33, 105));
    const QColor white(255, 255, 255), red(200, 16, 46);
    p.setPen(QPen(white, 5));
    p.drawLine(0, 0, FlagWidth, FlagHeight);
    p.drawLine(0, FlagHeight, FlagWidth, 0);
    p.setPen(QPen(red, 2));
    p.drawLine(0, 0, FlagWidth, FlagHeight);
    p.drawLine(0, FlagHeight, FlagWidth, 0);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(FlagWidth / 2 - 4, 0, 8, FlagHeight, white);
    p.fillRect(0, FlagHeight / 2 - 4, FlagWidth, 8, white);
    p.fillRect(FlagWidth / 2 - 2, 0, 4, FlagHeight, red);
    p.fillRect(0, FlagHeight / 2 - 2, FlagWidth, 4, red);
    return QIcon(pixmap);
}

QIcon FactoryGlyph()
{
    QPixmap pixmap = Canvas(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(150, 150, 150));
    QPainterPath hall;
    hall.moveTo(1, 22);
    hall.lineTo(1, 12);
    hall.lineTo(7, 8);
    hall.lineTo(7, 12);
    hall.lineTo(13, 8);
    hall.lineTo(13, 12);
    hall.lineTo(17, 9);
    hall.lineTo(17, 2);
    hall.lineTo(21, 2);
    hall.lineTo(21, 22);
    hall.closeSubpath();
    p.drawPath(hall);
    p.setBrush(QColor(255, 220, 80));
    p.drawRect(4, 15, 3, 3);
    p.drawRect(10, 15, 3, 3);
    return QIcon(pixmap);
}

QIcon InitGlyph()
{
    QPixmap pixmap = Canvas(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(40, 120, 40));
    p.drawRoundedRect(6, 8, 12, 9, 2, 2);
    p.drawLine(9, 8, 9, 3);
    p.drawLine(15, 8, 15, 3);
    p.drawLine(12, 17, 12, 22);
    return QIcon(pixmap);
}

QIcon SaveGlyph()
{
    QPixmap pixmap = Canvas(20, 20);
    QPainter p(&pixmap);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(40, 70, 150));
    p.drawRect(1, 1, 17, 17);
    p.setBrush(QColor(240, 240, 240));
    p.drawRect(4, 1, 11, 7);
    p.setBrush(QColor(180, 180, 180));
    p.drawRect(5, 12, 9, 6);
    return QIcon(pixmap);
}
