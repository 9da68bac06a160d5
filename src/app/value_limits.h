#pragma once

#include "maps/map_catalogue.h"
#include "maps/warning_limits.h"

#include <QDialog>
#include <array>
#include <optional>

class AppSettings;
class FirmwareImage;
class QTableWidget;

// The user's warning limits of every table; none means the storage range.
using WarningLimitSet = std::array<std::optional<WarningLimits>, MapKindCount>;

// Read from and written to the settings under "limits/NAME/low" and "limits/NAME/high". A pair
// that is not two finite numbers with low ≤ high counts as none: a hand-edited file must not
// make every edit ask.
WarningLimitSet LoadWarningLimits(const AppSettings& settings);
void SaveWarningLimits(AppSettings& settings, const WarningLimitSet& limits);

// "Настройки → Пределы значений…": one row per table with its storage range and the two limits
// the user may narrow it to; an empty pair keeps the storage range. OK takes the limits only
// when every row makes sense, else it names the table and why.
class ValueLimitsDialog : public QDialog {
public:
    ValueLimitsDialog(const FirmwareImage& image, const WarningLimitSet& limits, QWidget* parent);

    QTableWidget* Table; // rows in map menu order; columns: table, storage, low, high
    const WarningLimitSet& Limits() const { return limits_; }
    // Reads the rows into Limits(); the problem of the first row that makes no sense, with its
    // table's name, else empty.
    QString TakeRows();

    void accept() override;

private:
    const FirmwareImage& image_;
    WarningLimitSet limits_;
};
