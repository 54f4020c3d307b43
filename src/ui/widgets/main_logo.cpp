#include "widgets/main_logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace pictavo {

QPixmap mainLogo(int width)
{
    const int height = width * 3 / 8;
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(0x2b, 0x4f, 0x8c));
    sky.setColorAt(1, QColor(0x8f, 0xb8, 0xde));
    painter.setBrush(sky);
    painter.setPen(QPen(QColor(0x1d, 0x33, 0x5c), 1.5));
    painter.drawRoundedRect(QRectF(1, 1, width - 2, height - 2), 6, 6);
    // Two hills and a sun: a photograph, in a few strokes.
    QPainterPath hills;
    hills.moveTo(1, height - 1);
    hills.cubicTo(width * 0.25, height * 0.45, width * 0.45, height * 0.55, width * 0.6,
                  height * 0.8);
    hills.cubicTo(width * 0.75, height * 0.55, width * 0.9, height * 0.6, width - 1, height * 0.7);
    hills.lineTo(width - 1, height - 1);
    hills.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3c, 0x7a, 0x4a));
    painter.drawPath(hills);
    painter.setBrush(QColor(0xf6, 0xd3, 0x65));
    painter.drawEllipse(QPointF(width * 0.82, height * 0.3), height * 0.14, height * 0.14);
    QFont font(QStringLiteral("Times New Roman"));
    font.setBold(true);
    font.setItalic(true);
    font.setPixelSize(height * 2 / 5);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(8, 4, width - 16, height * 0.6), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Pictavo"));
    return pixmap;
}

} // namespace pictavo
