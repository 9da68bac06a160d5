#include "params/view/my_sg.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <vector>

namespace {

// Draws every cell through the grid and tracks the typed text for sizing.
class MySGDelegate : public QStyledItemDelegate {
public:
    explicit MySGDelegate(TMySG* grid) : QStyledItemDelegate(grid), grid_(grid) {
        // An edit that ends, also by Escape, no longer counts for the sizes.
        connect(this, &QAbstractItemDelegate::closeEditor, grid, [grid] { grid->EditorClosed(); });
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        grid_->PaintCell(painter, index.column(), index.row(), option.rect);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setAlignment(Qt::AlignCenter);
            const int col = index.column();
            const int row = index.row();
            TMySG* grid = grid_;
            QObject::connect(
                line, &QLineEdit::textEdited, grid,
                [grid, col, row](const QString& t) { grid->EditorTextChanged(col, row, t); });
        }
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        // Asked before the model is set: the view puts the new text back into the editor,
        // which clears the flag.
        auto* line = qobject_cast<QLineEdit*>(editor);
        const bool typed = line && line->isModified();
        const QString text = line ? line->text() : QString();
        QStyledItemDelegate::setModelData(editor, model, index);
        // The item reports a change only when its text differs; an entry the user typed counts
        // even when it equals the text shown before.
        if (typed)
            grid_->EditorCommitted(index.column(), index.row(), text);
    }

private:
    TMySG* grid_;
};

} // namespace

TMySG::TMySG(QWidget* parent) : QTableWidget(parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    setItemDelegate(new MySGDelegate(this));
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    SetDefaultSizes(defaultColWidth_, defaultRowHeight_);
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem*) {
        editCol_ = editRow_ = -1;
        SetSizeCells();
    });
}

QColor TMySG::FixedColor() const {
    return palette().color(QPalette::Button);
}

void TMySG::SetFixed(int cols, int rows) {
    fixedCols_ = std::max(0, cols);
    fixedRows_ = std::max(0, rows);
    for (int c = 0; c < columnCount(); ++c)
        for (int r = 0; r < rowCount(); ++r)
            UpdateFlags(c, r);
    viewport()->update();
}

void TMySG::SetDefaultSizes(int colWidth, int rowHeight) {
    defaultColWidth_ = colWidth;
    defaultRowHeight_ = rowHeight;
    horizontalHeader()->setDefaultSectionSize(colWidth);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    SetSizeCells();
}

void TMySG::SetHighlightRow(int row) {
    highlightRow_ = row;
    viewport()->update();
}

void TMySG::SetColCount(int count) {
    const int old = columnCount();
    setColumnCount(std::max(0, count));
    for (int c = old; c < columnCount(); ++c)
        for (int r = 0; r < rowCount(); ++r)
            UpdateFlags(c, r);
    SetSizeCells();
}

void TMySG::SetRowCount(int count) {
    const int old = rowCount();
    setRowCount(std::max(0, count));
    for (int c = 0; c < columnCount(); ++c)
        for (int r = old; r < rowCount(); ++r)
            UpdateFlags(c, r);
    SetSizeCells();
}

QTableWidgetItem* TMySG::ItemAt(int col, int row) {
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row, col, it);
        UpdateFlags(col, row);
    }
    return it;
}

void TMySG::UpdateFlags(int col, int row) {
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        const QSignalBlocker block(this);
        setItem(row, col, it);
    }
    // Fixed cells can be neither selected nor edited; keyboard moves skip them.
    const Qt::ItemFlags flags =
        IsFixedCell(col, row) ? Qt::NoItemFlags
                              : (Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    if (it->flags() != flags) {
        const QSignalBlocker block(this);
        it->setFlags(flags);
    }
}

QString TMySG::Cell(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TMySG::SetCell(int col, int row, const QString& text) {
    if (col < 0 || row < 0 || col >= columnCount() || row >= rowCount())
        return;
    QTableWidgetItem* it = ItemAt(col, row);
    {
        const QSignalBlocker block(this);
        it->setText(text);
    }
    if (updating_ == 0) {
        SetSizeCells();
        viewport()->update();
    }
}

void TMySG::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0) {
        SetSizeCells();
        viewport()->update();
    }
}

QSize TMySG::CellSizeFor(const QString& text) const {
    const QRect r = fontMetrics().boundingRect(QRect(), TextFormat | Qt::TextSingleLine, text);
    return {r.width() + 10, r.height() + 4};
}

