#include "main_form_fixture.h"
#include "maps/map_status.h"
#include "maps/value_colour.h"
#include "maps/view/map_grid.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

namespace {

struct Expected {
    MapKind kind;
    int rows, cols; // RowCount and ColCount of the grid
    const char* corner;
    const char* column1; // header of grid column 1 for the one-column tables
    int decimals;        // -1: plain integer
};

const Expected Kinds[] = {
    {MapKind::Uoz, 40, 23, "N\\P", nullptr, 1},
    {MapKind::Tau, 40, 23, "N\\P", nullptr, 2},
    {MapKind::CoefCorUoz, 40, 8, "N\\Dr", nullptr, 1},
    {MapKind::CoefCorTau, 40, 8, "N\\Dr", nullptr, 3},
    {MapKind::CorUoz, 40, 8, "N\\Dr", nullptr, 2},
    {MapKind::CorTau, 40, 8, "N\\Dr", nullptr, 2},
    {MapKind::Pmax, 40, 2, "Nuz", "Pmax", -1},
    {MapKind::Lambda, 40, 23, "N\\P", nullptr, 3},
    {MapKind::Rcod, 11, 12, "N\\P", nullptr, 3},
    {MapKind::Drmax, 40, 2, "Nuz", "Drmax", 0},
};

// The decoded value of a data cell, read straight from the image's tables.
double TableValue(const FirmwareImage& im, MapKind kind, int r, int c) {
    switch (kind) {
    case MapKind::Uoz:
        return im.Uoz[r][c];
    case MapKind::Tau:
        return im.Tau[r][c];
    case MapKind::CoefCorUoz:
        return im.CoefCorUoz[r][c];
    case MapKind::CoefCorTau:
        return im.CoefCorTau[r][c];
    case MapKind::CorUoz:
        return im.CorUoz[r][c];
    case MapKind::CorTau:
        return im.CorTau[r][c];
    case MapKind::Pmax:
        return im.Pmax[r];
    case MapKind::Lambda:
        return im.Lambda[r][c];
    case MapKind::Rcod:
        return im.Rcod[r][c];
    case MapKind::Drmax:
        return im.Drmax[r];
    }
    return 0;
}

// The Russian locale's own text of a number, as an independent reference for the grid.
QString Reference(double value, int decimals) {
    if (decimals < 0)
        return QString::number(static_cast<long long>(value));
    QString s = QLocale(QLocale::Russian).toString(value, 'f', decimals);
    s.remove(QChar(0x00A0)); // no group separators in the grid
    s.replace(QChar(0x2212), '-');
    return s;
}

} // namespace

class MapGrid : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        form->OpenFromCommandLine(WriteImage("maps.hex", 3, true));
        ASSERT_TRUE(errors.isEmpty());
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(form->Grid(), key, mods);
    }
    void PlusOnKeypad() { Press(Qt::Key_Plus, Qt::KeypadModifier); }
};

