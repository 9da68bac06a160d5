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
#include <QSet>
#include <QSplitter>
#include <QTest>
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
              QStringList({"&Файл", "&Правка", "&Вид", "&Настройки", "П&рограмматор", "П&омощь"}));
    EXPECT_EQ(ChildNamed(*form, "MFlasher")->menu(), nullptr); // acts when clicked
    EXPECT_EQ(Captions(ChildNamed<QMenu>(*form, "MFile")->actions()),
              QStringList({"&Открыть...", "-", "Сохранить", "-", "Сравнить с…", "Сравнить с ЭБУ",
                           "Различия", "Закрыть сравнение", "Показывать в ячейках", "-",
                           "Последние файлы", "-", "В&ыход"}));
    EXPECT_EQ(Captions(ChildNamed<QMenu>(*form, "Graph")->actions()),
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
                           "База параметров…",
                           "Пределы значений…"}));
    EXPECT_EQ(Captions(ChildNamed<QMenu>(*form, "MHelp")->actions()),
              QStringList({"&Справка", "О программе"}));
    // The eight surface maps are radio items (a menu draws the items of an exclusive group
    // with a radio mark); the oxygen switch is a check item of its own.
    for (QAction* a : {form->MapAction(MapKind::Uoz), form->MapAction(MapKind::Tau),
                       form->MapAction(MapKind::CoefCorUoz), form->MapAction(MapKind::CoefCorTau),
                       form->MapAction(MapKind::CorUoz), form->MapAction(MapKind::CorTau),
                       form->MapAction(MapKind::Lambda), form->MapAction(MapKind::Rcod)}) {
        ASSERT_NE(a->actionGroup(), nullptr) << a->text().toStdString();
        EXPECT_TRUE(a->actionGroup()->isExclusive());
        EXPECT_EQ(a->actionGroup(), form->MapAction(MapKind::Uoz)->actionGroup());
    }
    EXPECT_EQ(ChildNamed(*form, "MLam")->actionGroup(), nullptr);
    EXPECT_TRUE(ChildNamed(*form, "MLam")->isCheckable());
    EXPECT_FALSE(form->MapAction(MapKind::Pmax)->isCheckable());
    EXPECT_FALSE(form->MapAction(MapKind::Drmax)->isCheckable());

    EXPECT_EQ(ChildNamed(*form, "AOpen")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(ChildNamed(*form, "ASave")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(ChildNamed(*form, "AHelp")->shortcut(), QKeySequence("F1"));
    EXPECT_EQ(ChildNamed(*form, "AOpen")->toolTip(), "Открыть");
    EXPECT_EQ(ChildNamed(*form, "ASave")->toolTip(), "Сохранить");
    EXPECT_EQ(ChildNamed<QToolBar>(*form, "ToolBar9")->actions().size(), 6);
    EXPECT_EQ(ChildNamed<QToolBar>(*form, "ToolBar9")->actions()[0], ChildNamed(*form, "AOpen"));
    EXPECT_EQ(ChildNamed<QToolBar>(*form, "ToolBar9")->actions()[1], ChildNamed(*form, "ASave"));
    EXPECT_EQ(ChildNamed<QToolBar>(*form, "ToolBar9")->actions()[2], ChildNamed(*form, "AUndo"));
    EXPECT_EQ(ChildNamed<QToolBar>(*form, "ToolBar9")->actions()[3], ChildNamed(*form, "ARedo"));
    EXPECT_TRUE(ChildNamed<QToolBar>(*form, "ToolBar9")->actions()[4]->isSeparator());
    EXPECT_EQ(ChildNamed<QToolBar>(*form, "ToolBar9")->actions()[5], ChildNamed(*form, "AHelp"));
    for (QAction* a :
         {ChildNamed(*form, "AOpen"), ChildNamed(*form, "ASave"), ChildNamed(*form, "AHelp")})
        EXPECT_FALSE(a->icon().isNull());
    // Menu items are found by their names.
    EXPECT_EQ(form->findChild<QAction*>("MUoz"), form->MapAction(MapKind::Uoz));
    EXPECT_EQ(form->findChild<QAction*>("MFlasher"), ChildNamed(*form, "MFlasher"));
}

TEST_F(Menu, StartState) {
    EXPECT_EQ(form->windowTitle(), "Редактор алгоритма и калибровок двигателя[*]");
    EXPECT_TRUE(form->MapAction(MapKind::Uoz)->isChecked());
    EXPECT_FALSE(ChildNamed(*form, "MLam")->isChecked());
    EXPECT_FALSE(form->GetImage().UseO2Maps);
    EXPECT_EQ(form->findChild<QLabel*>("MapCaption")->text(), "УОЗ");
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Uoz);
    EXPECT_EQ(form->Cursor().CellWidth, CellWidthKind::None);
    EXPECT_EQ(form->View().RotX, 20);
    EXPECT_EQ(form->View().RotY, 320);
    EXPECT_EQ(form->Grid()->RowCount(), 2);
    EXPECT_EQ(form->Grid()->ColCount(), 2);
    EXPECT_EQ(ChildNamed<QFrame>(*form, "ViewPanel")->palette().color(QPalette::Window),
              QColor(Qt::black));
    EXPECT_EQ(ChildNamed<QFrame>(*form, "ViewPanel")->frameShadow(), QFrame::Sunken);
    ASSERT_NE(ChildNamed<QFrame>(*form, "ViewPanel")->layout(), nullptr);
    EXPECT_EQ(ChildNamed<QSplitter>(*form, "ViewSplitter")->handleWidth(), 5);
    EXPECT_EQ(ChildNamed<QSplitter>(*form, "ViewSplitter")->sizes().value(1), 275);
    EXPECT_EQ(form->Grid()->columnWidth(1), 32);
    EXPECT_EQ(form->Grid()->rowHeight(1), 20);
}