void TMySG::SetSizeCells() {
    if (updating_ > 0)
        return;
    std::vector<int> widths(static_cast<std::size_t>(columnCount()), defaultColWidth_);
    std::vector<int> heights(static_cast<std::size_t>(rowCount()), defaultRowHeight_);
    for (int c = 0; c < columnCount(); ++c)
        for (int r = 0; r < rowCount(); ++r) {
            const QString text = (c == editCol_ && r == editRow_) ? editText_ : Cell(c, r);
            if (text.isEmpty())
                continue;
            const QSize need = CellSizeFor(text);
            auto& w = widths[static_cast<std::size_t>(c)];
            auto& h = heights[static_cast<std::size_t>(r)];
            w = std::max(w, need.width());
            h = std::max(h, need.height());
        }
    for (int c = 0; c < columnCount(); ++c)
        if (columnWidth(c) != widths[static_cast<std::size_t>(c)])
            setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    for (int r = 0; r < rowCount(); ++r)
        if (rowHeight(r) != heights[static_cast<std::size_t>(r)])
            setRowHeight(r, heights[static_cast<std::size_t>(r)]);
}

void TMySG::EditorTextChanged(int col, int row, const QString& text) {
    editCol_ = col;
    editRow_ = row;
    editText_ = text;
    SetSizeCells();
    emit editTextSet(col, row, text);
}

void TMySG::EditorCommitted(int col, int row, const QString& text) {
    emit entryCommitted(col, row, text);
}

void TMySG::EditorClosed() {
    editCol_ = editRow_ = -1;
    editText_.clear();
    SetSizeCells();
}

void TMySG::PaintCell(QPainter* painter, int col, int row, const QRect& rect) const {
    if (OnDrawCell) {
        OnDrawCell(painter, col, row, rect);
        return;
    }
    QColor background = Qt::white;
    QColor foreground = Qt::black;
    if (IsFixedCell(col, row))
        background = FixedColor();
    else if (row == highlightRow_) {
        background = HighlightColor;
        foreground = HighlightFontColor;
    }
    painter->save();
    painter->fillRect(rect, background);
    const QString text = Cell(col, row);
    if (!text.isEmpty()) {
        painter->setPen(foreground);
        painter->setFont(font());
        painter->drawText(rect.adjusted(5, 2, -5, -2), TextFormat | Qt::TextSingleLine, text);
    }
    // Cell lines and the mark of the current cell.
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    if (!IsFixedCell(col, row) && currentRow() == row && currentColumn() == col && hasFocus()) {
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->drawRect(rect.adjusted(1, 1, -2, -2));
    }
    painter->restore();
}

void TMySG::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (event->button() == Qt::RightButton && index.isValid() && index.row() < fixedRows_ &&
        (mods & (Qt::ControlModifier | Qt::ShiftModifier))) {
        if (mods & Qt::ControlModifier)
            SortDirection = 1;
        if (mods & Qt::ShiftModifier)
            SortDirection = -1; // Shift wins when both are held
        Sort(index.column(), SortDirection);
    }
    QTableWidget::mouseReleaseEvent(event);
}

void TMySG::Sort(int col, int direction) {
    if (direction == 0 || fixedRows_ == 0 || fixedRows_ >= rowCount() || col < 0 ||
        col >= columnCount())
        return;
    struct TMySGData {
        int row;
        QString text;
    };
    std::vector<TMySGData> data;
    for (int r = fixedRows_; r < rowCount(); ++r)
        data.push_back({r, Cell(col, r)});
    std::stable_sort(data.begin(), data.end(), [direction](const TMySGData& a, const TMySGData& b) {
        const int cmp = QString::localeAwareCompare(a.text, b.text);
        return direction == 1 ? cmp < 0 : cmp > 0;
    });
    // Bring each row to its place in turn; `order` tracks where the original rows are now.
    std::vector<int> order;
    for (int r = fixedRows_; r < rowCount(); ++r)
        order.push_back(r);
    for (std::size_t j = 0; j < data.size(); ++j) {
        const auto k = static_cast<std::size_t>(std::find(order.begin(), order.end(), data[j].row) -
                                                order.begin());
        if (k != j) {
            MoveRow(fixedRows_ + static_cast<int>(k), fixedRows_ + static_cast<int>(j));
            const int moved = order[k];
            order.erase(order.begin() + static_cast<std::ptrdiff_t>(k));
            order.insert(order.begin() + static_cast<std::ptrdiff_t>(j), moved);
        }
    }
}

void TMySG::MoveRow(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= rowCount() || to >= rowCount())
        return;
    QStringList moving;
    for (int c = 0; c < columnCount(); ++c)
        moving << Cell(c, from);
    const int step = from < to ? 1 : -1;
    const QSignalBlocker block(this);
    for (int r = from; r != to; r += step)
        for (int c = 0; c < columnCount(); ++c)
            ItemAt(c, r)->setText(Cell(c, r + step));
    for (int c = 0; c < columnCount(); ++c)
        ItemAt(c, to)->setText(moving[c]);
    SetSizeCells();
    viewport()->update();
}
