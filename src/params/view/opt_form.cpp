#include "params/view/opt_form.h"

#include "image/firmware_image.h"
#include "params/db/param_db.h"
#include "params/parameter_format.h"
#include "params/parameter_load.h"
#include "params/view/my_sg.h"
#include "params/view/opt_form_models.h"
#include "ui/decimal_separator.h"
#include "ui/error_report.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QMessageBox>
#include <QScatterSeries>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <stdexcept>

std::function<bool(QWidget*)> TOptForm::ConfirmDelete = [](QWidget* parent) {
    return QMessageBox::question(parent, QStringLiteral("Velmaris"),
                                 QStringLiteral("Delete record?"),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
};

std::function<bool(QWidget*, const QString&)> TOptForm::ConfirmOutOfLimits =
    [](QWidget* parent, const QString& question) {
        return QMessageBox::question(parent, QStringLiteral("Velmaris"), question,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// True when value lies within the record's Min..Max, or when the user confirms storing it
// anyway: "XX_RPM: значение 5000 вне диапазона 600..1500 об/мин. Записать его?" (a missing
// bound is left empty).
template <typename Record> bool LimitsAccepted(QWidget* parent, const Record& rec, double value) {
    if (WithinLimits(value, rec.Min, rec.Max))
        return true;
    const char sep = LocaleDecimalSeparator();
    const auto shown = [sep](std::optional<double> v) {
        return v ? Q(FormatGeneral(*v, sep)) : QString();
    };
    QString range = shown(rec.Min) + QStringLiteral("..") + shown(rec.Max);
    if (!rec.Unit.empty())
        range += QLatin1Char(' ') + Q(rec.Unit);
    return TOptForm::ConfirmOutOfLimits(
        parent, QStringLiteral("%1: значение %2 вне диапазона %3. Записать его?")
                    .arg(Q(rec.Mark), shown(value), range));
}

QTableView* MakeGrid(QAbstractItemModel* model, const std::vector<int>& widths) {
    auto* grid = new QTableView;
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->verticalHeader()->setFixedWidth(12);
    for (std::size_t c = 0; c < widths.size(); ++c)
        grid->setColumnWidth(static_cast<int>(c), widths[c]);
    return grid;
}

// Hands a Result cell's text to the model only when the user changed it in the editor.
// Opening the editor and leaving it untouched is no entry: encoding the shown value, which is
// rounded to Decimal places, could change the bytes it was decoded from.
class ResultDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && !line->isModified())
            return;
        QStyledItemDelegate::setModelData(editor, model, index);
    }
};

// Widens columns whose texts need more than the layout's width; never narrows them.
void FitColumns(QTableView* grid, const std::vector<int>& widths) {
    for (std::size_t c = 0; c < widths.size(); ++c) {
        const int col = static_cast<int>(c);
        grid->resizeColumnToContents(col);
        if (grid->columnWidth(col) < widths[c])
            grid->setColumnWidth(col, widths[c]);
    }
}

// The point grid has no scroll bars: it is exactly as high as its three rows.
void FitHeight(TMySG* grid) {
    int height = 2 * grid->frameWidth();
    for (int r = 0; r < grid->rowCount(); ++r)
        height += grid->rowHeight(r);
    grid->setFixedHeight(height);
}

} // namespace

TOptForm::TOptForm(FirmwareImage& image, FormulaEvaluator eval, const QString& dbPath,
                   QWidget* parent)
    : QDialog(parent), image_(image), eval_(std::move(eval)), dbPath_(dbPath) {
    setWindowTitle(QStringLiteral("Velmaris"));
    setWindowState(Qt::WindowMaximized);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setModal(true);
    BuildComponents();
    SG1->SetCell(0, 0, QStringLiteral("№ п/п"));
    SG1->SetCell(0, 1, QStringLiteral("Аргумент"));
    SG1->SetCell(0, 2, QStringLiteral("Значение"));
    FitHeight(SG1);
    OpenDatabaseAndDecode();
    FitColumns(DBGrid1, {50, 500, 60, 50});
    FitColumns(DBGrid2, {50, 500, 51});
    FitColumns(DBGrid3, {600, 50});
    // Maximised as it opens; its normal size (where the window manager leaves it, and after
    // un-maximising) still shows the constants' name, value and unit columns whole.
    int tableWidth = 2 * DBGrid1->frameWidth() + DBGrid1->verticalHeader()->sizeHint().width() +
                     DBGrid1->verticalScrollBar()->sizeHint().width() + 24;
    for (int c = 0; c < DBGrid1->model()->columnCount(); ++c)
        tableWidth += DBGrid1->columnWidth(c);
    resize(std::max(width(), tableWidth), std::max(height(), 520));
    if (!loadProblems_.isEmpty())
        QTimer::singleShot(0, this, [this] { ShowProblems(); });
}

