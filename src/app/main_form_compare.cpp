// Comparison of the image with a reference image: the file or unit memory chosen as the
// reference, the grid's marks and cell switch, the status bar, the differences window and
// taking cells from the reference. The comparison (document/comparison.h) keeps the state and
// the core compares; this file shows.
#include "app/main_form.h"

#include "app/database_choice.h"
#include "app/diff_form.h"
#include "maps/view/map_grid.h"
#include "params/db/param_db.h"
#include "params/parameter_compare.h"
#include "params/parameter_formula.h"
#include "params/view/opt_form_run.h"
#include "ui/decimal_separator.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <memory>

namespace {

// The constants and vectors of the parameter database the constants window uses, so the
// comparison lists them too; nothing when there is no readable database.
std::unique_ptr<ParameterTables> LoadParameterTables(const QString& path) {
    const ParamDatabase::Format format = ParamDatabase::detectFormat(path);
    if (format != ParamDatabase::Format::SQLite && format != ParamDatabase::Format::Jet)
        return nullptr;
    try {
        ParamDatabase db(path);
        auto tables = std::make_unique<ParameterTables>();
        tables->constants = db.constants();
        tables->vectors = db.vectors();
        tables->eval = EvaluateParameterFormula;
        return tables;
    } catch (const std::exception&) {
        // A database that fails while read leaves the comparison of everything else.
        return nullptr;
    }
}

} // namespace

