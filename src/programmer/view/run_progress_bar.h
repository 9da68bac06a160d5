#pragma once

#include <QProgressBar>

// The programmer window's progress bar: the navy bar on the button face, with its text (the
// phase, the percent and the time left) drawn white over the filled part and black over the
// rest, so that it stays readable wherever the bar has got to.
class RunProgressBar : public QProgressBar {
public:
    explicit RunProgressBar(QWidget* parent);

    // The text shown on the bar; empty shows none.
    void SetCaption(const QString& text);
    const QString& caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};
