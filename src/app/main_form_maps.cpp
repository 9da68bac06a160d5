// Map catalogue and grid editing of the main window: the core computes layout, addresses and
// steps; these handlers move the results into the grid and the menu.
#include "app/main_form.h"

#include "maps/cell_edit.h"
#include "maps/map_grid.h"
#include "maps/map_status.h"
#include "maps/value_colour.h"
#include "ui/app_settings.h"
#include "ui/decimal_separator.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

QAction* TMainForm::MapItem(MapKind kind) const {
    return MapItems.at(static_cast<std::size_t>(kind));
}

std::optional<MapKind> TMainForm::MarkedMap() const {
    for (const MapInfo& info : MapCatalogue())
        if (info.mark != MarkRule::Never && MapItem(info.kind)->isChecked())
            return info.kind;
    return std::nullopt;
}

void TMainForm::MUozClick() {
    MapCommand(MapKind::Uoz);
}
void TMainForm::MTauClick() {
    MapCommand(MapKind::Tau);
}
void TMainForm::MCoefCorUozClick() {
    MapCommand(MapKind::CoefCorUoz);
}
void TMainForm::MCoefCorTauClick() {
    MapCommand(MapKind::CoefCorTau);
}
void TMainForm::MCorUozClick() {
    MapCommand(MapKind::CorUoz);
}
void TMainForm::MCorTauClick() {
    MapCommand(MapKind::CorTau);
}
void TMainForm::MPmaxClick() {
    MapCommand(MapKind::Pmax);
}
void TMainForm::MLambdaClick() {
    MapCommand(MapKind::Lambda);
}
void TMainForm::MRcodClick() {
    MapCommand(MapKind::Rcod);
}
void TMainForm::MDrmaxClick() {
    MapCommand(MapKind::Drmax);
}

// The menu has already flipped a checkable item's mark when this runs, which is exactly the
// "flips" rule; "set" items are marked again, and a marked item clears the rest of its group.
void TMainForm::MapCommand(MapKind kind) {
    QAction* item = MapItem(kind);
    const MarkRule rule = GetMapInfo(kind).mark;
    if (rule == MarkRule::Set)
        item->setChecked(true);
    if (rule != MarkRule::Never && item->isChecked())
        for (const MapInfo& other : MapCatalogue())
            if (other.kind != kind && other.mark != MarkRule::Never)
                MapItem(other.kind)->setChecked(false);
    Label1->setText(item->text());
    Label1->setToolTip(item->text()); // the label may show it cut short
    CurrentMap = kind;
    ShowMap(kind);
    if (MarkedMap() != FittedMap)
        FitView();
    Repaint3D();
}

void TMainForm::MLamClick() {
    // The menu has flipped the mark; the image follows it.
    Image->UseO2Maps = MLam->isChecked();
    Image->Decode();
    UpdateComparison(); // the reference switches map sets with the image
    ShowMap(CurrentMap);
    FitView();
}

void TMainForm::MColourClick() {
    AppSettings().SetValue(QStringLiteral("view/colourByValue"), MColour->isChecked());
    RefreshTints();
}

void TMainForm::RefreshTints() {
    if (!MColour->isChecked()) {
        SG->SetTints({}, 0);
        return;
    }
    const MapInfo& info = GetMapInfo(CurrentMap);
    std::array<double, FirmwareImage::Rows * FirmwareImage::LoadCols> values;
    ReadMapValues(*Image, CurrentMap, values.data());
    std::vector<CellTint> tints;
    TintValues(values.data(), info.rows * info.cols, tints);
    SG->SetTints(std::move(tints), info.cols);
}

void TMainForm::RefreshStatus() {
    const QString text =
        Image->Loaded
            ? QString::fromStdString(MapStatusText(*Image, CurrentMap, SelRow, SelCol,
                                                   std::string(1, LocaleDecimalSeparator())))
            : QString();
    StatusLabel->setText(text);
    StatusLabel->setToolTip(text);
}

