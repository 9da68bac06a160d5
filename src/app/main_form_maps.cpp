// Map catalogue and grid editing of the main window: the core computes layout, addresses and
// steps; these handlers move the results into the grid and the menu.
#include "app/main_form.h"

#include "document/edit_history.h"

#include "document/keypad_step.h"
#include "maps/cell_edit.h"
#include "maps/map_operations.h"
#include "maps/map_status.h"
#include "maps/value_colour.h"
#include "maps/view/map_grid.h"
#include "ui/app_settings.h"
#include "ui/decimal_separator.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

QAction* TMainForm::MapAction(MapKind kind) const {
    return MapItems.at(static_cast<std::size_t>(kind));
}

std::optional<MapKind> TMainForm::MarkedMap() const {
    for (const MapInfo& info : MapCatalogue())
        if (info.mark != MarkRule::Never && MapAction(info.kind)->isChecked())
            return info.kind;
    return std::nullopt;
}

// The menu has already flipped a checkable item's mark when this runs, which is exactly the
// "flips" rule; "set" items are marked again, and a marked item clears the rest of its group.
void TMainForm::MapCommand(MapKind kind) {
    QAction* item = MapAction(kind);
    const MapInfo& info = GetMapInfo(kind);
    const MarkRule rule = info.mark;
    if (rule == MarkRule::Set)
        item->setChecked(true);
    if (rule != MarkRule::Never && item->isChecked())
        for (const MapInfo& other : MapCatalogue())
            if (other.kind != kind && other.mark != MarkRule::Never)
                MapAction(other.kind)->setChecked(false);
    MapCaption->setText(QString::fromUtf8(info.caption));
    MapCaption->setToolTip(MapCaption->text()); // the label may show it cut short
    Edit.CurrentMap = kind;
    ShowMap(kind);
    if (MarkedMap() != ViewPanel->State().FittedMap)
        ViewPanel->Fit();
    ViewPanel->Repaint();
}

void TMainForm::MLamClick() {
    // The menu has flipped the mark; the image follows it.
    GetImage().UseO2Maps = MLam->isChecked();
    GetImage().Decode();
    UpdateComparison(); // the reference switches map sets with the image
    ShowMap(Edit.CurrentMap);
    ViewPanel->Fit();
}

void TMainForm::MColourClick() {
    AppSettings().SetValue(QStringLiteral("view/colourByValue"), MColour->isChecked());
    RefreshTints();
    ViewPanel->Repaint(); // the surface takes the grid's colours too
}

void TMainForm::RefreshTints() {
    if (!MColour->isChecked()) {
        SG->SetTints({}, 0);
        return;
    }
    const MapInfo& info = GetMapInfo(Edit.CurrentMap);
    std::array<double, FirmwareImage::Rows * FirmwareImage::LoadCols> values;
    ReadMapValues(GetImage(), Edit.CurrentMap, values.data());
    std::vector<CellTint> tints;
    const int count = info.rows * info.cols;
    if (Compared->IsOpen() && Compared->Show() == Comparison::CellShow::Difference) {
        // The cells show differences: their colours say the sign and size of each.
        std::array<double, FirmwareImage::Rows * FirmwareImage::LoadCols> reference;
        ReadMapValues(*Compared->Reference(), Edit.CurrentMap, reference.data());
        for (int i = 0; i < count; ++i)
            values[static_cast<std::size_t>(i)] -= reference[static_cast<std::size_t>(i)];
        TintDifferences(values.data(), count, tints);
    } else {
        TintValues(values.data(), count, tints);
    }
    SG->SetTints(std::move(tints), info.cols);
}

void TMainForm::RefreshStatus() {
    const std::string separator(1, LocaleDecimalSeparator());
    QString text;
    if (GetImage().Loaded) {
        text = QString::fromStdString(
            MapStatusText(GetImage(), Edit.CurrentMap, Edit.SelRow, Edit.SelCol, separator));
        // A selection of several cells adds its count, minimum, maximum and mean.
        if (const auto summary = SummariseCells(GetImage(), Edit.CurrentMap, SelectedRect()))
            text += QStringLiteral("; ") +
                    QString::fromStdString(CellSummaryText(*summary, Edit.CurrentMap, separator));
    }
    StatusLabel->setText(text);
    StatusLabel->setToolTip(text);
}

void TMainForm::ShowMap(MapKind kind) {
    FillGrid(kind, false);
    SG->SetCurrentCell(1, 1);
    SelectCellState(1, 1);
    ViewPanel->Repaint();
}

void TMainForm::FillGrid(MapKind kind, bool keepLayout) {
    const MapInfo& info = GetMapInfo(kind);
    Edit.CellWidth = info.storage.width;
    keepLayout = keepLayout && SG->RowCount() == info.rows + 1 && SG->ColCount() == info.cols + 1;
    SG->setUpdatesEnabled(false);
    if (!keepLayout)
        SG->SetSize(info.rows + 1, info.cols + 1);
    SG->SetCell(0, 0, QString::fromUtf8(info.corner));
    if (info.columnTitle)
        SG->SetCell(1, 0, QString::fromUtf8(info.columnTitle));
    // Only texts that changed are written: every write measures its text for the column width,
    // and an undo of a whole-image step would otherwise measure every cell and label again.
    const auto setChanged = [&](int col, int row, const QString& text) {
        if (!keepLayout || SG->Cell(col, row) != text)
            SG->SetCell(col, row, text);
    };
    for (int r = 0; r < info.rows; ++r) {
        setChanged(0, r + 1, QString::number(MapRowLabel(GetImage(), kind, r)));
        for (int c = 0; c < info.cols; ++c) {
            if (r == 0 && info.colAxis != MapAxis::None)
                setChanged(c + 1, 0, QString::number(MapColLabel(GetImage(), kind, c)));
            setChanged(c + 1, r + 1, CellText(kind, r, c));
            SG->SetCellMarked(c + 1, r + 1, CellDiffersFromFile(GetImage(), kind, r, c));
        }
    }
    MarkDifferences();
    SG->setUpdatesEnabled(true);
    RefreshTints();
}