TEST_F(MapGrid, ShowMapLaysOutEveryKindWithRussianNumbers) {
    const FirmwareImage& im = form->GetImage();
    for (const Expected& e : Kinds) {
        SCOPED_TRACE(static_cast<int>(e.kind));
        form->MapAction(e.kind)->trigger();
        TMapGrid& sg = *form->Grid();
        ASSERT_EQ(sg.RowCount(), e.rows);
        ASSERT_EQ(sg.ColCount(), e.cols);
        EXPECT_EQ(sg.Cell(0, 0), e.corner);
        if (e.column1) {
            EXPECT_EQ(sg.Cell(1, 0), e.column1);
        }
        EXPECT_EQ(form->Cursor().CellWidth,
                  e.kind == MapKind::Pmax ? CellWidthKind::Word : CellWidthKind::Byte);
        EXPECT_EQ(sg.Col(), 1);
        EXPECT_EQ(sg.Row(), 1);
        EXPECT_EQ(form->Cursor().SelRow, 0);
        EXPECT_EQ(form->Cursor().SelCol, 0);
        for (int r = 0; r < e.rows - 1; ++r)
            for (int c = 0; c < e.cols - 1; ++c)
                ASSERT_EQ(sg.Cell(c + 1, r + 1),
                          Reference(TableValue(im, e.kind, r, c), e.decimals))
                    << "cell " << r << "," << c;
    }
    // Axis labels: speed on the rows, load, throttle or the fixed RCOD axes on the columns.
    form->MapAction(MapKind::Uoz)->trigger();
    EXPECT_EQ(form->Grid()->Cell(0, 39), QString::number(im.Nuz[38]));
    EXPECT_EQ(form->Grid()->Cell(22, 0), QString::number(im.P[21]));
    // No label or number is clipped: columns widen to their widest text, and the row labels'
    // header to the widest label.
    for (int c = 1; c < form->Grid()->ColCount(); ++c)
        for (int r = 0; r < form->Grid()->RowCount(); ++r)
            ASSERT_GE(form->Grid()->columnWidth(c),
                      form->Grid()->fontMetrics().horizontalAdvance(form->Grid()->Cell(c, r)))
                << c << "," << r;
    for (int r = 0; r < form->Grid()->RowCount(); ++r)
        ASSERT_GE(form->Grid()->verticalHeader()->width(),
                  form->Grid()->fontMetrics().horizontalAdvance(form->Grid()->Cell(0, r)))
            << r;
    form->MapAction(MapKind::CorUoz)->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 0), "17");
    EXPECT_EQ(form->Grid()->Cell(7, 0), "100");
    form->MapAction(MapKind::Rcod)->trigger();
    EXPECT_EQ(form->Grid()->Cell(0, 1), "5500");
    EXPECT_EQ(form->Grid()->Cell(0, 10), "650");
    EXPECT_EQ(form->Grid()->Cell(1, 0), "44");
    EXPECT_EQ(form->Grid()->Cell(11, 0), "610");
}

// The axis labels are fixed like a spreadsheet's headers: scrolled to the far corner of the
// table, the grid still shows which speed and load the cells belong to.
TEST_F(MapGrid, AxisLabelsStayInViewWhenTheGridScrolls) {
    form->MapAction(MapKind::Uoz)->trigger();
    TMapGrid& sg = *form->Grid();
    sg.scrollTo(sg.model()->index(39, 22));
    QApplication::processEvents();
    ASSERT_GT(sg.horizontalScrollBar()->value(), 0); // the panel is too narrow for 23 columns
    const QHeaderView* rows = sg.verticalHeader();
    const QHeaderView* cols = sg.horizontalHeader();
    ASSERT_TRUE(rows->isVisible());
    ASSERT_TRUE(cols->isVisible());
    EXPECT_EQ(sg.model()->headerData(39, Qt::Vertical).toString(), sg.Cell(0, 39));
    EXPECT_EQ(sg.model()->headerData(22, Qt::Horizontal).toString(), sg.Cell(22, 0));
    // The label cells are not shown a second time inside the scrolled area.
    EXPECT_TRUE(sg.isRowHidden(0));
    EXPECT_TRUE(sg.isColumnHidden(0));
    // A smaller table takes its own labels; none of the larger one's is left behind.
    form->MapAction(MapKind::Pmax)->trigger();
    EXPECT_EQ(sg.model()->headerData(1, Qt::Horizontal).toString(), "Pmax");
    EXPECT_EQ(sg.model()->columnCount(), 2);
}

// A newly shown table starts in view at its first cell, the one the keypad now edits, even
// when the grid had been scrolled away from that cell while it was current.
TEST_F(MapGrid, ANewTableStartsInViewAtItsFirstCell) {
    TMapGrid& sg = *form->Grid();
    sg.scrollTo(sg.model()->index(39, 22));
    QApplication::processEvents();
    ASSERT_EQ(sg.Row(), 1);
    ASSERT_EQ(sg.Col(), 1);
    form->MapAction(MapKind::Tau)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(sg.viewport()->rect().contains(sg.visualItemRect(sg.item(1, 1))));
}

