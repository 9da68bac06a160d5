#include "app/main_form.h"

#include "app/about_box.h"
#include "app/edit_history.h"
#include "app/elided_label.h"
#include "app/history_view.h"
#include "app/tool_icons.h"
#include "maps/cell_edit.h"
#include "maps/view/map_grid.h"
#include "maps/view/opengl_panel.h"
#include "params/parameter_compare.h"
#include "params/view/equipment_form.h"
#include "params/view/ident_form.h"
#include "params/view/opt_form_run.h"
#include "programmer/view/prog_form.h"
#include "ui/app_settings.h"
#include "ui/error_report.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUndoStack>
#include <QUndoView>
#include <QVBoxLayout>
#include <functional>
#include <string>

const QString TMainForm::MainCaption = QStringLiteral("Редактор алгоритма и калибровок двигателя");

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), Image(std::make_unique<FirmwareImage>()),
      Dialogs(MainFormDialogs::Defaults()) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(MainCaption + QStringLiteral("[*]"));
    resize(757, 577);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);

    History = new EditHistory(*Image, this);
    connect(History, &EditHistory::Applied, this, [this](const StepCell& cell) {
        Guard([&] { UndoApplied(cell.map, cell.row, cell.col); });
    });
    connect(History, &EditHistory::JournalFailed, this, [this](const QString& message) {
        Dialogs.Warn(this, QStringLiteral("Журнал несохранённых изменений не записан: они не "
                                          "будут восстановлены после сбоя.\n") +
                               message);
    });

    BuildActions();
    BuildMenu();
    BuildToolBar();
    BuildPanels();
    BuildEditMenu();
    BuildCompareMenu();
    RestoreWindowSettings();
    BuildStatusBar();
    ChangedBytesLabel = new QLabel(this);
    ChangedBytesLabel->setObjectName(QStringLiteral("ChangedBytesLabel"));
    statusBar()->addPermanentWidget(ChangedBytesLabel);
    UpdateEditState();
}

// The window is destroyed at the end of every run, however the run ends.
TMainForm::~TMainForm() {
    SaveWindowSettings();
    // A window that ends in order has asked about its changes: nothing is left to recover. The
    // history listens on the image, which goes before the window's children do.
    History->DiscardJournal();
    delete HistoryWindow;
    delete History;
}

bool TMainForm::Guard(const std::function<void()>& command) {
    return RunGuarded(this, command);
}

void TMainForm::BuildActions() {
    auto makeAction = [this](const char* name, const QString& text, const QString& hint,
                             const QIcon& icon, const QKeySequence& key) {
        auto* a = new QAction(icon, text, this);
        a->setObjectName(QString::fromLatin1(name));
        if (!hint.isEmpty())
            a->setToolTip(hint);
        a->setShortcut(key);
        return a;
    };
    AOpen = makeAction("AOpen", QStringLiteral("&Открыть..."), QStringLiteral("Открыть"),
                       OpenIcon(), QKeySequence(Qt::CTRL | Qt::Key_O));
    ASave = makeAction("ASave", QStringLiteral("Сохранить"), QStringLiteral("Сохранить"),
                       SaveIcon(), QKeySequence(Qt::CTRL | Qt::Key_S));
    AHelp = makeAction("AHelp", QStringLiteral("&Справка"), QString(), HelpIcon(),
                       QKeySequence(Qt::Key_F1));
    connect(AOpen, &QAction::triggered, this, [this] { AOpenExecute(); });
    connect(ASave, &QAction::triggered, this, [this] { ASaveExecute(); });
    connect(AHelp, &QAction::triggered, this, [this] { AHelpExecute(); });
    MOpen = AOpen;
    MSave = ASave;
    MInfo = AHelp;

    // Undo and redo name the step they take back or make again.
    QUndoStack* stack = History->Stack();
    AUndo = makeAction("AUndo", QStringLiteral("Отменить"), QStringLiteral("Отменить"),
                       style()->standardIcon(QStyle::SP_ArrowBack), QKeySequence::Undo);
    ARedo = makeAction("ARedo", QStringLiteral("Повторить"), QStringLiteral("Повторить"),
                       style()->standardIcon(QStyle::SP_ArrowForward), QKeySequence());
    ARedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    AHistory = makeAction("AHistory", QStringLiteral("История изменений"), QString(), QIcon(),
                          QKeySequence());
    auto caption = [](QAction* action, const QString& verb, const QString& step) {
        const QString text = step.isEmpty() ? verb : verb + QStringLiteral(": ") + step;
        action->setText(text);
        action->setToolTip(text);
    };
    connect(History, &EditHistory::NamesChanged, this,
            [=](const QString& undoName, const QString& redoName) {
                caption(AUndo, QStringLiteral("Отменить"), undoName);
                caption(ARedo, QStringLiteral("Повторить"), redoName);
            });
    connect(stack, &QUndoStack::canUndoChanged, AUndo, &QAction::setEnabled);
    connect(stack, &QUndoStack::canRedoChanged, ARedo, &QAction::setEnabled);
    AUndo->setEnabled(false);
    ARedo->setEnabled(false);
    connect(AUndo, &QAction::triggered, this, [this] {
        if (!History->Recording())
            History->Stack()->undo();
    });
    connect(ARedo, &QAction::triggered, this, [this] {
        if (!History->Recording())
            History->Stack()->redo();
    });
    connect(AHistory, &QAction::triggered, this,
            [this] { Guard([this] { ShowHistoryWindow(); }); });
}

