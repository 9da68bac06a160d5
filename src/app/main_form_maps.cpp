// Map catalogue and grid editing of the main window: the core computes layout, addresses and
// steps; these handlers move the results into the grid and the menu.
#include "app/main_form.h"

#include "maps/cell_edit.h"
#include "maps/map_grid.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>

namespace {

std::string DecimalSeparator() {
    return QLocale().decimalPoint().toStdString();
}

// The radio group of the map items, in menu order.
constexpr MapKind RadioGroup[] = {MapKind::Uoz,        MapKind::Tau,    MapKind::CoefCorUoz,
                                  MapKind::CoefCorTau, MapKind::CorUoz, MapKind::CorTau,
                                  MapKind::Lambda,     MapKind::Rcod};

} // namespace

QAction* TMainForm::MapItem(MapKind kind) const {
    switch (kind) {
    case MapKind::Uoz:
        return MUoz;
    case MapKind::Tau:
        return MTau;
    case MapKind::CoefCorUoz:
        return MCoefCorUoz;
    case MapKind::CoefCorTau:
        return MCoefCorTau;
    case MapKind::CorUoz:
        return MCorUoz;
    case MapKind::CorTau:
        return MCorTau;
    case MapKind::Pmax:
        return MPmax;
    case MapKind::Lambda:
        return MLambda;
    case MapKind::Rcod:
        return MRcod;
    case MapKind::Drmax:
        return MDrmax;
    }
    return nullptr;
}

int TMainForm::MarkedMap() const {
    for (MapKind kind : RadioGroup)
        if (MapItem(kind)->isChecked())
            return static_cast<int>(kind);
    return -1;
}

void TMainForm::MUozClick() {
    MapCommand(MUoz, MapKind::Uoz);
}
void TMainForm::MTauClick() {
    MapCommand(MTau, MapKind::Tau);
}
void TMainForm::MCoefCorUozClick() {
    MapCommand(MCoefCorUoz, MapKind::CoefCorUoz);
}
void TMainForm::MCoefCorTauClick() {
    MapCommand(MCoefCorTau, MapKind::CoefCorTau);
}
void TMainForm::MCorUozClick() {
    MapCommand(MCorUoz, MapKind::CorUoz);
}
void TMainForm::MCorTauClick() {
    MapCommand(MCorTau, MapKind::CorTau);
}
void TMainForm::MPmaxClick() {
    MapCommand(MPmax, MapKind::Pmax);
}
void TMainForm::MLambdaClick() {
    MapCommand(MLambda, MapKind::Lambda);
}
void TMainForm::MRcodClick() {
    MapCommand(MRcod, MapKind::Rcod);
}
void TMainForm::MDrmaxClick() {
    MapCommand(MDrmax, MapKind::Drmax);
}

// The menu has already flipped a checkable item's mark when this runs, which is exactly the
// "flips" rule; "set" items are marked again, and a marked item clears the rest of its group.
void TMainForm::MapCommand(QAction* item, MapKind kind) {
    const MarkRule rule = GetMapInfo(kind).mark;
    if (rule == MarkRule::Set)
        item->setChecked(true);
    if (rule != MarkRule::Never && item->isChecked())
        for (MapKind other : RadioGroup)
            if (other != kind)
                MapItem(other)->setChecked(false);
    Label1->setText(item->text());
    Label1->setToolTip(item->text()); // the label may show it cut short
    CurrentMap = kind;
    ShowMap(kind);
    Repaint3D();
}

void TMainForm::MLamClick() {
    // The menu has flipped the mark; the image follows it.
    Image->UseO2Maps = MLam->isChecked();
    Image->Decode();
    ShowMap(CurrentMap);
    Repaint3D();
}

void TMainForm::ShowMap(MapKind kind) {
    const MapInfo& info = GetMapInfo(kind);
    const std::string sep = DecimalSeparator();
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
            SG->SetCell(c + 1, r + 1,
                        QString::fromStdString(FormatMapCell(*Image, kind, r, c, sep)));
        }
    }
    SG->setUpdatesEnabled(true);
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
    Repaint3D();
}

void TMainForm::SGKeyDown(QKeyEvent* event) {
    // Only the numeric keypad's plus and minus step the value; the main keyboard's change
    // nothing. Every key still rewrites the current cell, so an arrow key refreshes it before
    // the grid moves on.
    int delta = 0;
    if (event->modifiers() & Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Plus)
            delta = 1;
        else if (event->key() == Qt::Key_Minus)
            delta = -1;
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
    SG->SetCell(SelCol + 1, SelRow + 1,
                QString::fromStdString(
                    FormatMapCell(*Image, CurrentMap, SelRow, SelCol, DecimalSeparator())));
}
