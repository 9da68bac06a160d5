#pragma once

#include <QColor>
#include <QTableWidget>

class QKeyEvent;

// A string grid with one fixed header row (row 0) and one fixed header column (column 0),
// addressed like the map tables: Cell(col, row) with the headers at index 0. The header texts
// are shown in the grid's headers, which do not scroll with the cells; header cells can never
// become current, and the grid does not accept typing.
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

    // Marks a data cell whose stored bytes differ from the file: a tint that is not the
    // selection colour and bold text, so the mark does not depend on telling colours apart.
    void SetCellMarked(int col, int row, bool marked);
    bool CellMarked(int col, int row) const;
    static const QColor MarkTint;

    // Makes a data cell current, and scrolls it into view, without emitting SelectCell.
    void SetCurrentCell(int col, int row);
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }

    // Typed characters do not jump to a cell whose text starts with them: the keypad minus
    // steps a value and must never move the current cell to a negative number.
    void keyboardSearch(const QString&) override {}

signals:
    // A key went down in the grid; emitted before the grid's own handling (arrow keys move the
    // current cell afterwards).
    void KeyDown(QKeyEvent* event);
    // A data cell became current by a click or a key.
    void SelectCell(int col, int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTableWidgetItem* MakeItem(int col, int row) const;
    bool quiet_ = false;
};
