#include "params/view/my_sg.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

// A grid with one fixed row and the data rows b, a, c in column 1.
void Fill(TMySG& grid) {
    grid.SetColCount(2);
    grid.SetRowCount(4);
    grid.SetFixed(1, 1);
    grid.SetCell(1, 0, QStringLiteral("Имя"));
    const char* texts[] = {"b", "a", "c"};
    for (int r = 1; r <= 3; ++r) {
        grid.SetCell(0, r, QString::number(r));
        grid.SetCell(1, r, QString::fromLatin1(texts[r - 1]));
    }
}

QString Column(const TMySG& grid, int col) {
    QString s;
    for (int r = grid.FixedRows(); r < grid.rowCount(); ++r)
        s += grid.Cell(col, r);
    return s;
}

void RightRelease(TMySG& grid, int col, int row, Qt::KeyboardModifiers mods) {
    const QRect rect = grid.visualRect(grid.model()->index(row, col));
    QTest::mouseRelease(grid.viewport(), Qt::RightButton, mods, rect.center());
}

TEST(TMySG, SortGestureOrdersRowsByText) {
    TMySG grid;
    Fill(grid);
    grid.resize(300, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));

    RightRelease(grid, 1, 0, Qt::NoModifier);
    EXPECT_EQ(Column(grid, 1), QStringLiteral("bac"));
    RightRelease(grid, 1, 0, Qt::ControlModifier);
    EXPECT_EQ(Column(grid, 1), QStringLiteral("abc"));
    EXPECT_EQ(Column(grid, 0), QStringLiteral("213")); // whole rows move
    EXPECT_EQ(grid.SortDirection, 1);
    RightRelease(grid, 1, 0, Qt::ShiftModifier);
    EXPECT_EQ(Column(grid, 1), QStringLiteral("cba"));
    RightRelease(grid, 1, 0, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(grid.SortDirection, -1);
    EXPECT_EQ(Column(grid, 1), QStringLiteral("cba"));
    RightRelease(grid, 1, 2, Qt::ControlModifier); // over a data row: nothing
    EXPECT_EQ(Column(grid, 1), QStringLiteral("cba"));
    EXPECT_EQ(grid.Cell(1, 0), QStringLiteral("Имя"));
}

TEST(TMySG, SortComparesTextsNotNumbers) {
    TMySG grid;
    grid.SetColCount(1);
    grid.SetRowCount(3);
    grid.SetFixed(0, 1);
    grid.SetCell(0, 1, QStringLiteral("9"));
    grid.SetCell(0, 2, QStringLiteral("10"));
    grid.Sort(0, 1);
    EXPECT_EQ(Column(grid, 0), QStringLiteral("109"));
    grid.Sort(0, 0);
    EXPECT_EQ(Column(grid, 0), QStringLiteral("109"));
}

TEST(TMySG, ColumnsGrowWithTextAndShrinkBack) {
    TMySG grid;
    grid.SetDefaultSizes(30, 20);
    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.SetFixed(1, 2);
    EXPECT_EQ(grid.columnWidth(0), 30);
    grid.SetCell(0, 1, QStringLiteral("Аргумент"));
    const int captionWidth = grid.CellSizeFor(QStringLiteral("Аргумент")).width();
    EXPECT_GT(captionWidth, 30);
    EXPECT_EQ(grid.columnWidth(0), captionWidth);

    grid.SetCell(1, 2, QStringLiteral("1"));
    EXPECT_EQ(grid.columnWidth(1), 30);
    grid.EditorTextChanged(1, 2, QStringLiteral("123456789012345"));
    const int wide = grid.columnWidth(1);
    EXPECT_GT(wide, 30);
    grid.EditorTextChanged(1, 2, QStringLiteral("1"));
    EXPECT_EQ(grid.columnWidth(1), 30); // never below the default
    grid.SetCell(1, 0, QStringLiteral("12345678"));
    grid.EditorTextChanged(1, 2, QStringLiteral(""));
    EXPECT_EQ(grid.columnWidth(1), grid.CellSizeFor(QStringLiteral("12345678")).width());
}

TEST(TMySG, FixedCellsCannotBeEdited) {
    TMySG grid;
    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.SetFixed(1, 2);
    EXPECT_FALSE(grid.item(0, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.item(2, 0)->flags() & Qt::ItemIsEnabled);
    EXPECT_TRUE(grid.item(2, 1)->flags() & Qt::ItemIsEditable);
}

TEST(TMySG, PaintsFixedHighlightedAndPlainCells) {
    TMySG grid;
    Fill(grid);
    grid.SetHighlightRow(2);
    grid.resize(300, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    const QImage shot = grid.viewport()->grab().toImage();
    auto colourAt = [&](int col, int row) {
        const QRect r = grid.visualRect(grid.model()->index(row, col));
        return QColor(shot.pixel(r.left() + 2, r.top() + 2));
    };
    EXPECT_EQ(colourAt(0, 1), grid.FixedColor());
    EXPECT_EQ(colourAt(1, 0), grid.FixedColor());
    EXPECT_EQ(colourAt(1, 2), QColor(Qt::blue));
    EXPECT_EQ(colourAt(1, 3), QColor(Qt::white));
}

} // namespace
