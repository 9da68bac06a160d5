#pragma once

#include <QColor>
#include <QTableWidget>

#include <functional>

class QPainter;
class QStyleOptionViewItem;

// A text grid with fixed header rows and columns, centred cell texts, automatic column and row
// sizing, an optional highlighted row and sorting of the data rows by one column's text (the
// right mouse button released with Ctrl (ascending) or Shift (descending) over a fixed row).
// Cells are addressed column first, as Cell(column, row).
class TMySG : public QTableWidget {
    Q_OBJECT

public:
    explicit TMySG(QWidget* parent = nullptr);

    // Direction of the last sort request: 1 ascending, -1 descending, 0 none yet.
    int SortDirection = 0;
    QColor HighlightColor = Qt::blue;
    QColor HighlightFontColor = Qt::yellow;
    // Flags of every cell text (Qt::Alignment values); centred by default.
    int TextFormat = Qt::AlignCenter;
    // Optional owner drawing: when set, the grid only measures and the user paints the cell.
    std::function<void(QPainter*, int col, int row, const QRect& rect)> OnDrawCell;

    int FixedRows() const { return fixedRows_; }
    int FixedCols() const { return fixedCols_; }
    void SetFixed(int cols, int rows);
    int DefaultColWidth() const { return defaultColWidth_; }
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultSizes(int colWidth, int rowHeight);
    int HighlightRow() const { return highlightRow_; }
    void SetHighlightRow(int row);
    QColor FixedColor() const;

    // Grid size and texts. Setting a text resizes the cells to fit.
    void SetColCount(int count);
    void SetRowCount(int count);
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    // Many texts at once: between BeginUpdate and EndUpdate texts are set without resizing the
    // cells each time; EndUpdate resizes once.
    void BeginUpdate() { ++updating_; }
    void EndUpdate();

    // Recomputes every column width and row height from all texts: grows and shrinks, never
    // below the default sizes.
    void SetSizeCells();
    // Sorts the data rows by the texts of a column (locale-aware, case-sensitive); direction 1
    // ascending, anything else but 0 descending.
    void Sort(int col, int direction);
    // Moves the row at index `from` to `to`; the rows between shift by one.
    void MoveRow(int from, int to);

    // Size a text needs in a cell: its measured size plus the padding.
    QSize CellSizeFor(const QString& text) const;
    bool IsFixedCell(int col, int row) const { return row < fixedRows_ || col < fixedCols_; }

    // Paints one cell into rect (the delegate calls this).
    void PaintCell(QPainter* painter, int col, int row, const QRect& rect) const;
    // The text of the cell being edited changed (called by the editor).
    void EditorTextChanged(int col, int row, const QString& text);
    // The user finished typing into a cell (called by the editor on Enter, Tab or leaving it).
    void EditorCommitted(int col, int row, const QString& text);
    // The cell editor closed (entry committed or abandoned).
    void EditorClosed();

signals:
    // After the grid handled a change of an edited cell's text (every keystroke).
    void editTextSet(int col, int row, const QString& text);
    // An entry the user typed into a cell is finished (Enter, Tab or leaving the cell), also when
    // its text equals what the cell showed before. Not sent for texts set by the program.
    void entryCommitted(int col, int row, const QString& text);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QTableWidgetItem* ItemAt(int col, int row);
    void UpdateFlags(int col, int row);

    int fixedRows_ = 1;
    int fixedCols_ = 1;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    int highlightRow_ = -1;
    int updating_ = 0;
    // The text being typed into a cell, measured while the edit is open.
    int editCol_ = -1;
    int editRow_ = -1;
    QString editText_;
};
