#include "maps/map_grid.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyleOptionHeader>
#include <QStylePainter>

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
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    SetSize(2, 2);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        if (!quiet_ && row > 0 && col > 0)
            emit SelectCell(col, row);
    });
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

const QColor TMapGrid::MarkTint(255, 221, 153);

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

void TMapGrid::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event);
    QTableWidget::keyPressEvent(event);
}