void TMainForm::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    // Every item runs its handler, a member function or a callable taking the window, through
    // the error report.
    auto item = [this](QMenu* menu, const std::string& name, const QString& text, auto handler,
                       bool checkable = false) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromStdString(name));
        a->setCheckable(checkable);
        connect(a, &QAction::triggered, this,
                [this, handler] { Guard([&] { std::invoke(handler, this); }); });
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    MFile = bar->addMenu(QStringLiteral("&Файл"));
    MFile->setObjectName(QStringLiteral("MFile"));
    MFile->addAction(MOpen);
    separator(MFile, "N3");
    MFile->addAction(MSave);
    separator(MFile, "N2");
    BuildRecentMenu();
    MFile->addMenu(MRecent);
    separator(MFile, "N8");
    MExit = item(MFile, "MExit", QStringLiteral("В&ыход"), &TMainForm::MExitClick);

    MEdit = bar->addMenu(QStringLiteral("&Правка"));
    MEdit->setObjectName(QStringLiteral("MEdit"));
    MEdit->addAction(AUndo);
    MEdit->addAction(ARedo);
    separator(MEdit, "NEdit1");
    MEdit->addAction(AHistory);

    Graph = bar->addMenu(QStringLiteral("Настройки"));
    Graph->setObjectName(QStringLiteral("Graph"));
    MLam = item(Graph, "MLam", QStringLiteral("Работа с датчиком кислорода"), &TMainForm::MLamClick,
                true);
    MColour =
        item(Graph, "MColour", QStringLiteral("Цвет по значению"), &TMainForm::MColourClick, true);
    MColour->setChecked(AppSettings().Value(QStringLiteral("view/colourByValue")).toBool());
    separator(Graph, "N4");
    // The map items come from the catalogue rows, in menu order: first the kinds that carry a
    // check mark (group 1, radio marks), then the two one-column tables. The group may be left
    // with no item marked (a correction map chosen twice); MapCommand applies the set / flip
    // rules after the menu's own toggle.
    auto* radio = new QActionGroup(this);
    radio->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    bool inRadioGroup = true;
    for (const MapInfo* info : MapMenuOrder()) {
        const bool radioItem = info->mark != MarkRule::Never;
        if (radioItem != inRadioGroup)
            separator(Graph, "N7");
        inRadioGroup = radioItem;
        const MapKind kind = info->kind;
        QAction* a = item(
            Graph, std::string("M") + info->name, QString::fromUtf8(info->menuText),
            [kind](TMainForm* form) { form->MapCommand(kind); }, radioItem);
        if (*info->shortcut != '\0')
            a->setShortcut(QKeySequence(QString::fromUtf8(info->shortcut)));
        if (radioItem)
            radio->addAction(a);
        MapItems[static_cast<std::size_t>(kind)] = a;
    }
    separator(Graph, "N5");
    MOpt = item(Graph, "MOpt", QStringLiteral("Константы и вектора"), &TMainForm::MOptClick);
    separator(Graph, "N6");
    MIden = item(Graph, "MIden", QStringLiteral("Идентификация"), &TMainForm::MIdenClick);
    MComp = item(Graph, "MComp", QStringLiteral("Комплектация"), &TMainForm::MCompClick);
    separator(Graph, "N9");
    MDatabase =
        item(Graph, "MDatabase", QStringLiteral("База параметров…"), &TMainForm::MDatabaseClick);
    MUoz->setChecked(true);

    // A top-level entry that acts when clicked.
    MFlasher = bar->addAction(QStringLiteral("Программатор"));
    MFlasher->setObjectName(QStringLiteral("MFlasher"));
    connect(MFlasher, &QAction::triggered, this, [this] { Guard([this] { MFlasherClick(); }); });

    MHelp = bar->addMenu(QStringLiteral("&Помощь"));
    MHelp->setObjectName(QStringLiteral("MHelp"));
    MHelp->addAction(MInfo);
    MHelp->addAction(QStringLiteral("О программе"), this, [this] { ShowAboutBox(this); });
}

void TMainForm::BuildToolBar() {
    ToolBar9 = addToolBar(QStringLiteral("ToolBar9"));
    ToolBar9->setObjectName(QStringLiteral("ToolBar9"));
    ToolBar9->setMovable(false);
    ToolBar9->setFixedHeight(25);
    ToolBar9->setIconSize(QSize(16, 16));
    ToolBar9->addAction(AOpen);
    ToolBar9->addAction(ASave);
    ToolBar9->addAction(AUndo);
    ToolBar9->addAction(ARedo);
    ToolBar9->addSeparator()->setObjectName(QStringLiteral("ToolButton6"));
    ToolBar9->addAction(AHelp);
}

