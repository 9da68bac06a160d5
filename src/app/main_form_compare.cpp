// Comparison of the image with a reference image: the file or unit memory chosen as the
// reference, the grid's marks and cell switch, the status bar, the differences window and
// taking cells from the reference. The core compares (maps/image_compare.h); this file shows.
#include "app/main_form.h"

#include "app/diff_form.h"
#include "maps/cell_edit.h"
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
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <memory>

namespace {

// Compares again once the event loop is back, however many writes an edit made.
class CompareWatcher : public ImageListener {
public:
    CompareWatcher(FirmwareImage& image, TMainForm* form) : image_(image), form_(form) {
        image_.AddListener(this);
    }
    ~CompareWatcher() override { image_.RemoveListener(this); }
    void DataChanged(const ChangeSet&) override { Schedule(); }
    void DataReplaced() override { Schedule(); }

private:
    // The call waiting in the event loop may outlive the watcher (a comparison closed in
    // between): it holds the flag and the window, never the watcher.
    void Schedule() {
        if (*pending_)
            return;
        *pending_ = true;
        QTimer::singleShot(0, form_, [pending = pending_, form = form_] {
            *pending = false;
            form->UpdateComparison();
        });
    }
    FirmwareImage& image_;
    TMainForm* form_;
    std::shared_ptr<bool> pending_ = std::make_shared<bool>(false);
};

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
                       void (TMainForm::*handler)()) {
        auto* a = new QAction(text, menu);
        a->setObjectName(QString::fromLatin1(name));
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
    MCompare = item(MFile, exitSeparator, "MCompare", QStringLiteral("Сравнить с…"),
                    &TMainForm::MCompareClick);
    MCompareUnit = item(MFile, exitSeparator, "MCompareUnit", QStringLiteral("Сравнить с ЭБУ"),
                        &TMainForm::MCompareUnitClick);
    MDifferences = item(MFile, exitSeparator, "MDifferences", QStringLiteral("Различия"),
                        &TMainForm::MDifferencesClick);
    MCloseCompare = item(MFile, exitSeparator, "MCloseCompare", QStringLiteral("Закрыть сравнение"),
                         &TMainForm::MCloseCompareClick);
    QMenu* show = new QMenu(QStringLiteral("Показывать в ячейках"), MFile);
    show->setObjectName(QStringLiteral("MShow"));
    MFile->insertMenu(exitSeparator, show);
    auto* group = new QActionGroup(this);
    auto showItem = [&](const char* name, const QString& text, CellShow mode) {
        QAction* a = show->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, mode] { Guard([&] { SetCellShow(mode); }); });
        return a;
    };
    MShowValue = showItem("MShowValue", QStringLiteral("Значение"), CellShow::Value);
    MShowReference = showItem("MShowReference", QStringLiteral("Эталон"), CellShow::Reference);
    MShowDifference = showItem("MShowDifference", QStringLiteral("Разность"), CellShow::Difference);
    MShowValue->setChecked(true);

    if (!MEdit) {
        MEdit = new QMenu(QStringLiteral("Правка"), this);
        MEdit->setObjectName(QStringLiteral("MEdit"));
        menuBar()->insertMenu(Graph->menuAction(), MEdit);
    }
    MTakeReference = item(MEdit, nullptr, "MTakeReference", QStringLiteral("Взять из эталона"),
                          &TMainForm::MTakeReferenceClick);

    CompareStatus = new QLabel(this);
    CompareStatus->setObjectName(QStringLiteral("CompareStatus"));
    statusBar()->addPermanentWidget(CompareStatus);
    UpdateComparison();
}

void TMainForm::MCompareClick() {
    QString fileName;
    const std::optional<Loader> loader = ChooseFile(fileName);
    if (!loader)
        return;
    QString warning;
    std::unique_ptr<FirmwareImage> reference = LoadFile(fileName, *loader, warning);
    OpenReference(std::move(reference), QFileInfo(fileName).fileName());
    if (!warning.isEmpty())
        Dialogs.Warn(this, warning);
}

void TMainForm::MCompareUnitClick() {
    if (LastUnitRead.size() != FirmwareImage::Size)
        return;
    OpenReference(FirmwareImage::FromBytes(LastUnitRead.data(), Image->UseO2Maps),
                  QStringLiteral("ЭБУ (последнее чтение)"));
}

void TMainForm::OpenReference(std::unique_ptr<FirmwareImage> reference, const QString& name) {
    Reference = std::move(reference); // UpdateComparison gives it the image's map set
    ReferenceName = name;
    CompareTables = LoadParameterTables(
        QFile::decodeName(FindParameterDatabase(ChosenDatabase(), LoadedFile).path.c_str()));
    if (!CompareWatch)
        CompareWatch = std::make_unique<CompareWatcher>(*Image, this);
    UpdateComparison();
}

void TMainForm::MCloseCompareClick() {
    CompareWatch.reset();
    Reference.reset();
    ReferenceName.clear();
    CompareTables.reset();
    Differences = ImageDifferences();
    if (DiffForm)
        DiffForm->close();
    SetCellShow(CellShow::Value);
    UpdateComparison();
}

