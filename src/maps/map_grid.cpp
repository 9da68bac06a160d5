#include "maps/map_grid.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <set>
#include <utility>

namespace {

// Paints the top-left corner button of the grid as a header section carrying the corner
// text (the short caption of both axes); the button itself draws no text.
class CornerPainter : public QObject {
public:
    CornerPainter(QAbstractButton* button, const TMapGrid* grid)
        : QObject(button), button_(button), grid_(grid) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::Paint)
            return false;
        QStyleOptionHeader option;
        option.initFrom(button_);
        option.rect = button_->rect();
        option.position = QStyleOptionHeader::OnlyOneSection;
        option.textAlignment = Qt::AlignCenter;
        option.text = grid_->Cell(0, 0);
        QStylePainter painter(button_);
        painter.drawControl(QStyle::CE_Header, option);
        return true;
    }

private:
    QAbstractButton* button_;
    const TMapGrid* grid_;
};

// Paints a data cell on its value's tint when the grid is coloured by value, with the text colour
// that stays readable on it, and, for a cell that differs from the reference, a hatch over it and
// a frame around it: seen without telling colours apart, and the text stays readable.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(TMapGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!index.data(TMapGrid::DiffersRole).toBool())
            return;
        painter->save();
        const QColor mark(200, 40, 40);
        painter->fillRect(option.rect, QBrush(QColor(200, 40, 40, 110), Qt::BDiagPattern));
        painter->setPen(QPen(mark, 2));
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
        painter->restore();
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const CellTint* tint = grid_->TintOf(index.row() - 1, index.column() - 1);
        if (tint == nullptr)
            return;
        option->backgroundBrush =
            QColor(tint->background.r, tint->background.g, tint->background.b);
        option->palette.setColor(QPalette::Text, QColor(tint->text.r, tint->text.g, tint->text.b));
    }

private:
    const TMapGrid* grid_;
};

} // namespace

TMapGrid::TMapGrid(QWidget* parent) : QTableWidget(parent) {
    // Row 0 and column 0 hold the axis labels. They are shown in the grid's own headers,
    // which stay in place while the cells scroll, so the speed and load of every visible
    // cell remain readable; the label cells themselves are hidden.
    horizontalHeader()->setDefaultSectionSize(DefaultColWidth);
    horizontalHeader()->setMinimumSectionSize(8);
    horizontalHeader()->setFixedHeight(DefaultRowHeight);
    horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight);
    verticalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    verticalHeader()->setSectionsClickable(false);
    if (auto* corner = findChild<QAbstractButton*>())
        corner->installEventFilter(new CornerPainter(corner, this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new CellDelegate(this));
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    SetSize(2, 2);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        if (!quiet_ && row > 0 && col > 0)
            emit SelectCell(col, row);
    });
}

void TMapGrid::SetTints(std::vector<CellTint> tints, int dataCols) {
    // A key step usually recolours one cell: repaint only the cells whose colours changed, and
    // the whole table only when its layout of colours is new.
    const bool sameLayout = dataCols == tintCols_ && tints.size() == tints_.size();
    std::swap(tints_, tints);
    tintCols_ = dataCols;
    if (!sameLayout) {
        viewport()->update();
        return;
    }
    for (size_t i = 0; i < tints_.size(); ++i) {
        const CellTint& a = tints_[i];
        const CellTint& b = tints[i];
        if (a.tinted == b.tinted && a.background == b.background && a.text == b.text)
            continue;
        const int row = static_cast<int>(i) / dataCols + 1;
        const int col = static_cast<int>(i) % dataCols + 1;
        viewport()->update(visualRect(model()->index(row, col)));
    }
}

const CellTint* TMapGrid::TintOf(int row, int col) const {
    if (row < 0 || col < 0 || col >= tintCols_)
        return nullptr;
    const size_t at =
        static_cast<size_t>(row) * static_cast<size_t>(tintCols_) + static_cast<size_t>(col);
    if (at >= tints_.size() || !tints_[at].tinted)
        return nullptr;
    return &tints_[at];
}

void TMapGrid::SetSize(int rows, int cols) {
    quiet_ = true;
    setRowCount(rows);
    setColumnCount(cols);
    setRowHidden(0, true);
    setColumnHidden(0, true);
    for (int c = 0; c < cols; ++c)
        setColumnWidth(c, DefaultColWidth);
    for (int r = 0; r < rows; ++r)
        if (!item(r, 0))
            setItem(r, 0, MakeItem(0, r));
    for (int c = 1; c < cols; ++c)
        if (!item(0, c))
            setItem(0, c, MakeItem(c, 0));
    // Header sections show the label cells' texts; new sections start empty, not numbered.
    for (int r = 0; r < rows; ++r)
        setVerticalHeaderItem(r, new QTableWidgetItem(item(r, 0)->text()));
    for (int c = 0; c < cols; ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem(item(0, c) ? item(0, c)->text() : ""));
    quiet_ = false;
}

QTableWidgetItem* TMapGrid::MakeItem(int col, int row) const {
    auto* it = new QTableWidgetItem;
    it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (row == 0 || col == 0) {
        // Not enabled: the view's keyboard navigation and clicks skip the label cells.
        it->setFlags(Qt::NoItemFlags);
    } else {
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    return it;
}

QString TMapGrid::Cell(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TMapGrid::SetCell(int col, int row, const QString& text) {
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = MakeItem(col, row);
        setItem(row, col, it);
    }
    it->setText(text);
    const int need = fontMetrics().horizontalAdvance(text) + 2 * TextMargin;
    if (col == 0) {
        // The row labels' header widens by itself; it must also hold the corner text.
        if (row == 0)
            verticalHeader()->setMinimumWidth(need);
        else if (QTableWidgetItem* label = verticalHeaderItem(row))
            label->setText(text);
        return;
    }
    if (row == 0)
        if (QTableWidgetItem* label = horizontalHeaderItem(col))
            label->setText(text);
    // A column is never narrower than its widest text: a clipped number would be misread.
    if (need > columnWidth(col))
        setColumnWidth(col, need);
}

void TMapGrid::SetDifferingCells(const std::vector<std::pair<int, int>>& cells) {
    // Only the cells whose mark changes are repainted (setData ignores an equal value): a
    // keystroke re-marks a whole table.
    const std::set<std::pair<int, int>> marked(cells.begin(), cells.end());
    for (const auto& cell : differing_)
        if (!marked.count(cell))
            if (QTableWidgetItem* it = item(cell.second, cell.first))
                it->setData(DiffersRole, QVariant());
    for (const auto& [col, row] : cells)
        if (QTableWidgetItem* it = item(row, col))
            it->setData(DiffersRole, true);
    differing_ = cells;
}

bool TMapGrid::CellDiffers(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it && it->data(DiffersRole).toBool();
}

void TMapGrid::SetCurrentCell(int col, int row) {
    quiet_ = true;
    setCurrentCell(row, col);
    quiet_ = false;
    // The view only follows a current cell that changes; one that stays current while the
    // table under it is replaced must be brought into view here.
    if (QTableWidgetItem* it = item(row, col))
        scrollToItem(it);
}

void TMapGrid::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event);
    QTableWidget::keyPressEvent(event);
}