TEST_F(MapGrid, DecimalCommaMinusAndNonFiniteValues) {
    FirmwareImage& im = form->GetImage();
    im.WriteWord(im.AddrTauBase, 0);
    im.WriteByte(im.AddrP + 0, 0);         // load 0
    im.WriteByte(im.AddrP + 1, 1);         // raw load 16
    im.WriteByte(im.AddrMainMap + 0, 75);  // Tau(0,0) = 0.54 at load 0: lambda 0/0
    im.WriteByte(im.AddrMainMap + 2, 59);  // Tau(0,1) = 0.54: lambda x/0
    im.WriteByte(im.AddrMainMap + 44, 10); // Tau(1,0) = -0.76
    im.WriteByte(im.AddrMainMap + 1, 21);  // Uoz(0,0) = 10.5
    form->MapAction(MapKind::Tau)->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 2), "-0,76");
    // Typed characters never search the grid: keypad minus leaves the current cell in place
    // although another cell's text starts with a minus.
    Press(Qt::Key_Minus, Qt::KeypadModifier);
    Press(Qt::Key_1);
    PlusOnKeypad(); // back to the byte that gives a zero divisor below
    EXPECT_EQ(form->Grid()->Row(), 1);
    EXPECT_EQ(form->Grid()->Col(), 1);
    form->MapAction(MapKind::Uoz)->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 1), "10,5");
    form->MapAction(MapKind::Lambda)->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 1), "NAN");
    EXPECT_EQ(form->Grid()->Cell(2, 1), "INF");
    // A key press on the NAN cell stays a NAN/number without failing.
    PlusOnKeypad();
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MapGrid, KeypadPlusChangesExactlyTheByteBehindTheCurrentCell) {
    FirmwareImage& im = form->GetImage();
    const int32_t main = im.AddrMainMap, cor = im.AddrCorMap;
    struct Case {
        MapKind kind;
        int32_t address; // of cell (1,1) = data (0,0)
    } cases[] = {
        {MapKind::Uoz, main + 1},       {MapKind::Tau, main},       {MapKind::CoefCorUoz, cor + 1},
        {MapKind::CoefCorTau, cor},     {MapKind::CorUoz, cor + 1}, {MapKind::CorTau, cor},
        {MapKind::Pmax, im.AddrPmax},   {MapKind::Lambda, main},    {MapKind::Rcod, im.AddrRcod},
        {MapKind::Drmax, im.AddrDrmax},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(static_cast<int>(k.kind));
        im.WriteByte(k.address, 100);
        form->MapAction(k.kind)->trigger();
        const auto before = Data();
        PlusOnKeypad();
        const auto after = Data();
        int changed = 0;
        for (size_t i = 0; i < after.size(); ++i)
            changed += before[i] != after[i];
        EXPECT_EQ(changed, 1);
        EXPECT_EQ(after[k.address], 101);
        EXPECT_EQ(form->Grid()->Cell(1, 1),
                  Reference(TableValue(im, k.kind, 0, 0), GetMapInfo(k.kind).decimals));
    }
    // The main keyboard's plus and minus step the same byte, so laptops can edit.
    form->MapAction(MapKind::Uoz)->trigger();
    const auto before = Data();
    Press(Qt::Key_Plus);
    EXPECT_EQ(form->GetImage().ReadByte(main + 1), before[main + 1] + 1);
    Press(Qt::Key_Minus);
    EXPECT_EQ(Data(), before);
    Press(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(form->GetImage().ReadByte(main + 1), before[main + 1] - 1);
}

TEST_F(MapGrid, UozStepsByHalfADegreeAndClampsAtTheEnds) {
    FirmwareImage& im = form->GetImage();
    im.WriteByte(im.AddrMainMap + 1, 20);
    form->MapAction(MapKind::Uoz)->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 1), "10,0");
    PlusOnKeypad();
    EXPECT_EQ(form->Grid()->Cell(1, 1), "10,5");
    EXPECT_EQ(im.ReadByte(im.AddrMainMap + 1), 21);

    im.WriteByte(im.AddrMainMap + 1, 255);
    form->MapAction(MapKind::Uoz)->trigger();
    PlusOnKeypad();
    EXPECT_EQ(im.ReadByte(im.AddrMainMap + 1), 255);
    EXPECT_EQ(form->Grid()->Cell(1, 1), "127,5");
    im.WriteByte(im.AddrMainMap + 1, 0);
    form->MapAction(MapKind::Uoz)->trigger();
    Press(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(im.ReadByte(im.AddrMainMap + 1), 0);

    im.WriteWord(im.AddrPmax, 0xFFFF);
    form->MapAction(MapKind::Pmax)->trigger();
    PlusOnKeypad();
    EXPECT_EQ(im.ReadWord(im.AddrPmax), 0xFFFF);
    EXPECT_EQ(form->Cursor().CellRaw, 0xFFFF);
    EXPECT_EQ(form->Grid()->Cell(1, 1), "58253");
}