// Every edit through here is one step of the history; the grid, the marks, the tints, the status
// line and the 3-D view then follow the image.
void TMainForm::ApplyEdit(const QString& stepName, const std::function<void()>& writes) {
    Doc->History().Record(stepName, writes);
    RefreshAfterEdit();
}

EditPath TMainForm::WindowEditPath() {
    return [this](const std::string& name, const std::function<void()>& writes) {
        Doc->History().Record(QString::fromStdString(name), writes);
    };
}

void TMainForm::RefreshAfterEdit() {
    if (Compared->IsOpen())
        UpdateComparison();
    FillGrid(Edit.CurrentMap, true);
    const MapInfo& info = GetMapInfo(Edit.CurrentMap);
    const int col = std::clamp(Edit.SelCol, 0, info.cols - 1) + 1;
    const int row = std::clamp(Edit.SelRow, 0, info.rows - 1) + 1;
    // Moving the grid's current cell clears its selection: only an undo that moves it does so.
    if (SG->Col() != col || SG->Row() != row)
        SG->SetCurrentCell(col, row);
    SelectCellState(col, row);
    RefreshStatus();
    ViewPanel->Repaint();
    UpdateEditState();
}

void TMainForm::UndoApplied(int map, int row, int col) {
    // The grid follows the step when it belongs to the table shown.
    if (map == static_cast<int>(Edit.CurrentMap)) {
        Edit.SelRow = row;
        Edit.SelCol = col;
    }
    RefreshAfterEdit();
}

void TMainForm::UpdateEditState() {
    const std::size_t changed = CountChangedBytes(GetImage());
    ChangedBytesLabel->setText(QStringLiteral("Изменено байт: %1").arg(changed));
    setWindowModified(changed != 0);
}

void TMainForm::SGSelectCell(int ACol, int ARow) {
    SelectCellState(ACol, ARow);
}

void TMainForm::SelectCellState(int ACol, int ARow) {
    Edit.SelRow = ARow - 1;
    Edit.SelCol = ACol - 1;
    Edit.CellAddress = MapCellAddress(GetImage(), Edit.CurrentMap, Edit.SelRow, Edit.SelCol);
    Edit.CellRaw = ReadCellRaw(GetImage(), Edit.CellWidth, Edit.CellAddress, Edit.CellRaw);
    RefreshStatus();
    ViewPanel->Repaint();
}

void TMainForm::SGKeyDown(QKeyEvent* event) {
    // Plus and minus, on the keypad or the main keyboard, and Ctrl+Up / Ctrl+Down step the
    // stored value of every selected cell by one. A step of the current cell alone is the
    // keypad's own step: repeated steps on one cell merge into one history step. Every other key
    // still rewrites the current cell, so an arrow key refreshes it before the grid moves on.
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    int delta = 0;
    if ((event->key() == Qt::Key_Plus && !ctrl) || (event->key() == Qt::Key_Up && ctrl))
        delta = 1;
    else if ((event->key() == Qt::Key_Minus && !ctrl) || (event->key() == Qt::Key_Down && ctrl))
        delta = -1;
    if (delta != 0) {
        const CellRect rect = SelectedRect();
        if (rect.top != rect.bottom || rect.left != rect.right) {
            StepSelection(delta);
            return;
        }
    }
    const MapKind map = Edit.CurrentMap;
    const int row = Edit.SelRow;
    const int col = Edit.SelCol;
    const MapInfo& info = GetMapInfo(map);
    const bool inTable = row >= 0 && col >= 0 && row < info.rows && col < info.cols;
    Edit.CellRaw = RecordKeypadPress(
        *Doc, {map, row, col, Edit.CellWidth, Edit.CellAddress, Edit.CellRaw, delta},
        std::string(1, LocaleDecimalSeparator()));
    RewriteCurrentCell();
    if (inTable && Edit.SelRow + 1 < SG->RowCount() && Edit.SelCol + 1 < SG->ColCount())
        SG->SetCellMarked(Edit.SelCol + 1, Edit.SelRow + 1,
                          CellDiffersFromFile(GetImage(), map, row, col));
    if (delta != 0) {
        // The reference marks, the tints and the status line follow the keystroke at once.
        if (Compared->IsOpen())
            UpdateComparison();
        RefreshTints();
        RefreshStatus();
    }
    ViewPanel->Repaint();
    UpdateEditState();
}

void TMainForm::RewriteCurrentCell() {
    const MapInfo& info = GetMapInfo(Edit.CurrentMap);
    if (Edit.SelRow < 0 || Edit.SelCol < 0 || Edit.SelRow >= info.rows ||
        Edit.SelCol >= info.cols || Edit.SelRow + 1 >= SG->RowCount() ||
        Edit.SelCol + 1 >= SG->ColCount())
        return;
    SG->SetCell(Edit.SelCol + 1, Edit.SelRow + 1,
                CellText(Edit.CurrentMap, Edit.SelRow, Edit.SelCol));
}