void TMainForm::BuildCompareMenu() {
    auto item = [this](QMenu* menu, QAction* before, const char* name, const QString& text,
                       void (TMainForm::*handler)(), const QKeySequence& keys = {}) {
        auto* a = new QAction(text, menu);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        menu->insertAction(before, a);
        connect(a, &QAction::triggered, this,
                [this, handler] { Guard([&] { (this->*handler)(); }); });
        return a;
    };
    // Between saving and the exit: open, end and list a comparison, and what the cells show.
    QAction* exitSeparator = nullptr;
    for (QAction* a : MFile->actions())
        if (a->objectName() == QLatin1String("N2"))
            exitSeparator = a;
    MFile->insertSeparator(exitSeparator)->setObjectName(QStringLiteral("NCompare"));
    item(MFile, exitSeparator, "MCompare", QStringLiteral("Сравнить с…"), &TMainForm::MCompareClick,
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    MCompareUnit = item(MFile, exitSeparator, "MCompareUnit", QStringLiteral("Сравнить с ЭБУ"),
                        &TMainForm::MCompareUnitClick);
    MDifferences =
        item(MFile, exitSeparator, "MDifferences", QStringLiteral("Различия"),
             &TMainForm::MDifferencesClick, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    MCloseCompare =
        item(MFile, exitSeparator, "MCloseCompare", QStringLiteral("Закрыть сравнение"),
             &TMainForm::MCloseCompareClick, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    QMenu* show = new QMenu(QStringLiteral("Показывать в ячейках"), MFile);
    show->setObjectName(QStringLiteral("MShow"));
    MFile->insertMenu(exitSeparator, show);
    auto* group = new QActionGroup(this);
    auto showItem = [&](const char* name, const QString& text, Comparison::CellShow mode) {
        QAction* a = show->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, mode] { Guard([&] { SetCellShow(mode); }); });
        return a;
    };
    using Show = Comparison::CellShow;
    ShowItems = {showItem("MShowValue", QStringLiteral("Значение"), Show::Value),
                 showItem("MShowReference", QStringLiteral("Эталон"), Show::Reference),
                 showItem("MShowDifference", QStringLiteral("Разность"), Show::Difference)};
    ShowItems[0]->setChecked(true);

    MTakeReference = item(MEdit, nullptr, "MTakeReference", QStringLiteral("Взять из эталона"),
                          &TMainForm::MTakeReferenceClick, QKeySequence(Qt::CTRL | Qt::Key_T));

    connect(Compared.get(), &Comparison::ImageChanged, this,
            [this] { Guard([this] { UpdateComparison(); }); });
    UpdateComparison();
}

void TMainForm::MCompareClick() {
    QString fileName;
    const std::optional<ImageFormat> format = ChooseFile(fileName);
    if (!format)
        return;
    LoadedImage loaded = LoadImageFile(fileName, *format);
    OpenReference(std::move(loaded.image), QFileInfo(fileName).fileName());
    if (!loaded.warning.isEmpty())
        Asks.Warn(this, loaded.warning);
}

void TMainForm::MCompareUnitClick() {
    if (Compared->HasUnitRead())
        OpenReference(Compared->UnitReadImage(), QStringLiteral("ЭБУ (последнее чтение)"));
}

void TMainForm::OpenReference(std::unique_ptr<FirmwareImage> reference, const QString& name) {
    Compared->Open(std::move(reference), name,
                   LoadParameterTables(QFile::decodeName(
                       FindParameterDatabase(ChosenDatabase(), Doc->LoadedFile()).path.c_str())));
    UpdateComparison();
}

void TMainForm::MCloseCompareClick() {
    Compared->Close();
    if (DiffForm)
        DiffForm->close();
    SetCellShow(Comparison::CellShow::Value);
    UpdateComparison();
}

void TMainForm::MDifferencesClick() {
    if (!Compared->IsOpen())
        return;
    if (!DiffForm) {
        DiffForm = new TDiffForm(this);
        connect(DiffForm, &TDiffForm::ShowCell, this, [this](int map, int row, int col) {
            Guard([&] { ShowMapCell(static_cast<MapKind>(map), row, col); });
        });
        connect(DiffForm, &TDiffForm::Take, this, [this](const std::vector<DiffLine>& lines) {
            Guard([&] { TakeFromReference(lines); });
        });
    }
    DiffForm->Fill(Compared->Differences(), GetImage(), *Compared->Reference());
    DiffForm->show();
    DiffForm->raise();
}

void TMainForm::SetCellShow(Comparison::CellShow show) {
    Compared->SetShow(show);
    ShowItems.at(static_cast<std::size_t>(Compared->Show()))->setChecked(true); // the group
    const int col = SG->Col();
    const int row = SG->Row();
    ShowMap(Edit.CurrentMap);
    if (row > 0 && col > 0 && row < SG->RowCount() && col < SG->ColCount()) {
        SG->SetCurrentCell(col, row);
        SelectCellState(col, row);
    }
}

void TMainForm::UpdateComparison() {
    const bool open = Compared->IsOpen();
    Compared->Update();
    for (QAction* a : {MCloseCompare, MDifferences, ShowItems[1], ShowItems[2], MTakeReference})
        a->setEnabled(open);
    MCompareUnit->setEnabled(Compared->HasUnitRead());
    CompareStatus->setVisible(open);
    if (open)
        CompareStatus->setText(QStringLiteral("Эталон: %1, различий: %2")
                                   .arg(Compared->ReferenceName())
                                   .arg(Compared->Differences().Count()));
    MarkDifferences();
    if (Compared->Show() != Comparison::CellShow::Value)
        for (int r = 1; r < SG->RowCount(); ++r)
            for (int c = 1; c < SG->ColCount(); ++c)
                SG->SetCell(c, r, CellText(Edit.CurrentMap, r - 1, c - 1));
    if (DiffForm && open && DiffForm->isVisible())
        DiffForm->Fill(Compared->Differences(), GetImage(), *Compared->Reference());
    ViewPanel->Repaint();
}

void TMainForm::MarkDifferences() {
    const MapDifference* map =
        Compared->IsOpen() ? Compared->Differences().Map(Edit.CurrentMap) : nullptr;
    std::vector<std::pair<int, int>> cells;
    if (map)
        for (const CellDifference& cell : map->cells)
            cells.emplace_back(cell.col + 1, cell.row + 1);
    SG->SetDifferingCells(cells);
}

QString TMainForm::CellText(MapKind kind, int row, int col) const {
    return Compared->CellText(kind, row, col, std::string(1, LocaleDecimalSeparator()));
}

void TMainForm::ShowMapCell(MapKind kind, int row, int col) {
    MapCommand(kind);
    SG->SetCurrentCell(col + 1, row + 1);
    SelectCellState(col + 1, row + 1);
    raise();
    activateWindow();
    SG->setFocus();
}

void TMainForm::TakeFromReference(const std::vector<DiffLine>& lines) {
    if (!Compared->IsOpen() || lines.empty())
        return;
    ApplyEdit(QStringLiteral("Взять из эталона"), [&] { Compared->Take(lines); });
    UpdateComparison();
}

void TMainForm::MTakeReferenceClick() {
    std::vector<DiffLine> lines;
    const MapInfo& info = GetMapInfo(Edit.CurrentMap);
    auto addCell = [&](int row, int col) {
        if (row >= 1 && col >= 1 && row <= info.rows && col <= info.cols)
            lines.push_back({DiffLine::Cell, static_cast<int>(Edit.CurrentMap), row - 1, col - 1});
    };
    const QList<QTableWidgetSelectionRange> ranges = SG->selectedRanges();
    for (const QTableWidgetSelectionRange& r : ranges)
        for (int row = r.topRow(); row <= r.bottomRow(); ++row)
            for (int col = r.leftColumn(); col <= r.rightColumn(); ++col)
                addCell(row, col);
    if (ranges.isEmpty())
        addCell(SG->Row(), SG->Col());
    TakeFromReference(lines);
}
