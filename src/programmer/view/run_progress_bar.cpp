#include "programmer/view/run_progress_bar.h"

#include <QPainter>

RunProgressBar::RunProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setStyleSheet(QStringLiteral("QProgressBar { background: palette(button); border: none; } "
                                 "QProgressBar::chunk { background-color: rgb(0, 0, 128); }"));
}

void RunProgressBar::SetCaption(const QString& text) {
    if (text == caption_)
        return;
    caption_ = text;
    update();
}

void RunProgressBar::paintEvent(QPaintEvent* event) {
    QProgressBar::paintEvent(event);
    if (caption_.isEmpty())
        return;
    const int span = maximum() - minimum();
    const int filled =
        span <= 0 ? width()
                  : static_cast<int>(static_cast<long long>(value() - minimum()) * width() / span);
    QPainter painter(this);
    const QRect all = rect();
    painter.setClipRect(QRect(0, 0, filled, height()));
    painter.setPen(Qt::white);
    painter.drawText(all, Qt::AlignCenter, caption_);
    painter.setClipRect(QRect(filled, 0, width() - filled, height()));
    painter.setPen(Qt::black);
    painter.drawText(all, Qt::AlignCenter, caption_);
}
