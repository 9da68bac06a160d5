#include "app/tool_icons.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap Blank() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

} // namespace

QIcon OpenIcon() {
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setPen(QColor(120, 90, 0));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 4, 13, 10); // folder body
    p.drawRect(1, 2, 5, 2);   // tab
    p.setBrush(QColor(255, 230, 130));
    p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 14), QPoint(1, 14)}));
    return QIcon(pm);
}

QIcon SaveIcon() {
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setPen(QColor(20, 30, 80));
    p.setBrush(QColor(50, 80, 170));
    p.drawRect(1, 1, 13, 13); // disk
    p.setBrush(Qt::white);
    p.drawRect(4, 2, 7, 5); // label
    p.setBrush(QColor(180, 180, 180));
    p.drawRect(4, 10, 7, 4); // shutter
    return QIcon(pm);
}

QIcon HelpIcon() {
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0, 60, 140));
    p.setBrush(QColor(60, 130, 220));
    p.drawEllipse(1, 1, 14, 14);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
    return QIcon(pm);
}