TOptForm::~TOptForm() = default;

bool TOptForm::ReadOnlyStore() const {
    return db_ && db_->readOnly();
}

void TOptForm::BuildComponents() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget;
    PageControl1->setDocumentMode(true);
    layout->addWidget(PageControl1, 1);
    StatusLine = new QLabel;
    StatusLine->setWordWrap(true);
    StatusLine->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(StatusLine);

    // Constants.
    constModel_ = new ConstTableModel(constants_, this);
    constModel_->onResultEntered = [this](int row, const QString& text) {
        return ResultEntered(row, text);
    };
    DBGrid1 = MakeGrid(constModel_, {50, 500, 60, 50});
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setItemDelegate(new ResultDelegate(DBGrid1));
    DBGrid1->installEventFilter(this);
    PageControl1->addTab(DBGrid1, QStringLiteral("Константы"));

    // Vectors: the list, the point grid and the chart.
    vectorModel_ = new TextTableModel(
        {QStringLiteral("Обозн."), QStringLiteral("Наименование"), QStringLiteral("Ед.изм.")},
        {Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignHCenter}, this);
    DBGrid2 = MakeGrid(vectorModel_, {50, 500, 51});
    DBGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid2->installEventFilter(this);
    connect(DBGrid2->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != currentVector_)
                    RunGuarded(this, [&] { TableVectorAfterScroll(current.row()); });
            });

    SG1 = new TMySG;
    SG1->SetDefaultSizes(30, 20);
    SG1->SetColCount(1);
    SG1->SetRowCount(3);
    SG1->SetFixed(1, 2);
    SG1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SG1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(SG1, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        RunGuarded(this, [&] { SG1SelectCell(col, row); });
    });
    // An entry is committed when its edit finishes (Enter, Tab, or leaving the cell).
    // The cell shows the value rounded, so typing that same text is an entry as well.
    connect(SG1, &TMySG::entryCommitted, this, [this](int col, int row, const QString& text) {
        if (row == 2 && col >= 1)
            RunGuarded(this, [&] { CommitPointText(col, text); });
    });

    Chart1 = new QChart;
    Chart1->legend()->hide();
    // Axis numbers take the locale's decimal separator and no digit grouping, like the grids
    // of the window.
    QLocale chartLocale;
    chartLocale.setNumberOptions(chartLocale.numberOptions() | QLocale::OmitGroupSeparator);
    Chart1->setLocale(chartLocale);
    Chart1->setLocalizeNumbers(true);
    Chart1->setTitleBrush(QBrush(Qt::blue));
    Chart1->setTitleFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    Series1 = new QLineSeries;
    Series1->setColor(Qt::red);
    Series1->setPointsVisible(true);
    Series1->setMarkerSize(3);
    Series2 = new QScatterSeries;
    Series2->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    Series2->setMarkerSize(7);
    Series2->setColor(QColor(0, 255, 0));
    Series2->setBorderColor(QColor(0, 255, 0));
    Chart1->addSeries(Series1);
    Chart1->addSeries(Series2);
    auto* axisX = new QCategoryAxis;
    axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axisX->setLabelsAngle(-90); // upright labels fit under closely spaced points
    axisX->setTruncateLabels(false);
    auto* axisY = new QValueAxis;
    Chart1->addAxis(axisX, Qt::AlignBottom);
    Chart1->addAxis(axisY, Qt::AlignLeft);
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(Series1), static_cast<QAbstractSeries*>(Series2)}) {
        s->attachAxis(axisX);
        s->attachAxis(axisY);
    }
    ChartView = new QChartView(Chart1);
    ChartView->setRenderHint(QPainter::Antialiasing);
    Label1 = new QLabel(ChartView);
    Label1->move(24, 8);

    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(SG1);
    lowerLayout->addWidget(ChartView, 1);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(DBGrid2);
    splitter->addWidget(lower);
    splitter->setSizes({161, 600});
    splitter->setStretchFactor(1, 1);
    PageControl1->addTab(splitter, QStringLiteral("Вектора"));

    // Addresses, shown as stored.
    addressModel_ = new TextTableModel({QStringLiteral("Наименование"), QStringLiteral("Значение")},
                                       {Qt::AlignLeft, Qt::AlignRight}, this);
    DBGrid3 = MakeGrid(addressModel_, {600, 50});
    DBGrid3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PageControl1->addTab(DBGrid3, QStringLiteral("Адреса"));
    PageControl1->setCurrentIndex(0);
}