void TMainForm::MDifferencesClick() {
    if (!Reference)
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
    DiffForm->Fill(Differences, *Image, *Reference);
    DiffForm->show();
    DiffForm->raise();
}

void TMainForm::SetCellShow(CellShow show) {
    Show = Reference ? show : CellShow::Value;
    MShowValue->setChecked(Show == CellShow::Value);
    MShowReference->setChecked(Show == CellShow::Reference);
    MShowDifference->setChecked(Show == CellShow::Difference);
    const int col = SG->Col();
    const int row = SG->Row();
    ShowMap(CurrentMap);
    if (row > 0 && col > 0 && row < SG->RowCount() && col < SG->ColCount()) {
        SG->SetCurrentCell(col, row);
        SelectCellState(col, row);
    }
}

void TMainForm::UpdateComparison() {
    const bool open = Reference != nullptr;
    if (open) {
        // The reference never changes; only a switch of map sets decodes it again.
        if (Reference->UseO2Maps != Image->UseO2Maps) {
            Reference->UseO2Maps = Image->UseO2Maps;
            Reference->Decode();
        }
        Differences = CompareTables
                          ? CompareImages(*Image, *Reference, Image->UseO2Maps, *CompareTables)
                          : CompareImages(*Image, *Reference, Image->UseO2Maps);
    }
    for (QAction* a :
         {MCloseCompare, MDifferences, MShowReference, MShowDifference, MTakeReference})
        a->setEnabled(open);
    MCompareUnit->setEnabled(LastUnitRead.size() == FirmwareImage::Size);
    CompareStatus->setVisible(open);
    if (open)
        CompareStatus->setText(
            QStringLiteral("Эталон: %1, различий: %2").arg(ReferenceName).arg(Differences.Count()));
    MarkDifferences();
    if (Show != CellShow::Value && open)
        for (int r = 1; r < SG->RowCount(); ++r)
            for (int c = 1; c < SG->ColCount(); ++c)
                SG->SetCell(c, r, CellText(CurrentMap, r - 1, c - 1));
    if (DiffForm && open && DiffForm->isVisible())
        DiffForm->Fill(Differences, *Image, *Reference);
    Repaint3D();
}

void TMainForm::MarkDifferences() {
    const MapDifference* map = Reference ? Differences.Map(CurrentMap) : nullptr;
    std::vector<std::pair<int, int>> cells;
    if (map)
        for (const CellDifference& cell : map->cells)
            cells.emplace_back(cell.col + 1, cell.row + 1);
    SG->SetDifferingCells(cells);
}

QString TMainForm::CellText(MapKind kind, int row, int col) const {
    const std::string sep(1, LocaleDecimalSeparator());
    if (!Reference || Show == CellShow::Value)
        return QString::fromStdString(FormatMapCell(*Image, kind, row, col, sep));
    if (Show == CellShow::Reference)
        return QString::fromStdString(FormatMapCell(*Reference, kind, row, col, sep));
    const double difference =
        MapValue(*Image, kind, row, col) - MapValue(*Reference, kind, row, col);
    return QString::fromStdString(FormatMapNumber(difference, GetMapInfo(kind).decimals, sep));
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
    if (!Reference || lines.empty())
        return;
    const FirmwareImage& ref = *Reference;
    ApplyEdit(QStringLiteral("Взять из эталона"), [&] {
        for (const DiffLine& line : lines) {
            switch (line.kind) {
            case DiffLine::Cell:
                TakeBytes(*Image, ref,
                          CellBytes(*Image, static_cast<MapKind>(line.a), line.b, line.c));
                break;
            case DiffLine::Ident: {
                const FirmwareImage::IdentField f = Image->Ident(line.a);
                TakeBytes(*Image, ref,
                          {f.address, static_cast<uint32_t>(f.address + f.length - 1)});
                break;
            }
            case DiffLine::Equipment:
                TakeEquipmentBit(*Image, ref, line.a);
                break;
            case DiffLine::Checksum:
                TakeBytes(*Image, ref, ChecksumBytes());
                break;
            case DiffLine::Parameter:
                if (CompareTables) {
                    ParameterDifference p;
                    p.record = line.a;
                    p.point = line.b;
                    TakeParameter(*Image, ref, *CompareTables, p);
                }
                break;
            case DiffLine::Bytes:
                TakeBytes(*Image, ref,
                          {static_cast<uint32_t>(line.a), static_cast<uint32_t>(line.b)});
                break;
            }
        }
    });
    UpdateComparison();
}

void TMainForm::MTakeReferenceClick() {
    std::vector<DiffLine> lines;
    const MapInfo& info = GetMapInfo(CurrentMap);
    auto addCell = [&](int row, int col) {
        if (row >= 1 && col >= 1 && row <= info.rows && col <= info.cols)
            lines.push_back({DiffLine::Cell, static_cast<int>(CurrentMap), row - 1, col - 1});
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