// The longest map name would widen the right-hand panel and shrink the 3-D view as soon as the
// window is resized; it is cut short with an ellipsis instead, and stays whole in the label's
// text and tooltip.
TEST_F(Menu, ALongMapNameIsElidedInsteadOfWideningThePanel) {
    form->MapAction(MapKind::CoefCorTau)->trigger();
    form->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(ChildNamed<QWidget>(*form, "GridPanel")->width(), 275);
    EXPECT_LE(form->findChild<QLabel*>("MapCaption")->geometry().right(),
              ChildNamed<QToolBar>(*form, "MapToolBar")->contentsRect().right());
    EXPECT_GT(form->findChild<QLabel*>("MapCaption")->width(), 200); // and uses the room there is
    EXPECT_EQ(form->findChild<QLabel*>("MapCaption")->text(),
              form->MapAction(MapKind::CoefCorTau)->text());
    EXPECT_EQ(form->findChild<QLabel*>("MapCaption")->toolTip(),
              form->MapAction(MapKind::CoefCorTau)->text());
}

TEST_F(Menu, CheckMarkRules) {
    auto marked = [&] { return form->MarkedMap(); };
    // "Set" items stay marked when chosen again and clear the rest of the group.
    form->MapAction(MapKind::Tau)->trigger();
    EXPECT_TRUE(form->MapAction(MapKind::Tau)->isChecked());
    EXPECT_FALSE(form->MapAction(MapKind::Uoz)->isChecked());
    form->MapAction(MapKind::Tau)->trigger();
    EXPECT_TRUE(form->MapAction(MapKind::Tau)->isChecked());
    EXPECT_EQ(form->findChild<QLabel*>("MapCaption")->text(), "Топливоподача");
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Tau);

    // "Flip" items clear their mark when chosen while marked; the grid still shows them.
    form->MapAction(MapKind::CoefCorUoz)->trigger();
    EXPECT_EQ(marked(), MapKind::CoefCorUoz);
    form->MapAction(MapKind::CoefCorUoz)->trigger();
    EXPECT_EQ(marked(), std::nullopt);
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::CoefCorUoz);
    EXPECT_EQ(form->Grid()->ColCount(), 8);
    form->MapAction(MapKind::CorTau)->trigger();
    EXPECT_EQ(marked(), MapKind::CorTau);

    // The one-column tables leave the mark where it was.
    form->MapAction(MapKind::Pmax)->trigger();
    EXPECT_FALSE(form->MapAction(MapKind::Pmax)->isChecked());
    EXPECT_EQ(marked(), MapKind::CorTau);
    EXPECT_EQ(form->findChild<QLabel*>("MapCaption")->text(),
              "Максимальный цикловой расход воздуха");
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Pmax);
    form->MapAction(MapKind::Drmax)->trigger();
    EXPECT_EQ(marked(), MapKind::CorTau);
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Drmax);

    form->MapAction(MapKind::Rcod)->trigger();
    form->MapAction(MapKind::Lambda)->trigger();
    EXPECT_EQ(marked(), MapKind::Lambda);
    EXPECT_FALSE(form->MapAction(MapKind::Rcod)->isChecked());

    // The oxygen switch flips its own mark and leaves the label alone.
    ChildNamed(*form, "MLam")->trigger();
    EXPECT_TRUE(ChildNamed(*form, "MLam")->isChecked());
    EXPECT_TRUE(form->GetImage().UseO2Maps);
    EXPECT_EQ(form->findChild<QLabel*>("MapCaption")->text(), "Лямбда");
    ChildNamed(*form, "MLam")->trigger();
    EXPECT_FALSE(form->GetImage().UseO2Maps);
}