void TOptForm::OpenDatabaseAndDecode() {
    opening_ = true;
    db_ = std::make_unique<ParamDatabase>(dbPath_);
    loadProblems_ << db_->problems();
    try {
        constants_ = db_->constants();
        vectors_ = db_->vectors();
        addresses_ = db_->addresses();
    } catch (const std::exception& e) {
        loadProblems_ << QString::fromUtf8(e.what());
    }
    std::vector<QStringList> vectorRows;
    for (const VectorRecord& v : vectors_)
        vectorRows.push_back({Q(v.Mark), Q(v.Name), Q(v.Unit)});
    vectorModel_->setRows(std::move(vectorRows));
    std::vector<QStringList> addressRows;
    for (const AddressRecord& a : addresses_)
        addressRows.push_back({Q(a.Name), Q(a.Val)});
    addressModel_->setRows(std::move(addressRows));

    const ParameterLoad load = LoadParameters(image_, constants_, vectors_, eval_);

    // Showing table2 starts with its first record.
    if (!vectors_.empty()) {
        try {
            TableVectorAfterScroll(0);
        } catch (const std::exception&) {
            // An error in its formulas is already among the problems of the load.
        }
        DBGrid2->setCurrentIndex(vectorModel_->index(0, 0));
    }

    // Each decoded Result is shown and stored; the first failure of the store ends the storing.
    QString storeError;
    db_->begin();
    for (std::size_t i = 0; i < constants_.size(); ++i) {
        if (!load.Results[i])
            continue;
        constants_[i].Result = load.Results[i];
        if (!storeError.isEmpty())
            continue;
        try {
            db_->storeResult(constants_[i].RowKey, load.Results[i]);
        } catch (const std::exception& e) {
            storeError = QString::fromUtf8(e.what());
        }
    }
    try {
        db_->commit();
    } catch (const std::exception& e) {
        if (storeError.isEmpty())
            storeError = QString::fromUtf8(e.what());
    }
    constModel_->reload();
    if (!storeError.isEmpty())
        loadProblems_ << storeError;
    for (const std::string& problem : load.Problems)
        loadProblems_ << Q(problem);
    opening_ = false;

    QStringList status;
    status << QStringLiteral("База параметров: %1.").arg(QDir::toNativeSeparators(dbPath_));
    if (db_->format() == ParamDatabase::Format::Jet)
        status << QStringLiteral("База данных %1 (формат Jet) открыта только для чтения: "
                                 "значения не сохраняются в базе данных.")
                      .arg(dbPath_);
    else if (db_->readOnly())
        status << QStringLiteral("Файл базы данных %1 защищён от записи: значения не "
                                 "сохраняются в базе данных.")
                      .arg(dbPath_);
    if (!loadProblems_.isEmpty())
        status << QStringLiteral("При открытии есть ошибки (%1).").arg(loadProblems_.size());
    baseStatus_ = status.join(QLatin1Char(' '));
    SetVectorStatus(vectorStatus_);
}

void TOptForm::AddStatusNote(const QString& note) {
    statusNotes_ << note;
    SetVectorStatus(vectorStatus_);
}

void TOptForm::SetVectorStatus(const QString& text) {
    vectorStatus_ = text;
    QString line = baseStatus_;
    for (const QString& note : statusNotes_)
        line += QStringLiteral(" ") + note;
    if (!text.isEmpty())
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + text;
    StatusLine->setText(line);
    StatusLine->setVisible(!line.isEmpty());
}

void TOptForm::ShowProblems() {
    ShowErrorMessage(this, loadProblems_.join(QStringLiteral("\n\n")));
}

bool TOptForm::ResultEntered(int row, const QString& text) {
    std::optional<double> value;
    if (!text.trimmed().isEmpty()) {
        value = ParseDecimal(text.toStdString(), LocaleDecimalSeparator());
        if (!value) {
            ShowErrorMessage(
                this, QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                          .arg(text, QStringLiteral("Значение")));
            return false;
        }
    }
    RunGuarded(this, [&] { TableConstResultChange(row, value); });
    return true;
}

