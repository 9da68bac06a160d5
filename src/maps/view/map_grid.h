#pragma once

#include "maps/value_colour.h"

#include <QColor>
#include <QHash>
#include <QRect>
#include <QTableWidget>
#include <utility>
#include <vector>

class QKeyEvent;
class QLineEdit;

// A string grid with one fixed header row (row 0) and one fixed header column (column 0),
// addressed like the map tables: Cell(col, row) with the headers at index 0. The header texts
// are shown in the grid's headers, which do not scroll with the cells; header cells can never
// become current.
//
// A rectangle of data cells can be selected by a mouse drag, Shift+arrows, Shift+click or
// Ctrl+A; the current cell stays where it is and is the selection's anchor. Typing a number,
// F2 or Enter opens a one-line editor over the current cell; Enter in it hands the text on by
// ValueEntered, Escape drops it. The grid itself never changes a cell's text.
class TMapGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TMapGrid(QWidget* parent = nullptr);

    static constexpr int DefaultColWidth = 32;
    static constexpr int DefaultRowHeight = 20;
    static constexpr int TextMargin = 4; // pixels left and right of a cell's text

    int RowCount() const { return rowCount(); }
    int ColCount() const { return columnCount(); }
    // Resizes the grid and sets every column back to the default width; a column then widens
    // to its widest text.
    void SetSize(int rowCount, int colCount);

    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    // Marks the data cells (col, row) that differ from a reference with a frame and a hatch,
    // and clears the marks of all others. The list may be empty.
    void SetDifferingCells(const std::vector<std::pair<int, int>>& cells);
    bool CellDiffers(int col, int row) const;
    // Item data role that carries the mark.
    static constexpr int DiffersRole = Qt::UserRole + 16;
    // Marks a data cell whose stored bytes differ from the file: a tint that is not the
    // selection colour and bold text, so the mark does not depend on telling colours apart.
    void SetCellMarked(int col, int row, bool marked);
    bool CellMarked(int col, int row) const;
    static const QColor MarkTint;

    // Makes a data cell current, and scrolls it into view, without emitting SelectCell.
    void SetCurrentCell(int col, int row);
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }

    // Background and text colours of the data cells, row by row over the table's `dataCols`
    // columns; an empty list leaves every cell in the grid's own colours. Only the visible
    // cells are repainted.
    void SetTints(std::vector<CellTint> tints, int dataCols);
    // The tint of data cell (row, col), 0-based; nullptr when the cell is not tinted.
    const CellTint* TintOf(int row, int col) const;
    // The selected data cells (x = column, y = row, grid coordinates); the current cell alone
    // when nothing is selected.
    QRect SelectedCells() const;
    // Selects the rectangle between two data cells; the current cell does not move.
    void SelectCells(int col1, int row1, int col2, int row2);
    // Opens the editor over the current cell with the given text.
    void StartEditing(const QString& text, bool typed);
    bool Editing() const;

    // Typed characters do not jump to a cell whose text starts with them: the keypad minus
    // steps a value and must never move the current cell to a negative number.
    void keyboardSearch(const QString&) override {}

signals:
    // A key went down in the grid; emitted before the grid's own handling (arrow keys move the
    // current cell afterwards).
    void KeyDown(QKeyEvent* event);
    // A data cell became current by a click or a key.
    void SelectCell(int col, int row);
    // Enter was pressed in the cell editor; the editor is closed.
    void ValueEntered(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The width of a cell text in the grid's font. A refill after a whole-image change sets
    // hundreds of texts, mostly ones shown before (an undo brings back the previous texts), so
    // widths are remembered until the font changes.
    int TextWidth(const QString& text);
    QTableWidgetItem* MakeItem(int col, int row) const;
    bool IsDataCell(int col, int row) const;
    // Moves the far corner of the selection and selects from the current cell to it.
    void ExtendTo(int col, int row);
    void CloseEditor();
    bool quiet_ = false;
    std::vector<std::pair<int, int>> differing_;
    std::vector<CellTint> tints_;
    int tintCols_ = 0;
    QPoint extent_{1, 1}; // far corner of the selection (column, row)
    QLineEdit* editor_ = nullptr;
    QHash<QString, int> widths_;
};