void TMainForm::ShowMap(MapKind kind) {
    const MapInfo& info = GetMapInfo(kind);
    CellWidth = info.width;
    SG->setUpdatesEnabled(false);
    SG->SetSize(info.rows + 1, info.cols + 1);
    SG->SetCell(0, 0, QString::fromUtf8(info.corner));
    if (info.columnTitle)
        SG->SetCell(1, 0, QString::fromUtf8(info.columnTitle));
    for (int r = 0; r < info.rows; ++r) {
        SG->SetCell(0, r + 1, QString::number(MapRowLabel(*Image, kind, r)));
        for (int c = 0; c < info.cols; ++c) {
            if (r == 0 && info.colAxis != MapAxis::None)
                SG->SetCell(c + 1, 0, QString::number(MapColLabel(*Image, kind, c)));
            SG->SetCell(c + 1, r + 1, CellText(kind, r, c));
        }
    }
    MarkDifferences();
    SG->setUpdatesEnabled(true);
    RefreshTints();
    SG->SetCurrentCell(1, 1);
    SelectCellState(1, 1);
    Repaint3D();
}

void TMainForm::SGSelectCell(int ACol, int ARow) {
    SelectCellState(ACol, ARow);
}

void TMainForm::SelectCellState(int ACol, int ARow) {
    SelRow = ARow - 1;
    SelCol = ACol - 1;
    CellAddress = MapCellAddress(*Image, CurrentMap, SelRow, SelCol);
    CellRaw = ReadCellRaw(*Image, CellWidth, CellAddress, CellRaw);
    RefreshStatus();
    Repaint3D();
}

void TMainForm::SGKeyDown(QKeyEvent* event) {
    // Plus and minus, on the keypad or the main keyboard, and Ctrl+Up / Ctrl+Down step the
    // stored value of every selected cell by one. Every other key still rewrites the current
    // cell, so an arrow key refreshes it before the grid moves on.
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    int delta = 0;
    if ((event->key() == Qt::Key_Plus && !ctrl) || (event->key() == Qt::Key_Up && ctrl))
        delta = 1;
    else if ((event->key() == Qt::Key_Minus && !ctrl) || (event->key() == Qt::Key_Down && ctrl))
        delta = -1;
    if (delta != 0) {
        StepSelection(delta);
        return;
    }
    CellRaw = StepCellRaw(*Image, CellWidth, CellAddress, CellRaw, delta);
    RewriteCurrentCell();
    Repaint3D();
}

void TMainForm::RewriteCurrentCell() {
    const MapInfo& info = GetMapInfo(CurrentMap);
    if (SelRow < 0 || SelCol < 0 || SelRow >= info.rows || SelCol >= info.cols ||
        SelRow + 1 >= SG->RowCount() || SelCol + 1 >= SG->ColCount())
        return;
    SG->SetCell(SelCol + 1, SelRow + 1, CellText(CurrentMap, SelRow, SelCol));
}

void TMainForm::ApplyEdit(const QString& stepName, const std::function<void()>& writes) {
    (void)stepName;
    writes();
    Image->Decode();
    RefreshMapCells();
    if (Reference)
        UpdateComparison();
    RefreshTints();
    RefreshStatus();
    Repaint3D();
}

void TMainForm::RefreshMapCells() {
    const MapInfo& info = GetMapInfo(CurrentMap);
    if (SG->RowCount() != info.rows + 1 || SG->ColCount() != info.cols + 1)
        return;
    for (int r = 0; r < info.rows; ++r)
        for (int c = 0; c < info.cols; ++c) {
            const QString text = CellText(CurrentMap, r, c);
            if (SG->Cell(c + 1, r + 1) != text)
                SG->SetCell(c + 1, r + 1, text);
        }
    CellRaw = ReadCellRaw(*Image, CellWidth, CellAddress, CellRaw);
}
