#include "maps/view/map_grid.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <iterator>
#include <set>
#include <utility>

namespace {

// Enough for every text of a few tables; past it the widths are measured afresh.
constexpr qsizetype MaxRememberedWidths = 8192;

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
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setItemDelegate(new CellDelegate(this));
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    SetSize(2, 2);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        extent_ = QPoint(col, row);
        CloseEditor();
        if (!quiet_ && row > 0 && col > 0)
            emit SelectCell(col, row);
    });
    editor_ = new QLineEdit(viewport());
    editor_->setObjectName(QStringLiteral("CellEditor"));
    editor_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    editor_->hide();
    editor_->installEventFilter(this);
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
    const int need = TextWidth(text) + 2 * TextMargin;
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
    // Only the cells whose mark changes are touched and repainted: a keystroke re-marks a whole
    // table, and usually one mark at most changes.
    std::vector<std::pair<int, int>> now(cells);
    std::sort(now.begin(), now.end());
    std::vector<std::pair<int, int>> gone;
    std::set_difference(differing_.begin(), differing_.end(), now.begin(), now.end(),
                        std::back_inserter(gone));
    for (const auto& [col, row] : gone)
        if (QTableWidgetItem* it = item(row, col))
            it->setData(DiffersRole, QVariant());
    // Asked of the item itself: an item made anew since (another table) has no mark yet.
    for (const auto& [col, row] : now)
        if (QTableWidgetItem* it = item(row, col); it && !it->data(DiffersRole).toBool())
            it->setData(DiffersRole, true);
    differing_ = std::move(now);
}

bool TMapGrid::CellDiffers(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it && it->data(DiffersRole).toBool();
}

const QColor TMapGrid::MarkTint(255, 221, 153);

int TMapGrid::TextWidth(const QString& text) {
    const auto known = widths_.constFind(text);
    if (known != widths_.constEnd())
        return *known;
    if (widths_.size() >= MaxRememberedWidths)
        widths_.clear();
    // Measured in bold: a changed cell is drawn bold, and marking it must not widen its column
    // (the last column would be pushed out of sight).
    QFont bold = font();
    bold.setBold(true);
    const int width = QFontMetrics(bold).horizontalAdvance(text);
    widths_.insert(text, width);
    return width;
}

void TMapGrid::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        widths_.clear();
    QTableWidget::changeEvent(event);
}

void TMapGrid::SetCellMarked(int col, int row, bool marked) {
    QTableWidgetItem* it = item(row, col);
    if (!it || col == 0 || row == 0 || CellMarked(col, row) == marked)
        return;
    QFont f = font();
    f.setBold(marked);
    it->setFont(f);
    it->setBackground(marked ? QBrush(MarkTint) : QBrush());
    const int need = QFontMetrics(f).horizontalAdvance(it->text()) + 2 * TextMargin;
    if (need > columnWidth(col))
        setColumnWidth(col, need);
}

bool TMapGrid::CellMarked(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it && it->background().style() != Qt::NoBrush;
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

bool TMapGrid::IsDataCell(int col, int row) const {
    return col > 0 && row > 0 && col < columnCount() && row < rowCount();
}

QRect TMapGrid::SelectedCells() const {
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    QRect rect;
    for (const QTableWidgetSelectionRange& r : ranges)
        rect |= QRect(QPoint(r.leftColumn(), r.topRow()), QPoint(r.rightColumn(), r.bottomRow()));
    if (rect.isEmpty())
        rect = QRect(Col(), Row(), 1, 1);
    return rect.intersected(QRect(1, 1, columnCount() - 1, rowCount() - 1));
}

void TMapGrid::SelectCells(int col1, int row1, int col2, int row2) {
    QItemSelection selection(model()->index(std::min(row1, row2), std::min(col1, col2)),
                             model()->index(std::max(row1, row2), std::max(col1, col2)));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TMapGrid::ExtendTo(int col, int row) {
    if (!IsDataCell(col, row))
        return;
    extent_ = QPoint(col, row);
    SelectCells(Col(), Row(), col, row);
    if (QTableWidgetItem* it = item(row, col))
        scrollToItem(it);
}

void TMapGrid::StartEditing(const QString& text, bool typed) {
    QTableWidgetItem* it = item(Row(), Col());
    if (!it || !IsDataCell(Col(), Row()))
        return;
    // Wider than a narrow column, so a typed number stays readable.
    QRect place = visualItemRect(it);
    place.setWidth(std::max(place.width(), 3 * DefaultColWidth));
    editor_->setGeometry(place);
    editor_->setText(text);
    editor_->show();
    editor_->setFocus();
    // Opened on the cell's own value (F2, Enter), the value is selected so that what is typed
    // replaces it; the minus key typed there is a sign, so a negative value needs no mouse.
    if (!typed)
        editor_->selectAll();
}

bool TMapGrid::Editing() const {
    return editor_->isVisible();
}

void TMapGrid::CloseEditor() {
    if (!editor_ || !editor_->isVisible())
        return;
    // Focus first: hiding the focused editor would pass focus on like Tab, and the grid takes
    // that as a move of the current cell to the right.
    setFocus();
    editor_->hide();
}

bool TMapGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            CloseEditor();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const QString text = editor_->text();
            CloseEditor();
            emit ValueEntered(text);
            return true;
        }
    }
    if (watched == editor_ && event->type() == QEvent::FocusOut)
        editor_->hide(); // leaving the editor drops what was typed
    return QTableWidget::eventFilter(watched, event);
}

void TMapGrid::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool arrow =
        key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    if (arrow && mods == Qt::ShiftModifier) {
        emit KeyDown(event);
        ExtendTo(extent_.x() + (key == Qt::Key_Right) - (key == Qt::Key_Left),
                 extent_.y() + (key == Qt::Key_Down) - (key == Qt::Key_Up));
        return;
    }
    if (key == Qt::Key_A && mods == Qt::ControlModifier) {
        SelectCells(1, 1, columnCount() - 1, rowCount() - 1);
        extent_ = QPoint(columnCount() - 1, rowCount() - 1);
        return;
    }
    // Ctrl+Up and Ctrl+Down step the value (the window decides); they must not move the cell.
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && mods == Qt::ControlModifier) {
        emit KeyDown(event);
        return;
    }
    const QString text = event->text();
    const bool typing = mods == Qt::NoModifier && text.size() == 1 &&
                        (text[0].isDigit() || text[0] == '.' || text[0] == ',');
    if (key == Qt::Key_F2 || key == Qt::Key_Return || key == Qt::Key_Enter || typing) {
        emit KeyDown(event);
        StartEditing(typing ? text : Cell(Col(), Row()), typing);
        return;
    }
    emit KeyDown(event);
    QTableWidget::keyPressEvent(event);
}

void TMapGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    // A right click inside the selection keeps it for the context menu.
    if (event->button() == Qt::RightButton && index.isValid() &&
        SelectedCells().contains(index.column(), index.row()))
        return;
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier) &&
        index.isValid()) {
        ExtendTo(index.column(), index.row());
        return;
    }
    QTableWidget::mousePressEvent(event);
    extent_ = QPoint(Col(), Row());
}

void TMapGrid::mouseMoveEvent(QMouseEvent* event) {
    // A drag selects from the current cell to the cell under the mouse; the current cell stays.
    if (event->buttons() & Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid() && QPoint(index.column(), index.row()) != extent_)
            ExtendTo(index.column(), index.row());
        return;
    }
    QTableWidget::mouseMoveEvent(event);
}
