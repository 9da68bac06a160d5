#include "app/diff_form.h"
#include "document/edit_history.h"
#include "image_bytes.h"
#include "main_form_fixture.h"
#include "maps/cell_edit.h"
#include "maps/value_colour.h"
#include "maps/view/map_grid.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

// The image opened from seed 3; the reference differs in Uoz row 2 column 4, the identification
// text CarBody and two code bytes.
class CompareTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        form->OpenFromCommandLine(WriteImage("a.bin", 3, false));
        FirmwareImage ref;
        FillPattern(ref, 3);
        uoz = static_cast<uint16_t>(MapCellAddress(ref, MapKind::Uoz, 2, 4));
        FlipBits(ref, uoz, 0x10);
        ref.WriteByte(ref.AddrCarBody, 'Z');
        FlipBits(ref, 0x0300, 1);
        FlipBits(ref, 0x0301, 1);
        ref.SaveBin(QFile::encodeName(Path("ref.bin")).toStdString());
        refBytes.assign(ref.Bytes(), ref.Bytes() + FirmwareImage::Size);
        openAnswers.push_back({Path("ref.bin"), 2});
        form->MCompareClick();
    }
    int MarkedCells() const {
        int n = 0;
        for (int r = 1; r < form->Grid()->RowCount(); ++r)
            for (int c = 1; c < form->Grid()->ColCount(); ++c)
                n += form->Grid()->CellDiffers(c, r) ? 1 : 0;
        return n;
    }
    uint16_t uoz = 0;
    std::vector<uint8_t> refBytes;
};

TEST_F(CompareTest, ReferenceMarksCellsSwitchesValuesAndEnds) {
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_EQ(MarkedCells(), 1);
    EXPECT_TRUE(form->Grid()->CellDiffers(5, 3));
    EXPECT_TRUE(ChildNamed<QLabel>(*form, "CompareStatus")->isVisibleTo(form.get()));
    EXPECT_EQ(ChildNamed<QLabel>(*form, "CompareStatus")->text(),
              QStringLiteral("Эталон: ref.bin, различий: 3"));

    const QString value = form->Grid()->Cell(5, 3);
    const QString neighbour = form->Grid()->Cell(6, 3);
    form->SetCellShow(Comparison::CellShow::Reference);
    EXPECT_EQ(form->Grid()->Cell(5, 3),
              QString::fromStdString(FormatMapNumber(refBytes[uoz] * 0.5, 1, ",")));
    EXPECT_EQ(form->Grid()->Cell(6, 3), neighbour);
    form->SetCellShow(Comparison::CellShow::Difference);
    EXPECT_EQ(form->Grid()->Cell(5, 3),
              QString::fromStdString(
                  FormatMapNumber((form->GetImage().ReadByte(uoz) - refBytes[uoz]) * 0.5, 1, ",")));
    EXPECT_EQ(form->Grid()->Cell(6, 3), QStringLiteral("0,0"));
    // With colour on, the difference view is tinted by the difference: the one differing cell
    // at the palette's end for its sign, equal cells as the grid draws them.
    ChildNamed(*form, "MColour")->trigger();
    const CellTint* tint = form->Grid()->TintOf(2, 4);
    ASSERT_NE(tint, nullptr);
    const bool above = form->GetImage().ReadByte(uoz) > refBytes[uoz];
    EXPECT_EQ(tint->background, DivergingColour(above ? 1 : -1));
    EXPECT_EQ(form->Grid()->TintOf(2, 5), nullptr);
    ChildNamed(*form, "MColour")->trigger();

    form->SetCellShow(Comparison::CellShow::Value);
    EXPECT_EQ(form->Grid()->Cell(5, 3), value);
    form->MCloseCompareClick();
    EXPECT_EQ(MarkedCells(), 0);
    EXPECT_FALSE(ChildNamed<QLabel>(*form, "CompareStatus")->isVisibleTo(form.get()));
    EXPECT_FALSE(ChildNamed(*form, "MTakeReference")->isEnabled());
}

TEST_F(CompareTest, TakingFromTheReferenceChangesOnlyWhatWasChosen) {
    // The current grid cell, through the edit menu.
    const std::vector<uint8_t> before = Data();
    form->ShowMapCell(MapKind::Uoz, 2, 4);
    form->MTakeReferenceClick();
    std::vector<uint8_t> wanted = before;
    wanted[uoz] = refBytes[uoz];
    EXPECT_EQ(Data(), wanted);
    EXPECT_EQ(MarkedCells(), 0);
    EXPECT_EQ(form->Grid()->Row(), 3); // the current cell stays
    EXPECT_EQ(form->Grid()->Col(), 5);

    // Lines of the differences window: the identification text and the code bytes.
    form->MDifferencesClick();
    QTreeWidget* tree = ChildNamed<TDiffForm>(*form, "DiffForm")->Tree;
    ASSERT_EQ(tree->topLevelItemCount(), 2); // identification, other bytes
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Идентификация"));
    EXPECT_EQ(tree->topLevelItem(1)->child(0)->text(0), QStringLiteral("0x0300–0x0301"));
    tree->topLevelItem(0)->setSelected(true); // a group stands for all its lines
    tree->topLevelItem(1)->child(0)->setSelected(true);
    ChildNamed<TDiffForm>(*form, "DiffForm")->TakeButton->click();
    EXPECT_EQ(Data(), refBytes);
    EXPECT_TRUE(form->Compare().Differences().Empty());
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST_F(CompareTest, DoubleClickOnAMapLineShowsTheCell) {
    form->MapCommand(MapKind::Tau);
    form->MDifferencesClick();
    QTreeWidgetItem* map =
        ChildNamed<TDiffForm>(*form, "DiffForm")->Tree->topLevelItem(0)->child(0);
    EXPECT_EQ(map->text(0), QStringLiteral("УОЗ (1)")); // the count per map
    QTreeWidgetItem* line = map->child(0);
    // Where, the cell's address, both values and the difference with its sign.
    EXPECT_EQ(line->text(1), QString::asprintf("0x%04X", uoz));
    const int delta = form->GetImage().ReadByte(uoz) - refBytes[uoz];
    EXPECT_EQ(line->text(4), QString::fromStdString((delta > 0 ? "+" : "") +
                                                    FormatMapNumber(delta * 0.5, 1, ",")));
    emit ChildNamed<TDiffForm>(*form, "DiffForm")->Tree->itemDoubleClicked(line, 0);
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Uoz);
    EXPECT_EQ(form->Grid()->Row(), 3);
    EXPECT_EQ(form->Grid()->Col(), 5);
}