void TMainForm::BuildPanels() {
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);

    Panel1 = new QFrame(Splitter1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(black);
    Panel1Layout = new QVBoxLayout(Panel1);
    Panel1Layout->setContentsMargins(2, 2, 2, 2);
    Panel1Layout->setAlignment(Qt::AlignTop);

    Panel2 = new QWidget(Splitter1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* right = new QVBoxLayout(Panel2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    ToolBar1 = new QToolBar(Panel2);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(29);
    Label1 = new TElidedLabel(QStringLiteral("УОЗ"), ToolBar1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setToolTip(Label1->text());
    ToolBar1->addWidget(Label1);
    right->addWidget(ToolBar1);
    SG = new TMapGrid(Panel2);
    SG->setObjectName(QStringLiteral("SG"));
    right->addWidget(SG, 1);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Panel2);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({757 - 275 - 5, 275});
    setCentralWidget(Splitter1);

    connect(Splitter1, &QSplitter::splitterMoved, this,
            [this] { Guard([this] { Splitter1Moved(); }); });
    BuildView();
    connect(SG, &TMapGrid::SelectCell, this,
            [this](int col, int row) { Guard([&] { SGSelectCell(col, row); }); });
    connect(SG, &TMapGrid::KeyDown, this, [this](QKeyEvent* e) { Guard([&] { SGKeyDown(e); }); });
}

void TMainForm::BuildStatusBar() {
    // Long map names are cut short rather than widening the window; the tooltip keeps it all.
    StatusLabel = new TElidedLabel(QString(), statusBar());
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    statusBar()->addWidget(StatusLabel, 1);
}

void TMainForm::Splitter1Moved() {
    // The 3-D view keeps its height at 0.8 of its width.
    PlaceView();
}

void TMainForm::Repaint3D() {
    if (OpenGLPanel1)
        OpenGLPanel1->update();
}

void TMainForm::MExitClick() {
    close();
}

void TMainForm::MOptClick() {
    RunParameterWindow(*Image, this, ChosenDatabase(), LoadedFile, WindowEditPath());
    RefreshAfterOptions();
}

// The identification and equipment windows write into Data themselves when they close, which
// makes one step of each closing that changed something; no map depends on what they change,
// so the grid is not refilled afterwards.
void TMainForm::MIdenClick() {
    {
        TIdentForm form(*Image, this);
        History->Record(QStringLiteral("Идентификация"), [&] { form.exec(); });
    }
    UpdateEditState();
    RefreshStatus(); // the checksum may no longer agree
}

void TMainForm::MCompClick() {
    {
        TEquipmentForm form(*Image, this);
        History->Record(QStringLiteral("Комплектация"), [&] { form.exec(); });
    }
    UpdateEditState();
    RefreshStatus();
}

void TMainForm::MFlasherClick() {
    {
        // The port and speed of the last run, so a unit on an adapter is found again.
        AppSettings settings;
        QString port = settings.Text(QStringLiteral("programmer/port"));
        if (port.isEmpty())
            port = QStringLiteral("COM1");
        TProgForm form(*Image, this, port, CurrentFile);
        const QString speed = settings.Text(QStringLiteral("programmer/speed"));
        if (form.Speed->findText(speed) >= 0)
            form.Speed->setCurrentText(speed);
        form.Edit = WindowEditPath();
        form.exec();
        settings.SetValue(QStringLiteral("programmer/port"), form.ComNumber->currentText());
        settings.SetValue(QStringLiteral("programmer/speed"), form.Speed->currentText());
        if (!form.LastUnitRead().empty())
            LastUnitRead = form.LastUnitRead();
    } // the window and its port are gone before the image is shown again
    RefreshAfterProgrammer();
}

void TMainForm::RefreshAfterProgrammer() {
    ShowMap(CurrentMap);
    UpdateComparison(); // a unit read makes "Сравнить с ЭБУ" possible
    UpdateEditState();
}

void TMainForm::RefreshAfterOptions() {
    // The grid keeps its numbers until the next map command; the 3-D view shows the new ones.
    RefreshStatus();
    Repaint3D();
    UpdateEditState();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool mayClose = false;
    Guard([&] { mayClose = FormCloseQuery(); });
    if (mayClose) {
        // Saved or given up: nothing is left to recover.
        History->DiscardJournal();
        if (HistoryWindow)
            HistoryWindow->close();
        event->accept();
    } else {
        event->ignore();
    }
}

void TMainForm::ShowHistoryWindow() {
    if (!HistoryWindow) {
        HistoryWindow = new QWidget(this, Qt::Tool);
        HistoryWindow->setObjectName(QStringLiteral("HistoryWindow"));
        HistoryWindow->setWindowTitle(QStringLiteral("История изменений"));
        auto* layout = new QVBoxLayout(HistoryWindow);
        layout->setContentsMargins(0, 0, 0, 0);
        HistoryView = NewHistoryView(*History, HistoryWindow);
        layout->addWidget(HistoryView);
        HistoryWindow->resize(300, 400);
    }
    HistoryWindow->show();
    HistoryWindow->raise();
}