TEST_F(Menu, HelpOpensTheContentsPageAndEveryPageExists) {
    ChildNamed(*form, "AHelp")->trigger();
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
    form->GetImage().WriteByte(5, 9);
    askAnswers.push_back(SaveAnswer::Cancel);
    ChildNamed(*form, "MExit")->trigger();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(form->isVisible());
    askAnswers.push_back(SaveAnswer::No);
    ChildNamed(*form, "MExit")->trigger();
    EXPECT_FALSE(form->isVisible());
}

// The help's key table must list every shortcut the window answers, so a key added to a menu
// without a line in the help is caught here.
TEST_F(Menu, HelpKeyTableListsEveryShortcut) {
    THelpForm* help = ShowHelpWindow(form.get());
    ASSERT_NE(help, nullptr);
    help->Browser->setSource(QUrl(THelpForm::ContentsPage));
    // Whole key names only: "Ctrl+S" must not be found inside "Ctrl+Shift+O".
    QSet<QString> listed;
    const QRegularExpression keyName(
        QStringLiteral("(?<![\\w+])(?:(?:Ctrl|Shift|Alt)\\+)*(?:F\\d{1,2}|[A-Z0-9])(?![\\w+])"));
    for (const QRegularExpressionMatch& m : keyName.globalMatch(help->Browser->toPlainText()))
        listed.insert(m.captured());
    for (QAction* action : form->findChildren<QAction*>())
        for (const QKeySequence& key : action->shortcuts()) {
            const QString text = key.toString(QKeySequence::PortableText);
            EXPECT_TRUE(listed.contains(text))
                << text.toStdString() << " (" << action->text().toStdString() << ")";
        }
}

// Every top menu has its own Alt letter, no two actions share a key, and the keys reach their
// items from the grid: a map key switches the map, an operation key runs the operation.
TEST_F(Menu, AltLettersAndShortcutsAreUniqueAndActFromTheGrid) {
    QSet<QChar> letters;
    for (QAction* top : form->menuBar()->actions()) {
        const int amp = top->text().indexOf('&');
        ASSERT_GE(amp, 0) << top->text().toStdString();
        EXPECT_FALSE(letters.contains(top->text()[amp + 1].toLower())) << top->text().toStdString();
        letters.insert(top->text()[amp + 1].toLower());
    }
    QSet<QString> keys;
    for (QAction* action : form->findChildren<QAction*>())
        for (const QKeySequence& key : action->shortcuts()) {
            const QString text = key.toString(QKeySequence::PortableText);
            EXPECT_FALSE(keys.contains(text)) << text.toStdString();
            keys.insert(text);
        }
    for (const char* op : {"MSetValue", "MAddValue", "MMultiply", "MInterpolateRows",
                           "MInterpolateCols", "MInterpolateRect", "MSmooth"})
        EXPECT_FALSE(ChildNamed(*form, op)->shortcut().isEmpty()) << op;

    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Grid()->setFocus();
    QTest::keyClick(form->Grid(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Tau);
    QTest::keyClick(form->Grid(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Drmax);
    QTest::keyClick(form->Grid(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Uoz);
    int asked = 0;
    form->Dialogs().AskNumber = [&](QWidget*, const QString&, const QString&, QString&) {
        ++asked;
        return false;
    };
    QTest::keyClick(form->Grid(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
}
