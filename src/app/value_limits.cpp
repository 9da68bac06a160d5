#include "app/value_limits.h"

#include "maps/table_text.h"
#include "ui/app_settings.h"
#include "ui/decimal_separator.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace {

QString Key(MapKind kind, const char* end) {
    return QStringLiteral("limits/%1/%2")
        .arg(QString::fromUtf8(GetMapInfo(kind).name), QString::fromUtf8(end));
}

std::optional<double> StoredNumber(const AppSettings& settings, const QString& key) {
    bool ok = false;
    const double value = settings.Value(key).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string Separator() {
    return std::string(1, LocaleDecimalSeparator());
}

QString Number(MapKind kind, double value) {
    return QString::fromStdString(FormatMapNumber(value, GetMapInfo(kind).decimals, Separator()));
}

} // namespace

WarningLimitSet LoadWarningLimits(const AppSettings& settings) {
    WarningLimitSet limits;
    for (const MapInfo& info : MapCatalogue()) {
        const std::optional<double> low = StoredNumber(settings, Key(info.kind, "low"));
        const std::optional<double> high = StoredNumber(settings, Key(info.kind, "high"));
        if (low && high && *low <= *high)
            limits[static_cast<int>(info.kind)] = WarningLimits{*low, *high};
    }
    return limits;
}

void SaveWarningLimits(AppSettings& settings, const WarningLimitSet& limits) {
    for (const MapInfo& info : MapCatalogue()) {
        const std::optional<WarningLimits>& l = limits[static_cast<int>(info.kind)];
        settings.SetValue(Key(info.kind, "low"), l ? QVariant(l->low) : QVariant());
        settings.SetValue(Key(info.kind, "high"), l ? QVariant(l->high) : QVariant());
    }
}

ValueLimitsDialog::ValueLimitsDialog(const FirmwareImage& image, const WarningLimitSet& limits,
                                     QWidget* parent)
    : QDialog(parent), image_(image), limits_(limits) {
    setWindowTitle(QStringLiteral("Пределы значений"));
    auto* layout = new QVBoxLayout(this);
    auto* note =
        new QLabel(QStringLiteral("Значение за пределами предупреждения записывается только после "
                                  "вопроса. Пустые пределы — диапазон хранения."),
                   this);
    note->setWordWrap(true);
    layout->addWidget(note);

    Table = new QTableWidget(MapKindCount, 4, this);
    Table->setHorizontalHeaderLabels({QStringLiteral("Таблица"), QStringLiteral("Хранение"),
                                      QStringLiteral("Нижний предел"),
                                      QStringLiteral("Верхний предел")});
    Table->verticalHeader()->hide();
    int row = 0;
    for (const MapInfo* info : MapMenuOrder()) {
        auto fixedItem = [&](const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            return item;
        };
        Table->setItem(row, 0, fixedItem(QString::fromUtf8(info->caption)));
        Table->setItem(row, 1,
                       fixedItem(QString::fromStdString(
                           RangeText(info->kind, StorageRange(image, info->kind), Separator()))));
        const std::optional<WarningLimits>& l = limits_[static_cast<int>(info->kind)];
        Table->setItem(row, 2, new QTableWidgetItem(l ? Number(info->kind, l->low) : QString()));
        Table->setItem(row, 3, new QTableWidgetItem(l ? Number(info->kind, l->high) : QString()));
        ++row;
    }
    Table->resizeColumnsToContents();
    Table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* reset =
        buttons->addButton(QStringLiteral("Сбросить все"), QDialogButtonBox::ResetRole);
    connect(reset, &QPushButton::clicked, this, [this] {
        for (int r = 0; r < Table->rowCount(); ++r)
            for (int c : {2, 3})
                Table->item(r, c)->setText(QString());
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &ValueLimitsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ValueLimitsDialog::reject);
    layout->addWidget(buttons);
    resize(Table->horizontalHeader()->length() + 60, 420);
}

QString ValueLimitsDialog::TakeRows() {
    WarningLimitSet taken;
    int row = 0;
    for (const MapInfo* info : MapMenuOrder()) {
        const QString caption = QString::fromUtf8(info->caption);
        const QString lowText = Table->item(row, 2)->text().trimmed();
        const QString highText = Table->item(row, 3)->text().trimmed();
        ++row;
        if (lowText.isEmpty() && highText.isEmpty())
            continue;
        WarningLimits l;
        if (!ParseCellNumber(lowText.toStdString(), l.low) ||
            !ParseCellNumber(highText.toStdString(), l.high))
            return QStringLiteral("%1: нужны оба предела, числами.").arg(caption);
        const std::string problem = WarningLimitsProblem(image_, info->kind, l, Separator());
        if (!problem.empty())
            return QStringLiteral("%1: %2.").arg(caption, QString::fromStdString(problem));
        taken[static_cast<int>(info->kind)] = l;
    }
    limits_ = taken;
    return QString();
}

void ValueLimitsDialog::accept() {
    const QString problem = TakeRows();
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(),
                             problem + QStringLiteral(" Пределы не изменены."));
        return;
    }
    QDialog::accept();
}