// While the cells show the difference, a typed number is the difference: each selected cell
// gets its reference value plus the number, and a sum beyond the range writes nothing.
TEST_F(CompareTest, ANumberTypedIntoTheDifferenceViewIsTheDifference) {
    ChildNamed(*form, "MShowDifference")->trigger();
    // The differing cell (2, 4) and its right neighbour.
    for (Qt::Key key :
         {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right})
        QTest::keyClick(form->Grid(), key);
    QTest::keyClick(form->Grid(), Qt::Key_Right, Qt::ShiftModifier);
    const uint16_t next = static_cast<uint16_t>(uoz + 2);
    auto* editor = form->Grid()->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(form->Grid(), Qt::Key_F2);
    editor->setText(QStringLiteral("1"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(form->GetImage().ReadByte(uoz), refBytes[uoz] + 2); // +1° is two codes
    EXPECT_EQ(form->GetImage().ReadByte(next), refBytes[next] + 2);
    EXPECT_EQ(form->Grid()->Cell(5, 3), QStringLiteral("1,0"));
    // The step says it set the cells to the reference plus the difference.
    const QString step = form->Document().History().UndoName();
    EXPECT_TRUE(step.startsWith(QStringLiteral("УОЗ ")) &&
                step.endsWith(QStringLiteral(": эталон +1,0°")))
        << step.toStdString();

    const std::vector<uint8_t> bytes(form->GetImage().Bytes(),
                                     form->GetImage().Bytes() + FirmwareImage::Size);
    QTest::keyClick(form->Grid(), Qt::Key_F2);
    editor->setText(QStringLiteral("200"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(std::vector<uint8_t>(form->GetImage().Bytes(),
                                   form->GetImage().Bytes() + FirmwareImage::Size),
              bytes);
    EXPECT_FALSE(warnings.isEmpty());
}

TEST_F(CompareTest, ACutReferenceIsWarnedOfLikeAnOpenedFile) {
    QFile cut(Path("short.bin"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write("\x01\x02");
    cut.close();
    openAnswers.push_back({Path("short.bin"), 2});
    form->MCompareClick();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("Недостающие байты заполнены нулями.")));
    EXPECT_TRUE(ChildNamed<QLabel>(*form, "CompareStatus")
                    ->text()
                    .startsWith(QStringLiteral("Эталон: short.bin")));
}

using CompareUnit = MainFormTest;

TEST_F(CompareUnit, TheUnitsLastReadIsAReferenceOnceThereIsOne) {
    form->OpenFromCommandLine(WriteImage("a.bin", 3, false));
    EXPECT_FALSE(ChildNamed(*form, "MCompareUnit")->isEnabled());
    form->Compare().RememberUnitRead(PatternBytes(4));
    form->RefreshAfterProgrammer();
    ASSERT_TRUE(ChildNamed(*form, "MCompareUnit")->isEnabled());
    ChildNamed(*form, "MCompareUnit")->trigger();
    EXPECT_EQ(form->Compare().ReferenceName(), QStringLiteral("ЭБУ (последнее чтение)"));
    EXPECT_FALSE(form->Compare().Differences().Empty());
    EXPECT_EQ(std::vector<uint8_t>(form->Compare().Reference()->Bytes(),
                                   form->Compare().Reference()->Bytes() + FirmwareImage::Size),
              PatternBytes(4));
}

using CompareParameters = MainFormTest;

TEST_F(CompareParameters, ConstantsOfTheDatabaseAreListedAndTaken) {
    // The database the constants window uses: "database.mdb" in the working folder.
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QFile::copy(VELMARIS_FIXTURES_DIR "/database-jet4.mdb", Path("database.mdb")));
    QDir::setCurrent(dir.path());
    form->OpenFromCommandLine(WriteImage("a.bin", 5, false));
    FirmwareImage ref;
    FillPattern(ref, 5);
    FlipBits(ref, 0x6104, 0x10); // XX_RPM
    ref.SaveBin(QFile::encodeName(Path("ref.bin")).toStdString());
    openAnswers.push_back({Path("ref.bin"), 2});
    form->MCompareClick();
    QDir::setCurrent(saved);

    form->MDifferencesClick();
    QTreeWidget* tree = ChildNamed<TDiffForm>(*form, "DiffForm")->Tree;
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Константы и вектора"));
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 1);
    EXPECT_TRUE(tree->topLevelItem(0)->child(0)->text(0).startsWith(QStringLiteral("XX_RPM ")));
    tree->topLevelItem(0)->child(0)->setSelected(true);
    ChildNamed<TDiffForm>(*form, "DiffForm")->TakeButton->click();
    EXPECT_EQ(Data(), std::vector<uint8_t>(ref.Bytes(), ref.Bytes() + FirmwareImage::Size));
}

} // namespace
