#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>
#include <vector>

// Texts written over the 3-D view: the axis labels at the window positions of their model
// points, and the value of the cell under the mouse in a box beside it. A plain widget laid
// over the OpenGL panel, so that its painting never touches the panel's drawing state; mouse
// events pass through it to the view.
class SurfaceOverlay : public QWidget {
public:
    struct Text {
        QPoint at;
        QString text;
    };

    explicit SurfaceOverlay(QWidget* parent);

    void SetLabels(std::vector<Text> labels);
    // The readout near a point; an empty text shows none.
    void SetReadout(const QPoint& at, const QString& text);
    const std::vector<Text>& Labels() const { return labels_; }
    const QString& Readout() const { return readout_.text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Text> labels_;
    Text readout_;
};
