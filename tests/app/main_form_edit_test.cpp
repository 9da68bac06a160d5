#include "app/value_limits.h"
#include "main_form_fixture.h"
#include "document/edit_history.h"
#include "maps/cell_edit.h"
#include "maps/map_operations.h"
#include "maps/view/map_grid.h"
#include "ui/app_settings.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

namespace {

class MapEdit : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        form->OpenFromCommandLine(WriteImage("edit.hex", 3, true));
        ASSERT_TRUE(errors.isEmpty());
        form->MapAction(MapKind::Uoz)->trigger();
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(form->Grid(), key, mods);
    }
    int Raw(int r, int c) const {
        return form->GetImage().ReadByte(MapCellAddress(form->GetImage(), MapKind::Uoz, r, c));
    }
    void SetRaw(int r, int c, uint8_t raw) {
        form->GetImage().WriteByte(MapCellAddress(form->GetImage(), MapKind::Uoz, r, c), raw);
    }
    void Mouse(QEvent::Type type, int col, int row, Qt::MouseButtons buttons) {
        const QPoint at = form->Grid()->visualItemRect(form->Grid()->item(row, col)).center();
        QMouseEvent e(type, at, form->Grid()->viewport()->mapToGlobal(at), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(form->Grid()->viewport(), &e);
    }
    bool SameRect(const CellRect& a, const CellRect& b) {
        return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    }
    QString Status() const { return ChildNamed<QLabel>(*form, "MessageLabel")->text(); }
    QString CellLine() const { return ChildNamed<QLabel>(*form, "StatusLabel")->text(); }
};

} // namespace

TEST_F(MapEdit, SelectionGrowsFromTheCurrentCellWhichStaysTheAnchor) {
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_TRUE(SameRect(form->SelectedRect(), {0, 0, 1, 1}));
    EXPECT_EQ(form->Grid()->Col(), 1);
    EXPECT_EQ(form->Grid()->Row(), 1);

    Mouse(QEvent::MouseButtonPress, 2, 2, Qt::LeftButton);
    Mouse(QEvent::MouseMove, 4, 3, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, 4, 3, Qt::NoButton);
    EXPECT_TRUE(SameRect(form->SelectedRect(), {1, 1, 2, 3}));
    EXPECT_EQ(form->Cursor().SelCol, 1);
    EXPECT_EQ(form->Cursor().SelRow, 1);

    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(SameRect(form->SelectedRect(), {0, 0, 38, 21}));
    EXPECT_EQ(form->Grid()->Col(), 2);
}

TEST_F(MapEdit, TypedValuesAndStepKeysChangeEverySelectedCell) {
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_1);
    auto* editor = form->Grid()->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    QTest::keyClicks(editor, "2,3");
    QTest::keyClick(editor, Qt::Key_Return);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(Raw(r, c), 25); // 12,3 -> 12,5 degrees
    EXPECT_EQ(form->Grid()->Cell(2, 2), "12,5");
    EXPECT_TRUE(Status().contains("Изменено ячеек: 4")) << Status().toStdString();
    // The message has its own part: the cell's line stays, with the selection's summary.
    EXPECT_TRUE(CellLine().contains("Выделено: 4")) << CellLine().toStdString();

    // Main-keyboard plus and Ctrl+Down step like the keypad, on every selected cell.
    SetRaw(1, 1, 255);
    Press(Qt::Key_Plus);
    EXPECT_EQ(Raw(0, 0), 26);
    EXPECT_EQ(Raw(1, 1), 255);
    EXPECT_TRUE(Status().contains("ближайшее крайнее значение: 1")) << Status().toStdString();
    Press(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Raw(0, 1), 25);
    EXPECT_EQ(form->Grid()->Row(), 1);

    // A text that is no number changes nothing.
    const auto before = Data();
    Press(Qt::Key_F2);
    editor->setText("12,x");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(Data(), before);
    EXPECT_EQ(warnings.size(), 1);

    // Nor does a value beyond what the cells can hold: the warning names their range.
    for (const char* text : {"2000", "-0,3", "nan"}) {
        Press(Qt::Key_F2);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    EXPECT_EQ(Data(), before);
    ASSERT_EQ(warnings.size(), 4);
    EXPECT_TRUE(warnings[1].contains("Значение вне допустимого диапазона: 2000"))
        << warnings[1].toStdString();
    EXPECT_TRUE(warnings[1].contains("от 0,0 до 127,5 °")) << warnings[1].toStdString();
}

