#include "res/app_icon.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

QImage DrawQuilletIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The sheet.
    QLinearGradient paper(0, 4, 0, 60);
    paper.setColorAt(0, QColor(0xFD, 0xFB, 0xF4));
    paper.setColorAt(1, QColor(0xEC, 0xE6, 0xD4));
    p.setPen(QPen(QColor(0x5B, 0x55, 0x48), 1.6));
    p.setBrush(paper);
    p.drawRoundedRect(QRectF(8, 4, 42, 54), 3, 3);

    // Lines of text.
    p.setPen(QPen(QColor(0x9C, 0x94, 0x80), 2.2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i) {
        const qreal y = 15 + i * 7;
        p.drawLine(QPointF(15, y), QPointF(i == 3 ? 30 : 43, y));
    }

    // The seal with its two ribbons.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xB0, 0x2A, 0x2A));
    p.drawPolygon(QPolygonF(
        {QPointF(34, 50), QPointF(30, 62), QPointF(34.5, 59.5), QPointF(37, 63), QPointF(39, 51)}));
    p.drawPolygon(QPolygonF(
        {QPointF(44, 50), QPointF(48, 62), QPointF(43.5, 59.5), QPointF(41, 63), QPointF(39, 51)}));
    QLinearGradient wax(32, 40, 46, 54);
    wax.setColorAt(0, QColor(0xE0, 0x4A, 0x3A));
    wax.setColorAt(1, QColor(0x9A, 0x1E, 0x1E));
    p.setBrush(wax);
    p.setPen(QPen(QColor(0x7A, 0x14, 0x14), 1.2));
    p.drawEllipse(QPointF(39, 46), 8, 8);
    p.setPen(QPen(QColor(0xF6, 0xC8, 0x6A), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(39, 46), 4.5, 4.5);

    // The quill.
    QPainterPath vane;
    vane.moveTo(60, 2);
    vane.cubicTo(50, 6, 40, 18, 34, 32);
    vane.lineTo(37, 31);
    vane.cubicTo(46, 22, 56, 12, 60, 2);
    p.setPen(QPen(QColor(0x2E, 0x4A, 0x7A), 1.0));
    p.setBrush(QColor(0x5C, 0x84, 0xC4));
    p.drawPath(vane);
    p.setPen(QPen(QColor(0x1E, 0x2A, 0x44), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(57, 6), QPointF(32, 37));
    return image;
}

QIcon QuilletIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(DrawQuilletIcon(size)));
    return icon;
}
