#include "params/view/ident_form.h"

#include "image/codepage.h"
#include "ui/error_report.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace {

// One group box of the window: its title and the labels of its fields, which follow each
// other in the order of the image's identification fields.
struct IdentGroup {
    const char* title;
    std::array<const char*, 5> labels;
    int count;
};

constexpr IdentGroup ControlUnit{" Блок управления ", {"Тип:", "Производитель:", "Версия ПО:"}, 3};
constexpr IdentGroup Program{" Программа ", {"Контроллер:", "Идентификатор:", "Версия:"}, 3};
constexpr IdentGroup DataSet{
    " Данные ", {"Тип:", "Версия:", "Файл данных:", "Дата создания:", "Двигатель:"}, 5};
constexpr IdentGroup Car{" Автомобиль ", {"Двигатель:", "Кузов:", "Дата выпуска:"}, 3};

} // namespace

TIdentForm::TIdentForm(FirmwareImage& image, QWidget* parent)
    : QDialog(parent), image_(image), ident_(image) {
    setWindowTitle(QStringLiteral("Идентификация"));

    int next = 0;
    // The labels and fields of each column of groups, so that they line up across its groups.
    std::vector<QLabel*> labels;
    std::vector<QLineEdit*> edits;
    auto makeGroup = [&](const IdentGroup& group) {
        auto* box = new QGroupBox(QString::fromUtf8(group.title), this);
        auto* form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        for (int i = 0; i < group.count; ++i) {
            const QString text = QString::fromUtf8(group.labels[i]);
            auto* label = new QLabel(text, box);
            QLineEdit* edit = AddEdit(next++, text);
            form->addRow(label, edit);
            labels.push_back(label);
            edits.push_back(edit);
        }
        return box;
    };
    auto lineUp = [&] {
        int labelWidth = 0;
        int editWidth = 0;
        for (QLabel* label : labels)
            labelWidth = std::max(labelWidth, label->sizeHint().width());
        for (QLineEdit* edit : edits)
            editWidth = std::max(editWidth, edit->sizeHint().width());
        for (QLabel* label : labels)
            label->setFixedWidth(labelWidth);
        for (QLineEdit* edit : edits)
            edit->setMinimumWidth(editWidth);
        labels.clear();
        edits.clear();
    };

    auto* left = new QVBoxLayout;
    left->addWidget(makeGroup(ControlUnit));
    left->addWidget(makeGroup(Program));
    lineUp();
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(makeGroup(DataSet));
    right->addWidget(makeGroup(Car));
    lineUp();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    left->addWidget(ok, 0, Qt::AlignLeft);

    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left);
    columns->addLayout(right);
    // A fixed dialog border: the window keeps the size its contents need.
    columns->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* TIdentForm::AddEdit(int index, const QString& label) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("LabeledEdit%1").arg(index + 1));
    edit->setAccessibleName(label);
    // One character of the field is one byte of the image, so N characters fill the field.
    edit->setMaxLength(image_.Ident(index).length);
    edit->setText(QString::fromStdString(Cp1251ToUtf8(ident_.Shown()[index])));
    edits_[index] = edit;
    return edit;
}

void TIdentForm::done(int result) {
    RunGuarded(this, [this] { FormClose(); });
    QDialog::done(result);
}

void TIdentForm::FormClose() {
    IdentEdit::Texts texts;
    for (int i = 0; i < FirmwareImage::IdentCount; ++i)
        texts[i] = Utf8ToCp1251(edits_[i]->text().toStdString());
    ident_.Store(image_, texts);
}