void TOptForm::TableConstResultChange(int row, std::optional<double> value) {
    if (row < 0 || row >= static_cast<int>(constants_.size()))
        return;
    ConstantRecord& rec = constants_[static_cast<std::size_t>(row)];
    // A cleared value is encoded as 0. The entry is used as typed, not rounded. An entry that
    // cannot be encoded, or one outside Min..Max that the user does not confirm, changes
    // nothing: the cell goes on showing the stored value.
    const double entered = value.value_or(0.0);
    const int64_t raw = EncodeConstantRaw(rec, entered, eval_);
    if (!LimitsAccepted(this, rec, entered))
        return;
    Edit("Константа " + rec.Name, [&] { WriteConstantRaw(image_, rec.Address, rec.Type, raw); });
    // The cell shows what the unit gets: the value decoded from the bytes just written.
    std::string error;
    try {
        rec.Result = DecodeConstant(image_, rec, eval_);
    } catch (const std::exception& e) {
        rec.Result = value;
        error = e.what();
    }
    constModel_->rowChanged(row);
    try {
        db_->storeResult(rec.RowKey, rec.Result);
    } catch (const std::exception& e) {
        if (error.empty())
            error = e.what();
    }
    if (!error.empty())
        throw std::runtime_error(error);
}

void TOptForm::TableVectorAfterScroll(int row) {
    currentVector_ = row;
    LoadVector();
    if (shownPoints_ > 0) {
        const QSignalBlocker block(SG1);
        SG1->setCurrentCell(2, 1);
    }
    SelectedPoint = 0;
}

void TOptForm::LoadVector() {
    SelectedPoint = 0;
    shownPoints_ = 0;
    Series1->clear();
    Series2->clear();
    Chart1->setTitle(QString());
    Label1->clear();
    SG1->SetColCount(1);
    if (currentVector_ < 0 || currentVector_ >= static_cast<int>(vectors_.size()))
        return;
    const VectorRecord& rec = vectors_[static_cast<std::size_t>(currentVector_)];
    if (auto problem = VectorProblem(rec)) {
        SetVectorStatus(QStringLiteral("Вектор не показан: ") + Q(rec.Mark + ": " + *problem));
        return;
    }
    SetVectorStatus(QString());
    VectorPoints points;
    ::LoadVector(image_, rec, eval_, points);
    std::copy(points.ArgValues, points.ArgValues + MaxVectorPoints, ArgValues);
    std::copy(points.ParValues, points.ParValues + MaxVectorPoints, ParValues);
    const char sep = LocaleDecimalSeparator();
    SG1->BeginUpdate();
    SG1->SetColCount(points.filled + 1);
    for (int i = 0; i < points.filled; ++i) {
        SG1->SetCell(i + 1, 0, QString::number(i + 1));
        SG1->SetCell(i + 1, 1, Q(FormatFixed(ArgValues[i], rec.DecimalArg, sep)));
        SG1->SetCell(i + 1, 2, Q(FormatFixed(ParValues[i], rec.DecimalPar, sep)));
    }
    SG1->EndUpdate();
    FitHeight(SG1);
    shownPoints_ = points.filled;
    if (!points.error.empty())
        throw std::runtime_error(points.error); // the chart is not redrawn
    DrawVectorChart();
}

void TOptForm::DrawVectorChart() {
    if (currentVector_ < 0 || currentVector_ >= static_cast<int>(vectors_.size()))
        return;
    const VectorRecord& rec = vectors_[static_cast<std::size_t>(currentVector_)];
    Chart1->setTitle(Q(rec.Name));
    Label1->setText(Q(rec.Unit));
    Label1->adjustSize();

    auto* axisX = static_cast<QCategoryAxis*>(Chart1->axes(Qt::Horizontal).first());
    auto* axisY = static_cast<QValueAxis*>(Chart1->axes(Qt::Vertical).first());
    for (const QString& label : axisX->categoriesLabels())
        axisX->remove(label);
    axisX->setStartValue(-1);
    QList<QPointF> points;
    double low = 0;
    double high = 0;
    bool any = false;
    const char sep = LocaleDecimalSeparator();
    QHash<QString, int> seen;
    for (int i = 0; i < shownPoints_; ++i) {
        // The argument of each point is written under it. The axis needs distinct labels, so a
        // repeated one gets invisible zero-width spaces.
        QString label = Q(FormatGeneral(ArgValues[i], sep));
        const int repeat = seen.value(label, 0);
        seen[label] = repeat + 1;
        label += QString(repeat, QChar(0x200B));
        axisX->append(label, i);
        if (!std::isfinite(ParValues[i]))
            continue; // nothing to plot for INF or NAN
        points.append(QPointF(i, ParValues[i]));
        low = any ? std::min(low, ParValues[i]) : ParValues[i];
        high = any ? std::max(high, ParValues[i]) : ParValues[i];
        any = true;
    }
    axisX->setRange(0, rec.Count);
    const double pad = high > low ? (high - low) * 0.05 : 1.0;
    axisY->setRange(low - pad, high + pad);
    Series1->replace(points);
    Series2->clear();
    if (SelectedPoint >= 0 && SelectedPoint < shownPoints_ &&
        std::isfinite(ParValues[SelectedPoint]))
        Series2->append(SelectedPoint, ParValues[SelectedPoint]);
}

