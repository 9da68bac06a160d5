#pragma once

#include "params/ident_edit.h"

#include <QDialog>
#include <array>

class QLineEdit;

// The identification window: the 14 identification texts of the image in labelled edit fields,
// each limited to the length of its raw field. Every close, by "OK" or by the close box, writes
// all 14 fields back into the image; there is no cancel.
class TIdentForm : public QDialog {
    Q_OBJECT
public:
    explicit TIdentForm(FirmwareImage& image, QWidget* parent = nullptr);

    // Every way of closing the window ends here.
    void done(int result) override;

private:
    QLineEdit* AddEdit(int index, const QString& label);
    void FormClose();

    FirmwareImage& image_;
    IdentEdit ident_;
    // LabeledEdit1 .. LabeledEdit14, in the order of the image's identification fields.
    std::array<QLineEdit*, FirmwareImage::IdentCount> edits_{};
};
