#pragma once

#include <QLabel>

// A one-line label that shows as much of its text as fits and ends it with an ellipsis, rather
// than asking its layout for the room of the whole text: a long map name must not widen the
// panel it sits in. text() keeps the whole text.
class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(const QString& text, QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