TEST_F(MapGrid, ArrowKeysRewriteTheCellThenMove) {
    FirmwareImage& im = form->GetImage();
    form->MapAction(MapKind::Rcod)->trigger();
    // Another window changes the byte behind the current cell.
    im.WriteByte(im.AddrRcod, 128);
    Press(Qt::Key_Down);
    EXPECT_EQ(form->Grid()->Cell(1, 1), "0,500"); // rewritten before the move
    EXPECT_EQ(form->Grid()->Row(), 2);
    EXPECT_EQ(form->Cursor().SelRow, 1);
    EXPECT_EQ(form->Cursor().CellAddress, im.AddrRcod + 11);
    Press(Qt::Key_Right);
    EXPECT_EQ(form->Cursor().SelCol, 1);
    EXPECT_EQ(form->Cursor().CellAddress, im.AddrRcod + 12);
    // Header cells never become current.
    Press(Qt::Key_Left);
    Press(Qt::Key_Left);
    EXPECT_EQ(form->Grid()->Col(), 1);
    Press(Qt::Key_Up);
    Press(Qt::Key_Up);
    EXPECT_EQ(form->Grid()->Row(), 1);

    // The step starts from the stored value even when it changed after selection.
    im.WriteByte(im.AddrRcod, 7);
    PlusOnKeypad();
    EXPECT_EQ(im.ReadByte(im.AddrRcod), 8);
}

TEST_F(MapGrid, TheOxygenSwitchShowsAndEditsTheSecondMapSet) {
    FirmwareImage& im = form->GetImage();
    im.WriteByte(im.AddrMainMap + 1, 10);
    im.WriteByte(im.AddrMainMapO2 + 1, 30);
    im.WriteByte(im.AddrPmax, 50);
    im.WriteByte(im.AddrPmax + 1, 0);
    form->MapAction(MapKind::Uoz)->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 1), "5,0");
    ChildNamed(*form, "MLam")->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 1), "15,0");
    EXPECT_EQ(form->findChild<QLabel*>("MapCaption")->text(), "УОЗ");
    PlusOnKeypad();
    EXPECT_EQ(im.ReadByte(im.AddrMainMapO2 + 1), 31);
    EXPECT_EQ(im.ReadByte(im.AddrMainMap + 1), 10);

    // Pmax has one storage: the same numbers in both sets.
    form->MapAction(MapKind::Pmax)->trigger();
    const QString o2 = form->Grid()->Cell(1, 1);
    ChildNamed(*form, "MLam")->trigger();
    EXPECT_EQ(form->Grid()->Cell(1, 1), o2);
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Pmax);
}

TEST_F(MapGrid, TheMapAndSwitchPersistAcrossOpens) {
    form->MapAction(MapKind::CorTau)->trigger();
    ChildNamed(*form, "MLam")->trigger();
    form->OpenFromCommandLine(WriteImage("next.bin", 9, false));
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::CorTau);
    EXPECT_TRUE(form->GetImage().UseO2Maps);
    EXPECT_EQ(form->Grid()->ColCount(), 8);
    EXPECT_EQ(form->Cursor().CellAddress, form->GetImage().AddrCorMapO2);
}