// F2 opens the cell's value selected, so a negative value is typed with the keyboard alone:
// the minus replaces the selection as a sign instead of stepping the cell.
TEST_F(MapEdit, ANegativeValueIsTypedAfterF2) {
    form->MapAction(MapKind::Drmax)->trigger(); // throttle: -33,8 .. 145,8 %
    const QString before = form->Grid()->Cell(1, 1);
    Press(Qt::Key_F2);
    auto* editor = form->Grid()->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "-10");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(form->Grid()->Cell(1, 1).startsWith(QStringLiteral("-10")))
        << before.toStdString() << " -> " << form->Grid()->Cell(1, 1).toStdString();
}

TEST_F(MapEdit, MenuOperationsCopyAndPaste) {
    SetRaw(0, 0, 10);
    SetRaw(0, 1, 30);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    QStringList labels, starts;
    form->Dialogs().AskNumber = [&](QWidget*, const QString&, const QString& label, QString& text) {
        labels << label;
        starts << text;
        text = "150";
        return true;
    };
    ChildNamed(*form, "MMultiply")->trigger();
    EXPECT_EQ(Raw(0, 0), 15);
    EXPECT_EQ(Raw(0, 1), 45);
    // The history names the step by its table, its cells and what it did.
    const QString step = form->Document().History().UndoName();
    EXPECT_TRUE(step.startsWith("УОЗ ") && step.endsWith(": × 150 %")) << step.toStdString();
    EXPECT_TRUE(clampQuestions.isEmpty());

    // An operation that would take cells beyond the range asks first; Cancel writes nothing.
    const auto unchanged = Data();
    form->Dialogs().AskNumber = [&](QWidget*, const QString&, const QString& label, QString& text) {
        labels << label;
        starts << text;
        text = "120";
        return true;
    };
    ChildNamed(*form, "MAddValue")->trigger();
    EXPECT_EQ(Data(), unchanged);
    ASSERT_EQ(clampQuestions.size(), 1);
    EXPECT_TRUE(clampQuestions[0].contains("Ячеек вне допустимого диапазона: 1 (допустимо от 0,0 "
                                           "до 127,5 °)"))
        << clampQuestions[0].toStdString();
    clampAnswer = true;
    ChildNamed(*form, "MAddValue")->trigger();
    EXPECT_EQ(Raw(0, 0), 255); // 7,5 + 120 is beyond: the top
    EXPECT_EQ(Raw(0, 1), 255);
    // The percentage starts at 100 and the addend at 0, then at the last one typed; never at
    // the cell's value, which Enter out of habit would add to every cell.
    EXPECT_EQ(starts, QStringList({"100", "0", "120"}));
    EXPECT_EQ(labels, QStringList({"Умножить на, %:", "Прибавить, °:", "Прибавить, °:"}));
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(Data(), unchanged);

    ChildNamed(*form, "MCopy")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "7,5\t22,5\n");
    Press(Qt::Key_Down);
    QGuiApplication::clipboard()->setText("7,5\t22,5\n");
    ChildNamed(*form, "MPaste")->trigger();
    EXPECT_EQ(Raw(1, 0), 15);
    EXPECT_EQ(Raw(1, 1), 45);

    // Refused whole, with line and column, when not numbers or off the table.
    const auto before = Data();
    QGuiApplication::clipboard()->setText("1\t2\n3\tx\n");
    ChildNamed(*form, "MPaste")->trigger();
    QGuiApplication::clipboard()->setText(QString("1\t").repeated(22) + "1\n");
    ChildNamed(*form, "MPaste")->trigger();
    QGuiApplication::clipboard()->setText("1\t2000\n");
    ChildNamed(*form, "MPaste")->trigger();
    EXPECT_EQ(Data(), before);
    ASSERT_EQ(warnings.size(), 3);
    EXPECT_TRUE(warnings[2].contains("2000 (строка 2, столбец 2)")) << warnings[2].toStdString();
    EXPECT_TRUE(warnings[0].contains("строка 2, столбец 2")) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[1].contains("строка 1, столбец 23")) << warnings[1].toStdString();

    // The program's own text with axes pastes back: the axis line and column are skipped.
    ChildNamed(*form, "MCopyWithAxes")->trigger();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith("N\\P\t")) << copied.toStdString();
    const int copiedRaw = Raw(1, 0);
    Press(Qt::Key_Down);
    ChildNamed(*form, "MPaste")->trigger();
    EXPECT_EQ(warnings.size(), 3);
    EXPECT_EQ(Raw(2, 0), copiedRaw);
}

