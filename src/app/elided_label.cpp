#include "app/elided_label.h"

#include <QPainter>
#include <QStyle>

TElidedLabel::TElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    // Takes whatever room its row has to spare, and no more.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QSize TElidedLabel::minimumSizeHint() const {
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")) + m.left() + m.right(),
            QLabel::minimumSizeHint().height()};
}

QSize TElidedLabel::sizeHint() const {
    return minimumSizeHint();
}

void TElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                          shown, foregroundRole());
}
