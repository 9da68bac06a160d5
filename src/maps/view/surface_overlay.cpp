#include "maps/view/surface_overlay.h"

#include <QPainter>

SurfaceOverlay::SurfaceOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
}

void SurfaceOverlay::SetLabels(std::vector<Text> labels) {
    labels_ = std::move(labels);
    update();
}

void SurfaceOverlay::SetReadout(const QPoint& at, const QString& text) {
    if (text == readout_.text && at == readout_.at)
        return;
    readout_ = {at, text};
    update();
}

void SurfaceOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont small = font();
    small.setPixelSize(10);
    painter.setFont(small);
    // Light grey on the black view, centred on the point it labels.
    painter.setPen(QColor(200, 200, 200));
    const QFontMetrics fm(small);
    for (const Text& label : labels_) {
        const QRect box = fm.boundingRect(label.text);
        painter.drawText(label.at - QPoint(box.width() / 2, -fm.ascent() / 2), label.text);
    }
    if (readout_.text.isEmpty())
        return;
    painter.setFont(font());
    const QFontMetrics big(font());
    QRect box = big.boundingRect(readout_.text).adjusted(-4, -2, 4, 2);
    box.moveTopLeft(readout_.at + QPoint(12, 12));
    // Kept inside the view when the mouse is near its right or bottom edge.
    if (box.right() > width())
        box.moveRight(readout_.at.x() - 12);
    if (box.bottom() > height())
        box.moveBottom(readout_.at.y() - 12);
    painter.fillRect(box, QColor(255, 255, 225));
    painter.setPen(Qt::black);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box, Qt::AlignCenter, readout_.text);
}
