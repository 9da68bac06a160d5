#pragma once

#include "params/equipment.h"

#include <QDialog>

class FirmwareImage;
class QListWidget;
class QListWidgetItem;

// The equipment window: the 48 equipment bits of the image as a check list. Only the oxygen
// sensor, the speed sensor, the adsorber and the fan can be toggled; every other toggle is undone
// at once. Every close, by "OK" or by the close box, writes the 48 bits back; there is no cancel.
class TEquipmentForm : public QDialog {
    Q_OBJECT
public:
    explicit TEquipmentForm(FirmwareImage& image, QWidget* parent = nullptr);

    // Every way of closing the window ends here.
    void done(int result) override;

private:
    void FormShow();
    void CLB1ClickCheck(QListWidgetItem* item);
    void FormClose();

    FirmwareImage& image_;
    QListWidget* CLB1;
    // The check state of every item as it may stand: read from the image, changed only for the
    // four changeable items. A toggle of any other item is put back to this.
    EquipmentBits checked_{};
};
