#include "app/about_box.h"
#include "app/help_form.h"
#include "main_form_fixture.h"
#include "maps/view/map_grid.h"

#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>

namespace {

// Captions of a menu's items in order, separators as "-".
QStringList Captions(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

} // namespace

using Menu = MainFormTest;

TEST_F(Menu, CaptionsAndOrder) {
    EXPECT_EQ(Captions(form->menuBar()->actions()),
              QStringList({"&Файл", "&Правка", "Настройки", "Программатор", "&Помощь"}));
    EXPECT_EQ(form->MFlasher->menu(), nullptr); // acts when clicked
    EXPECT_EQ(Captions(form->MFile->actions()),
              QStringList({"&Открыть...", "-", "Сохранить", "-", "Сравнить с…", "Сравнить с ЭБУ",
                           "Различия", "Закрыть сравнение", "Показывать в ячейках", "-",
                           "Последние файлы", "-", "В&ыход"}));
    EXPECT_EQ(Captions(form->Graph->actions()),
              QStringList({"Работа с датчиком кислорода",
                           "Цвет по значению",
                           "-",
                           "УОЗ",
                           "Топливоподача",
                           "Коэффициент коррекции УОЗ по оборотам и дросселю",
                           "Коэффициент коррекции топливоподачи по оборотам и дросселю",
                           "Коррекция УОЗ по оборотам и дросселю",
                           "Коррекция топливоподачи по оборотам и дросселю",
                           "Лямбда",
                           "Чувствительность RCOD",
                           "-",
                           "Максимальный цикловой расход воздуха",
                           "Положение дросселя, при макс. цикловом расходе воздуха",
                           "-",
                           "Константы и вектора",
                           "-",
                           "Идентификация",
                           "Комплектация",
                           "-",
                           "База параметров…"}));
    EXPECT_EQ(Captions(form->MHelp->actions()), QStringList({"&Справка", "О программе"}));
    // The eight surface maps are radio items (a menu draws the items of an exclusive group
    // with a radio mark); the oxygen switch is a check item of its own.
    for (QAction* a : {form->MUoz, form->MTau, form->MCoefCorUoz, form->MCoefCorTau, form->MCorUoz,
                       form->MCorTau, form->MLambda, form->MRcod}) {
        ASSERT_NE(a->actionGroup(), nullptr) << a->text().toStdString();
        EXPECT_TRUE(a->actionGroup()->isExclusive());
        EXPECT_EQ(a->actionGroup(), form->MUoz->actionGroup());
    }
    EXPECT_EQ(form->MLam->actionGroup(), nullptr);
    EXPECT_TRUE(form->MLam->isCheckable());
    EXPECT_FALSE(form->MPmax->isCheckable());
    EXPECT_FALSE(form->MDrmax->isCheckable());

    EXPECT_EQ(form->AOpen->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(form->ASave->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(form->AHelp->shortcut(), QKeySequence("F1"));
    EXPECT_EQ(form->AOpen->toolTip(), "Открыть");
    EXPECT_EQ(form->ASave->toolTip(), "Сохранить");
    EXPECT_EQ(form->ToolBar9->actions().size(), 6);
    EXPECT_EQ(form->ToolBar9->actions()[0], form->AOpen);
    EXPECT_EQ(form->ToolBar9->actions()[1], form->ASave);
    EXPECT_EQ(form->ToolBar9->actions()[2], form->AUndo);
    EXPECT_EQ(form->ToolBar9->actions()[3], form->ARedo);
    EXPECT_TRUE(form->ToolBar9->actions()[4]->isSeparator());
    EXPECT_EQ(form->ToolBar9->actions()[5], form->AHelp);
    for (QAction* a : {form->AOpen, form->ASave, form->AHelp})
        EXPECT_FALSE(a->icon().isNull());
    // Menu items are found by their names.
    EXPECT_EQ(form->findChild<QAction*>("MUoz"), form->MUoz);
    EXPECT_EQ(form->findChild<QAction*>("MFlasher"), form->MFlasher);
}

TEST_F(Menu, StartState) {
    EXPECT_EQ(form->windowTitle(), "Редактор алгоритма и калибровок двигателя[*]");
    EXPECT_TRUE(form->MUoz->isChecked());
    EXPECT_FALSE(form->MLam->isChecked());
    EXPECT_FALSE(form->Image->UseO2Maps);
    EXPECT_EQ(form->Label1->text(), "УОЗ");
    EXPECT_EQ(form->CurrentMap, MapKind::Uoz);
    EXPECT_EQ(form->CellWidth, CellWidthKind::None);
    EXPECT_EQ(form->RotX, 20);
    EXPECT_EQ(form->RotY, 320);
    EXPECT_EQ(form->SG->RowCount(), 2);
    EXPECT_EQ(form->SG->ColCount(), 2);
    EXPECT_EQ(form->Panel1->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(form->Panel1->frameShadow(), QFrame::Sunken);
    ASSERT_NE(form->Panel1Layout, nullptr);
    EXPECT_EQ(form->Splitter1->handleWidth(), 5);
    EXPECT_EQ(form->Splitter1->sizes().value(1), 275);
    EXPECT_EQ(form->SG->columnWidth(1), 32);
    EXPECT_EQ(form->SG->rowHeight(1), 20);
}

// The longest map name would widen the right-hand panel and shrink the 3-D view as soon as the
// window is resized; it is cut short with an ellipsis instead, and stays whole in the label's
// text and tooltip.
TEST_F(Menu, ALongMapNameIsElidedInsteadOfWideningThePanel) {
    form->MCoefCorTau->trigger();
    form->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(form->Panel2->width(), 275);
    EXPECT_LE(form->Label1->geometry().right(), form->ToolBar1->contentsRect().right());
    EXPECT_GT(form->Label1->width(), 200); // and uses the room there is
    EXPECT_EQ(form->Label1->text(), form->MCoefCorTau->text());
    EXPECT_EQ(form->Label1->toolTip(), form->MCoefCorTau->text());
}

TEST_F(Menu, CheckMarkRules) {
    auto marked = [&] { return form->MarkedMap(); };
    // "Set" items stay marked when chosen again and clear the rest of the group.
    form->MTau->trigger();
    EXPECT_TRUE(form->MTau->isChecked());
    EXPECT_FALSE(form->MUoz->isChecked());
    form->MTau->trigger();
    EXPECT_TRUE(form->MTau->isChecked());
    EXPECT_EQ(form->Label1->text(), "Топливоподача");
    EXPECT_EQ(form->CurrentMap, MapKind::Tau);

    // "Flip" items clear their mark when chosen while marked; the grid still shows them.
    form->MCoefCorUoz->trigger();
    EXPECT_EQ(marked(), MapKind::CoefCorUoz);
    form->MCoefCorUoz->trigger();
    EXPECT_EQ(marked(), std::nullopt);
    EXPECT_EQ(form->CurrentMap, MapKind::CoefCorUoz);
    EXPECT_EQ(form->SG->ColCount(), 8);
    form->MCorTau->trigger();
    EXPECT_EQ(marked(), MapKind::CorTau);

    // The one-column tables leave the mark where it was.
    form->MPmax->trigger();
    EXPECT_FALSE(form->MPmax->isChecked());
    EXPECT_EQ(marked(), MapKind::CorTau);
    EXPECT_EQ(form->Label1->text(), "Максимальный цикловой расход воздуха");
    EXPECT_EQ(form->CurrentMap, MapKind::Pmax);
    form->MDrmax->trigger();
    EXPECT_EQ(marked(), MapKind::CorTau);
    EXPECT_EQ(form->CurrentMap, MapKind::Drmax);

    form->MRcod->trigger();
    form->MLambda->trigger();
    EXPECT_EQ(marked(), MapKind::Lambda);
    EXPECT_FALSE(form->MRcod->isChecked());

    // The oxygen switch flips its own mark and leaves the label alone.
    form->MLam->trigger();
    EXPECT_TRUE(form->MLam->isChecked());
    EXPECT_TRUE(form->Image->UseO2Maps);
    EXPECT_EQ(form->Label1->text(), "Лямбда");
    form->MLam->trigger();
    EXPECT_FALSE(form->Image->UseO2Maps);
}

TEST_F(Menu, HelpOpensTheContentsPageAndEveryPageExists) {
    form->AHelp->trigger();
    EXPECT_EQ(helpShown, 1);

    THelpForm* help = ShowHelpWindow(form.get());
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->Browser->source().toString(), THelpForm::ContentsPage);
    const QString contents = help->Browser->toPlainText();
    EXPECT_TRUE(contents.contains(QStringLiteral("Содержание")));
    // Every page the contents links to is compiled in and has its own text.
    const QStringList pages = {"files", "maps",      "editing",   "params",
                               "ident", "equipment", "programmer"};
    for (const QString& page : pages) {
        help->Browser->setSource(QUrl("qrc:/help/" + page + ".html"));
        EXPECT_GT(help->Browser->toPlainText().size(), 300) << page.toStdString();
        EXPECT_NE(help->Browser->toPlainText(), contents) << page.toStdString();
    }
    // A second request brings the same window back to the contents.
    EXPECT_EQ(ShowHelpWindow(form.get()), help);
    EXPECT_EQ(help->Browser->source().toString(), THelpForm::ContentsPage);
}

// «О программе» names the program, its version and its licence; the licence words are those
// the Debian copyright file and --version use.
TEST(AboutBox, NamesTheVersionAndTheLicence) {
    const QString text = AboutText();
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("^Velmaris \\d+\\.\\d+\n"))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Copyright (C) ")));
    EXPECT_TRUE(text.contains(QStringLiteral("GNU GPL version 3 or later")));
    EXPECT_TRUE(text.contains(QStringLiteral("NO WARRANTY")));
}

TEST_F(Menu, ExitRunsTheCloseQuestion) {
    form->Image->WriteByte(5, 9);
    askAnswers.push_back(SaveAnswer::Cancel);
    form->MExit->trigger();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(form->isVisible());
    askAnswers.push_back(SaveAnswer::No);
    form->MExit->trigger();
    EXPECT_FALSE(form->isVisible());
}
