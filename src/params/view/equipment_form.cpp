#include "params/view/equipment_form.h"

#include "ui/error_report.h"

#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

TEquipmentForm::TEquipmentForm(FirmwareImage& image, QWidget* parent)
    : QDialog(parent), image_(image), CLB1(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Комплектация"));

    CLB1->setObjectName(QStringLiteral("CLB1"));
    CLB1->setFixedHeight(345);
    CLB1->setUniformItemSizes(true);
    for (int k = 0; k < EquipmentCount; ++k) {
        auto* item = new QListWidgetItem(QString::fromUtf8(EquipmentCaption(k)), CLB1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setToolTip(QString::fromStdString(EquipmentDesignation(k)));
        item->setCheckState(Qt::Unchecked);
    }
    connect(CLB1, &QListWidget::itemChanged, this, &TEquipmentForm::CLB1ClickCheck);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CLB1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    // 284 pixels wide at the least, wider where the system font needs it, so no caption is cut.
    const int listWidth = CLB1->sizeHintForColumn(0) + 2 * CLB1->frameWidth() +
                          CLB1->verticalScrollBar()->sizeHint().width();
    const QMargins margins = layout->contentsMargins();
    setFixedSize(std::max(284, listWidth + margins.left() + margins.right()), 399);

    // Filled once, as the window opens, not on every show event: restoring the window after it
    // was minimised shows it again, and must not throw away what the user toggled.
    FormShow();
}

void TEquipmentForm::FormShow() {
    checked_ = ReadEquipment(image_);
    const QSignalBlocker blocker(CLB1);
    for (int k = 0; k < EquipmentCount; ++k)
        CLB1->item(k)->setCheckState(checked_[k] ? Qt::Checked : Qt::Unchecked);
}

void TEquipmentForm::CLB1ClickCheck(QListWidgetItem* item) {
    const int k = CLB1->row(item);
    if (k < 0 || k >= EquipmentCount)
        return;
    const bool checked = item->checkState() == Qt::Checked;
    if (checked == checked_[k])
        return;
    if (IsEquipmentChangeable(k)) {
        checked_[k] = checked;
        return;
    }
    // A bit the user may not change: put the check mark back at once.
    const QSignalBlocker blocker(CLB1);
    item->setCheckState(checked_[k] ? Qt::Checked : Qt::Unchecked);
}

void TEquipmentForm::done(int result) {
    RunGuarded(this, [this] { FormClose(); });
    QDialog::done(result);
}

void TEquipmentForm::FormClose() {
    EquipmentBits bits{};
    for (int k = 0; k < EquipmentCount; ++k)
        bits[k] = CLB1->item(k)->checkState() == Qt::Checked;
    WriteEquipment(image_, bits);
}
