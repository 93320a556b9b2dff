#include "window/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
QPixmap Draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient fill(0, 0, 0, 64);
    fill.setColorAt(0, QColor(0x2f, 0x6f, 0xd0));
    fill.setColorAt(1, QColor(0x12, 0x3a, 0x7a));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    // The "V".
    QPainterPath v;
    v.moveTo(17, 14);
    v.lineTo(26, 14);
    v.lineTo(32, 38);
    v.lineTo(38, 14);
    v.lineTo(47, 14);
    v.lineTo(36, 50);
    v.lineTo(28, 50);
    v.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(v);
    // Up arrow on the left, down arrow on the right: both ways of FTP.
    p.setBrush(QColor(0xff, 0xc8, 0x3d));
    p.drawPolygon(QPolygonF({QPointF(6, 30), QPointF(12, 22), QPointF(18, 30)}));
    p.drawRect(QRectF(10, 30, 4, 12));
    p.drawPolygon(QPolygonF({QPointF(46, 34), QPointF(52, 42), QPointF(58, 34)}));
    p.drawRect(QRectF(50, 22, 4, 12));
    return pixmap;
}
} // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64, 128})
        icon.addPixmap(Draw(size));
    return icon;
}
