#include "app/main_form.h"

#include "app/elided_label.h"
#include "app/history_view.h"
#include "app/tool_icons.h"
#include "document/edit_history.h"
#include "maps/cell_edit.h"
#include "maps/map_grid.h"
#include "maps/opengl_panel.h"
#include "params/comp_form.h"
#include "params/flash_form.h"
#include "params/opt_form_run.h"
#include "params/parameter_compare.h"
#include "programmer/prog_form.h"
#include "ui/app_settings.h"
#include "ui/error_report.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
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
    : QMainWindow(parent), Asks(MainFormDialogs::Defaults()),
      Doc(std::make_unique<ImageDocument>()), Compared(std::make_unique<Comparison>(Doc->Image())) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(MainCaption + QStringLiteral("[*]"));
    resize(757, 577);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);

    EditHistory* history = &Doc->History();
    connect(history, &EditHistory::Applied, this, [this](const StepCell& cell) {
        Guard([&] { UndoApplied(cell.map, cell.row, cell.col); });
    });
    connect(history, &EditHistory::JournalFailed, this, [this](const QString& message) {
        Asks.Warn(this, QStringLiteral("Журнал несохранённых изменений не записан: они не "
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
    // history list shows the document's history, which goes before the window's children do.
    Doc->DiscardJournal();
    delete HistoryWindow;
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

    // Undo and redo name the step they take back or make again.
    EditHistory* history = &Doc->History();
    QUndoStack* stack = history->Stack();
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
    connect(history, &EditHistory::NamesChanged, this,
            [=](const QString& undoName, const QString& redoName) {
                caption(AUndo, QStringLiteral("Отменить"), undoName);
                caption(ARedo, QStringLiteral("Повторить"), redoName);
            });
    connect(stack, &QUndoStack::canUndoChanged, AUndo, &QAction::setEnabled);
    connect(stack, &QUndoStack::canRedoChanged, ARedo, &QAction::setEnabled);
    AUndo->setEnabled(false);
    ARedo->setEnabled(false);
    connect(AUndo, &QAction::triggered, this, [history] {
        if (!history->Recording())
            history->Stack()->undo();
    });
    connect(ARedo, &QAction::triggered, this, [history] {
        if (!history->Recording())
            history->Stack()->redo();
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
    MFile->addAction(AOpen);
    separator(MFile, "N3");
    MFile->addAction(ASave);
    separator(MFile, "N2");
    BuildRecentMenu();
    MFile->addMenu(MRecent);
    separator(MFile, "N8");
    item(MFile, "MExit", QStringLiteral("В&ыход"), &TMainForm::MExitClick);

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
    // The map items come from the catalogue: first the kinds that carry a check mark (group 1,
    // radio marks), then the two one-column tables. The group may be left with no item marked
    // (a correction map chosen twice); MapCommand applies the set / flip rules after the menu's
    // own toggle.
    auto* radio = new QActionGroup(this);
    radio->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    auto mapItems = [&](bool radioGroup) {
        for (const MapInfo& info : MapCatalogue()) {
            if ((info.mark != MarkRule::Never) != radioGroup)
                continue;
            const MapKind kind = info.kind;
            QAction* a = item(
                Graph, std::string("M") + info.name, QString::fromUtf8(info.menuCaption),
                [kind](TMainForm* form) { form->MapCommand(kind); }, radioGroup);
            if (radioGroup)
                radio->addAction(a);
            MapItems[static_cast<std::size_t>(kind)] = a;
        }
    };
    mapItems(true);
    separator(Graph, "N7");
    mapItems(false);
    separator(Graph, "N5");
    item(Graph, "MOpt", QStringLiteral("Константы и вектора"), &TMainForm::MOptClick);
    separator(Graph, "N6");
    item(Graph, "MIden", QStringLiteral("Идентификация"), &TMainForm::MIdenClick);
    item(Graph, "MComp", QStringLiteral("Комплектация"), &TMainForm::MCompClick);
    separator(Graph, "N9");
    item(Graph, "MDatabase", QStringLiteral("База параметров…"), &TMainForm::MDatabaseClick);
    MapAction(MapKind::Uoz)->setChecked(true);

    // A top-level entry that acts when clicked.
    QAction* flasher = bar->addAction(QStringLiteral("Программатор"));
    flasher->setObjectName(QStringLiteral("MFlasher"));
    connect(flasher, &QAction::triggered, this, [this] { Guard([this] { MFlasherClick(); }); });

    QMenu* help = bar->addMenu(QStringLiteral("&Помощь"));
    help->setObjectName(QStringLiteral("MHelp"));
    help->addAction(AHelp);
}

void TMainForm::BuildToolBar() {
    // The saved window state knows the bar by its old name.
    CommandBar = addToolBar(QStringLiteral("ToolBar9"));
    CommandBar->setObjectName(QStringLiteral("ToolBar9"));
    CommandBar->setMovable(false);
    CommandBar->setFixedHeight(25);
    CommandBar->setIconSize(QSize(16, 16));
    CommandBar->addAction(AOpen);
    CommandBar->addAction(ASave);
    CommandBar->addAction(AUndo);
    CommandBar->addAction(ARedo);
    CommandBar->addSeparator()->setObjectName(QStringLiteral("ToolButton6"));
    CommandBar->addAction(AHelp);
}

void TMainForm::BuildPanels() {
    ViewSplitter = new QSplitter(Qt::Horizontal, this);
    ViewSplitter->setObjectName(QStringLiteral("ViewSplitter"));
    ViewSplitter->setHandleWidth(5);
    ViewSplitter->setChildrenCollapsible(false);

    ViewPanel = new QFrame(ViewSplitter);
    ViewPanel->setObjectName(QStringLiteral("ViewPanel"));
    ViewPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ViewPanel->setAutoFillBackground(true);
    QPalette black = ViewPanel->palette();
    black.setColor(QPalette::Window, Qt::black);
    ViewPanel->setPalette(black);
    auto* viewLayout = new QVBoxLayout(ViewPanel);
    viewLayout->setContentsMargins(2, 2, 2, 2);
    viewLayout->setAlignment(Qt::AlignTop);

    GridPanel = new QWidget(ViewSplitter);
    GridPanel->setObjectName(QStringLiteral("GridPanel"));
    auto* right = new QVBoxLayout(GridPanel);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    MapToolBar = new QToolBar(GridPanel);
    MapToolBar->setObjectName(QStringLiteral("MapToolBar"));
    MapToolBar->setFixedHeight(29);
    MapCaption = new TElidedLabel(QStringLiteral("УОЗ"), MapToolBar);
    MapCaption->setObjectName(QStringLiteral("MapCaption"));
    MapCaption->setToolTip(MapCaption->text());
    MapToolBar->addWidget(MapCaption);
    right->addWidget(MapToolBar);
    SG = new TMapGrid(GridPanel);
    SG->setObjectName(QStringLiteral("SG"));
    right->addWidget(SG, 1);

    ViewSplitter->addWidget(ViewPanel);
    ViewSplitter->addWidget(GridPanel);
    ViewSplitter->setStretchFactor(0, 1);
    ViewSplitter->setStretchFactor(1, 0);
    ViewSplitter->setSizes({757 - 275 - 5, 275});
    setCentralWidget(ViewSplitter);

    connect(ViewSplitter, &QSplitter::splitterMoved, this,
            [this] { Guard([this] { ViewSplitterMoved(); }); });
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

void TMainForm::MExitClick() {
    close();
}

void TMainForm::MOptClick() {
    RunParameterWindow(GetImage(), this, ChosenDatabase(), Doc->LoadedFile(), WindowEditPath());
    RefreshAfterOptions();
}

// The identification and equipment windows write into Data themselves when they close, which
// makes one step of each closing that changed something; no map depends on what they change,
// so nothing is decoded afterwards.
void TMainForm::MIdenClick() {
    {
        TFlashForm form(GetImage(), this);
        Doc->History().Record(QStringLiteral("Идентификация"), [&] { form.exec(); });
    }
    UpdateEditState();
    RefreshStatus(); // the checksum may no longer agree
}

void TMainForm::MCompClick() {
    {
        TCompForm form(GetImage(), this);
        Doc->History().Record(QStringLiteral("Комплектация"), [&] { form.exec(); });
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
        TProgForm form(GetImage(), this, port, Doc->CurrentFile());
        const QString speed = settings.Text(QStringLiteral("programmer/speed"));
        if (form.Speed->findText(speed) >= 0)
            form.Speed->setCurrentText(speed);
        form.Edit = WindowEditPath();
        form.exec();
        settings.SetValue(QStringLiteral("programmer/port"), form.ComNumber->currentText());
        settings.SetValue(QStringLiteral("programmer/speed"), form.Speed->currentText());
        Compared->RememberUnitRead(form.LastUnitRead());
    } // the window and its port are gone before the image is shown again
    RefreshAfterProgrammer();
}

void TMainForm::RefreshAfterProgrammer() {
    GetImage().Decode();
    ShowMap(CurrentMap);
    UpdateComparison(); // a unit read makes "Сравнить с ЭБУ" possible
    UpdateEditState();
}

void TMainForm::RefreshAfterOptions() {
    // The grid keeps its numbers until the next map command; the 3-D view shows the new ones.
    GetImage().Decode();
    RefreshStatus();
    Repaint3D();
    UpdateEditState();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool mayClose = false;
    Guard([&] { mayClose = FormCloseQuery(); });
    if (mayClose) {
        // Saved or given up: nothing is left to recover.
        Doc->DiscardJournal();
        if (HistoryWindow)
            HistoryWindow->close();
        event->accept();
    } else {
        event->ignore();
    }
}

void TMainForm::ShowHistoryWindow() {
    if (!HistoryWindow)
        HistoryWindow = NewHistoryWindow(Doc->History(), this);
    HistoryWindow->show();
    HistoryWindow->raise();
}