void TOptForm::SG1SelectCell(int col, int row) {
    (void)row;
    if (col < 1 || col > shownPoints_)
        return;
    SelectedPoint = col - 1;
    DrawVectorChart();
}

void TOptForm::CommitPointText(int col, const QString& text) {
    const int point = col - 1;
    if (point < 0 || point >= shownPoints_ || currentVector_ < 0)
        return;
    const VectorRecord& rec = vectors_[static_cast<std::size_t>(currentVector_)];
    // An entry that is not used leaves the point its value, and the cell shows it again.
    const auto showPoint = [&] {
        SG1->SetCell(col, 2,
                     Q(FormatFixed(ParValues[point], rec.DecimalPar, LocaleDecimalSeparator())));
    };
    const auto value = ParseDecimal(text.toStdString(), LocaleDecimalSeparator());
    if (!value) {
        showPoint();
        throw std::runtime_error(
            QStringLiteral("'%1' is not a valid floating point value").arg(text).toStdString());
    }
    int64_t raw = 0;
    try {
        raw = EncodeVectorPointRaw(rec, point, *value, eval_);
    } catch (const std::exception&) {
        showPoint();
        throw;
    }
    if (!LimitsAccepted(this, rec, *value)) {
        showPoint();
        return;
    }
    Edit("Вектор " + rec.Name + ", точка " + std::to_string(point + 1),
         [&] { WriteVectorValueRaw(image_, rec.AddressPar, rec.TypePar, point, raw); });
    // The cell and the chart show what the unit gets: the value decoded from the stored bytes.
    try {
        ParValues[point] = DecodeVectorPoint(image_, rec, point, eval_);
    } catch (const std::exception&) {
        ParValues[point] = *value;
        throw;
    }
    showPoint();
    DrawVectorChart();
}

void TOptForm::DeleteCurrentRecord(int table) {
    QTableView* grid = table == 0 ? DBGrid1 : DBGrid2;
    const int row = grid->currentIndex().row();
    if (!db_ || row < 0)
        return;
    db_->checkWritable(); // refused before the question, which would promise a deletion
    if (table == 0 && row < static_cast<int>(constants_.size())) {
        if (!ConfirmDelete(this))
            return;
        db_->deleteRecord(ParamDatabase::Constants,
                          constants_[static_cast<std::size_t>(row)].RowKey);
        constants_.erase(constants_.begin() + row);
        constModel_->reload();
    } else if (table == 1 && row < static_cast<int>(vectors_.size())) {
        if (!ConfirmDelete(this))
            return;
        db_->deleteRecord(ParamDatabase::Vectors, vectors_[static_cast<std::size_t>(row)].RowKey);
        vectors_.erase(vectors_.begin() + row);
        std::vector<QStringList> rows;
        for (const VectorRecord& v : vectors_)
            rows.push_back({Q(v.Mark), Q(v.Name), Q(v.Unit)});
        currentVector_ = -1;
        vectorModel_->setRows(std::move(rows));
        const int next = std::min(row, static_cast<int>(vectors_.size()) - 1);
        if (next >= 0)
            DBGrid2->setCurrentIndex(vectorModel_->index(next, 0));
        else
            LoadVector();
    }
}

bool TOptForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == DBGrid1 || watched == DBGrid2)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier)) {
            const int table = watched == DBGrid1 ? 0 : 1;
            RunGuarded(this, [&] { DeleteCurrentRecord(table); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
