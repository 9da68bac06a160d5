#include "maps/map_grid.h"

#include <QHeaderView>
#include <QKeyEvent>

TMapGrid::TMapGrid(QWidget* parent) : QTableWidget(parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setDefaultSectionSize(DefaultColWidth);
    horizontalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight);
    verticalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
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
    for (int c = 0; c < cols; ++c)
        setColumnWidth(c, DefaultColWidth);
    for (int r = 0; r < rows; ++r)
        if (!item(r, 0))
            setItem(r, 0, MakeItem(0, r));
    for (int c = 1; c < cols; ++c)
        if (!item(0, c))
            setItem(0, c, MakeItem(c, 0));
    quiet_ = false;
}

QTableWidgetItem* TMapGrid::MakeItem(int col, int row) const {
    auto* it = new QTableWidgetItem;
    it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (row == 0 || col == 0) {
        // Not enabled: the view's keyboard navigation and clicks skip the header cells.
        it->setFlags(Qt::NoItemFlags);
        it->setBackground(palette().button());
        it->setForeground(palette().buttonText());
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
    // A column is never narrower than its widest text: a clipped number would be misread.
    const int need = fontMetrics().horizontalAdvance(text) + 2 * TextMargin;
    if (need > columnWidth(col))
        setColumnWidth(col, need);
}

void TMapGrid::SetCurrentCell(int col, int row) {
    quiet_ = true;
    setCurrentCell(row, col);
    quiet_ = false;
}

void TMapGrid::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event);
    QTableWidget::keyPressEvent(event);
}