TEST_F(MapGrid, ColourByValueTintsTheTableAndIsRemembered) {
    const FirmwareImage& im = form->GetImage();
    int lo = 0, hi = 0; // flat indices of the smallest and largest Uoz cell
    for (int i = 0; i < FirmwareImage::Rows * FirmwareImage::LoadCols; ++i) {
        const double v = im.Uoz[i / FirmwareImage::LoadCols][i % FirmwareImage::LoadCols];
        lo = v < im.Uoz[lo / FirmwareImage::LoadCols][lo % FirmwareImage::LoadCols] ? i : lo;
        hi = v > im.Uoz[hi / FirmwareImage::LoadCols][hi % FirmwareImage::LoadCols] ? i : hi;
    }
    // The colour at the left edge of a data cell (the text is right-aligned).
    auto shade = [&](int flat) {
        QTableWidgetItem* it = form->Grid()->item(flat / FirmwareImage::LoadCols + 1,
                                                  flat % FirmwareImage::LoadCols + 1);
        form->Grid()->scrollToItem(it);
        const QRect r = form->Grid()->visualItemRect(it);
        return form->Grid()->viewport()->grab().toImage().pixelColor(r.left() + 2, r.center().y());
    };
    auto rgb = [](RgbColour c) { return QColor(c.r, c.g, c.b); };
    const QColor plain = shade(hi);
    EXPECT_NE(plain, rgb(ViridisColour(1.0)));

    ChildNamed(*form, "MColour")->trigger();
    EXPECT_EQ(shade(lo), rgb(ViridisColour(0.0)));
    EXPECT_EQ(shade(hi), rgb(ViridisColour(1.0)));
    // A new window remembers the choice; clearing it gives the grid its own colours back.
    form = std::make_unique<TMainForm>();
    form->OpenFromCommandLine(Path("maps.hex"));
    form->show();
    ASSERT_TRUE(ChildNamed(*form, "MColour")->isChecked());
    EXPECT_EQ(shade(hi), rgb(ViridisColour(1.0)));
    ChildNamed(*form, "MColour")->trigger();
    EXPECT_EQ(shade(hi), plain);
    EXPECT_FALSE(ChildNamed(TMainForm(), "MColour")->isChecked());
}

TEST_F(MapGrid, StatusLineFollowsTheCellEditsAndSaves) {
    auto status = [&] { return ChildNamed<QLabel>(*form, "StatusLabel")->text().toStdString(); };
    auto expected = [&] {
        return MapStatusText(form->GetImage(), form->Cursor().CurrentMap, form->Cursor().SelRow,
                             form->Cursor().SelCol, ",");
    };
    EXPECT_EQ(status(), expected());
    EXPECT_NE(status().find("УОЗ, без датчика кислорода"), std::string::npos);
    Press(Qt::Key_Down);
    Press(Qt::Key_Right);
    ASSERT_EQ(form->Cursor().SelRow, 1);
    EXPECT_EQ(status(), expected());
    const std::string before = status();
    PlusOnKeypad();
    EXPECT_NE(status(), before);
    EXPECT_EQ(status(), expected());
    EXPECT_NE(status().find("контрольная сумма не совпадает"), std::string::npos);
    ChildNamed(*form, "MLam")->trigger();
    EXPECT_NE(status().find("УОЗ, с датчиком кислорода"), std::string::npos);

    saveAnswers.push_back(Path("saved.hex"));
    form->ASaveExecute();
    EXPECT_NE(status().find("контрольная сумма верна"), std::string::npos);
}

// A changed cell is drawn bold; marking cells never widens their columns, which would push the
// last column out of sight.
TEST_F(MapGrid, MarkingChangedCellsNeverWidensAColumn) {
    form->MapAction(MapKind::Uoz)->trigger();
    TMapGrid* grid = form->Grid();
    for (int c = 1; c < grid->ColCount(); ++c)
        grid->SetCell(c, 1, QStringLiteral("127,5")); // the widest value a cell can show
    std::vector<int> widths;
    for (int c = 0; c < grid->ColCount(); ++c)
        widths.push_back(grid->columnWidth(c));
    for (int r = 1; r < grid->RowCount(); ++r)
        for (int c = 1; c < grid->ColCount(); ++c)
            grid->SetCellMarked(c, r, true);
    for (int c = 0; c < grid->ColCount(); ++c)
        EXPECT_EQ(grid->columnWidth(c), widths[static_cast<std::size_t>(c)]) << c;
}