// Limits the user narrowed a table to catch typos that its storage would hold: a typed, pasted
// or operated value beyond them is stored only after a question whose default writes nothing.
TEST_F(MapEdit, WarningLimitsAskBeforeTypedPastedAndOperatedValues) {
    form->ValueWarnings()[static_cast<int>(MapKind::Uoz)] = WarningLimits{0, 40};
    SetRaw(0, 0, 10);
    SetRaw(0, 1, 0);
    const auto before = Data();
    auto type = [&](const char* text) {
        Press(Qt::Key_F2);
        auto* editor = form->Grid()->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
        ASSERT_NE(editor, nullptr);
        editor->setText(QString::fromUtf8(text));
        QTest::keyClick(editor, Qt::Key_Return);
    };
    type("40,2"); // beyond 40,0 as shown with one decimal
    QGuiApplication::clipboard()->setText("41\t10\n");
    ChildNamed(*form, "MPaste")->trigger();
    form->Dialogs().AskNumber = [](QWidget*, const QString&, const QString&, QString& text) {
        text = "36";
        return true;
    };
    Press(Qt::Key_Right, Qt::ShiftModifier);
    ChildNamed(*form, "MAddValue")->trigger(); // 5 + 36 is beyond, 0 + 36 is not
    EXPECT_EQ(Data(), before);
    ASSERT_EQ(clampQuestions.size(), 3);
    EXPECT_TRUE(clampQuestions[0].contains("за пределами предупреждения: 1 (пределы от 0,0 до "
                                           "40,0 °)"))
        << clampQuestions[0].toStdString();
    EXPECT_TRUE(clampQuestions[2].contains("за пределами предупреждения: 1"))
        << clampQuestions[2].toStdString();

    clampAnswer = true;
    ChildNamed(*form, "MAddValue")->trigger();
    EXPECT_EQ(Raw(0, 0), 82); // 41,0 once the user said so
    Press(Qt::Key_Left);
    clampQuestions.clear();
    type("40,04"); // shows as 40,0: inside
    EXPECT_TRUE(clampQuestions.isEmpty());
    EXPECT_EQ(Raw(0, 0), 80);
}

// The limits dialog takes a pair only when it makes sense for its table, and the settings keep
// the pairs from one run to the next; a hand-edited pair that makes no sense counts as none.
TEST_F(MapEdit, WarningLimitsDialogAndSettings) {
    ValueLimitsDialog dialog(form->GetImage(), form->ValueWarnings(), form.get());
    int uozRow = -1;
    for (int r = 0; r < dialog.Table->rowCount(); ++r)
        if (dialog.Table->item(r, 0)->text() == QString::fromUtf8(GetMapInfo(MapKind::Uoz).caption))
            uozRow = r;
    ASSERT_GE(uozRow, 0);
    EXPECT_EQ(dialog.Table->item(uozRow, 1)->text(), "от 0,0 до 127,5 °");
    auto take = [&](const char* low, const char* high) {
        dialog.Table->item(uozRow, 2)->setText(QString::fromUtf8(low));
        dialog.Table->item(uozRow, 3)->setText(QString::fromUtf8(high));
        return dialog.TakeRows();
    };
    EXPECT_TRUE(take("10", "130").contains("выходят за диапазон хранения"));
    EXPECT_TRUE(take("30", "20").contains("нижний предел больше верхнего"));
    EXPECT_TRUE(take("30", "").contains("нужны оба предела"));
    EXPECT_FALSE(dialog.Limits()[static_cast<int>(MapKind::Uoz)].has_value());
    EXPECT_TRUE(take("2,5", "45").isEmpty());
    const std::optional<WarningLimits> taken = dialog.Limits()[static_cast<int>(MapKind::Uoz)];
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->low, 2.5);
    EXPECT_EQ(taken->high, 45);

    {
        AppSettings settings;
        SaveWarningLimits(settings, dialog.Limits());
        settings.SetValue("limits/Rcod/low", "9");
        settings.SetValue("limits/Rcod/high", "x");
    }
    const WarningLimitSet loaded = LoadWarningLimits(AppSettings());
    ASSERT_TRUE(loaded[static_cast<int>(MapKind::Uoz)].has_value());
    EXPECT_EQ(loaded[static_cast<int>(MapKind::Uoz)]->high, 45);
    EXPECT_FALSE(loaded[static_cast<int>(MapKind::Rcod)].has_value());
    AppSettings settings;
    SaveWarningLimits(settings, WarningLimitSet{}); // the next test starts without limits
}
