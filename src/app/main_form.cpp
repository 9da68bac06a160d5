#include "app/main_form.h"
#include "app/view_layout.h"

#include "app/about_box.h"
#include "app/database_choice.h"
#include "app/elided_label.h"
#include "app/help_form.h"
#include "app/history_view.h"
#include "app/recent_menu.h"
#include "app/tool_icons.h"
#include "document/edit_history.h"
#include "maps/map_status.h"
#include "maps/view/map_grid.h"
#include "params/view/equipment_form.h"
#include "params/view/ident_form.h"
#include "params/view/opt_form_run.h"
#include "programmer/view/prog_form.h"
#include "ui/app_settings.h"
#include "ui/decimal_separator.h"
#include "ui/error_report.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <functional>
#include <string>

QString TMainForm::MainCaption() {
    return QStringLiteral("Редактор алгоритма и калибровок двигателя");
}

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), Asks(CommandDialogs::Defaults()), Doc(std::make_unique<ImageDocument>()),
      Compared(std::make_unique<Comparison>(Doc->Image())) {
    Asks.ShowHelp = ShowHelpWindow;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(MainCaption() + QStringLiteral("[*]"));
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
    BuildStatusBar();
    BuildCompareMenu();
    RestoreWindowSettings();
    Warnings = LoadWarningLimits(AppSettings());
    UpdateEditState();
    if (!AppSettings::IgnoredFile().isEmpty()) {
        MessageLabel->setText(QStringLiteral("%1 — не обычный файл: настройки не читаются и не "
                                             "сохраняются.")
                                  .arg(QDir::toNativeSeparators(AppSettings::IgnoredFile())));
        MessageLabel->setToolTip(MessageLabel->text());
    }
}

// The window is destroyed at the end of every run, however the run ends.
TMainForm::~TMainForm() {
    SaveWindowSettings();
    // A window that ends in order has asked about its changes: nothing is left to recover. The
    // history list shows the document's history, which goes before the window's children do.
    Doc->DiscardJournal();
    delete HistoryWindow;
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

    AUndo = makeAction("AUndo", QStringLiteral("Отменить"), QStringLiteral("Отменить"),
                       style()->standardIcon(QStyle::SP_ArrowBack), QKeySequence::Undo);
    ARedo = makeAction("ARedo", QStringLiteral("Повторить"), QStringLiteral("Повторить"),
                       style()->standardIcon(QStyle::SP_ArrowForward), QKeySequence());
    ARedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    AHistory = makeAction("AHistory", QStringLiteral("История изменений"), QString(), QIcon(),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    ConnectUndoActions(Doc->History(), AUndo, ARedo);
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
    MRecent = new TRecentMenu(this);
    connect(MRecent, &TRecentMenu::Chosen, this,
            [this](const QString& file) { Guard([&] { OpenRecentFile(file); }); });
    MFile->addMenu(MRecent);
    separator(MFile, "N8");
    item(MFile, "MExit", QStringLiteral("В&ыход"), &QWidget::close)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    MEdit = bar->addMenu(QStringLiteral("&Правка"));
    MEdit->setObjectName(QStringLiteral("MEdit"));
    MEdit->addAction(AUndo);
    MEdit->addAction(ARedo);
    separator(MEdit, "NEdit1");
    MEdit->addAction(AHistory);

    Graph = bar->addMenu(QStringLiteral("&Настройки"));
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
    item(Graph, "MOpt", QStringLiteral("Константы и вектора"), &TMainForm::MOptClick)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    separator(Graph, "N6");
    item(Graph, "MIden", QStringLiteral("Идентификация"), &TMainForm::MIdenClick);
    item(Graph, "MComp", QStringLiteral("Комплектация"), &TMainForm::MCompClick);
    separator(Graph, "N9");
    item(Graph, "MDatabase", QStringLiteral("База параметров…"),
         [](TMainForm* form) { ChooseDatabase(form->Asks, form, form->Doc->LoadedFile()); });
    item(Graph, "MLimits", QStringLiteral("Пределы значений…"), &TMainForm::MLimitsClick);
    MapAction(MapKind::Uoz)->setChecked(true);

    // A top-level entry that acts when clicked.
    QAction* flasher = bar->addAction(QStringLiteral("П&рограмматор"));
    flasher->setObjectName(QStringLiteral("MFlasher"));
    connect(flasher, &QAction::triggered, this, [this] { Guard([this] { MFlasherClick(); }); });

    QMenu* help = bar->addMenu(QStringLiteral("П&омощь"));
    help->setObjectName(QStringLiteral("MHelp"));
    help->addAction(AHelp);
    help->addAction(QStringLiteral("О программе"), this, [this] { ShowAboutBox(this); });
}

void TMainForm::BuildToolBar() {
    // The command bar; the saved window state knows it by its old name.
    QToolBar* commandBar = addToolBar(QStringLiteral("ToolBar9"));
    commandBar->setObjectName(QStringLiteral("ToolBar9"));
    commandBar->setMovable(false);
    commandBar->setFixedHeight(25);
    commandBar->setIconSize(QSize(16, 16));
    commandBar->addActions({AOpen, ASave, AUndo, ARedo});
    commandBar->addSeparator()->setObjectName(QStringLiteral("ToolButton6"));
    commandBar->addAction(AHelp);
}

void TMainForm::BuildPanels() {
    ViewSplitter = new QSplitter(Qt::Horizontal, this);
    ViewSplitter->setObjectName(QStringLiteral("ViewSplitter"));
    ViewSplitter->setHandleWidth(5);
    ViewSplitter->setChildrenCollapsible(false);

    ViewPanel = new TViewPanel(
        ViewSplitter,
        [this](SurfaceFrame& frame, bool withReference) {
            const std::optional<MapKind> map = MarkedMap();
            BuildSurfaceFrame(GetImage(), map, Edit.SelRow, Edit.SelCol, frame,
                              withReference ? Compared->Reference() : nullptr,
                              std::string(1, LocaleDecimalSeparator()), MColour->isChecked());
            return map;
        },
        [this](int row, int col) {
            const std::optional<MapKind> map = MarkedMap();
            return map ? QString::fromStdString(CellReadoutText(
                             GetImage(), *map, row, col, std::string(1, LocaleDecimalSeparator())))
                       : QString();
        });

    // The grid under the map's caption.
    auto* gridPanel = new QWidget(ViewSplitter);
    gridPanel->setObjectName(QStringLiteral("GridPanel"));
    auto* right = new QVBoxLayout(gridPanel);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    auto* mapToolBar = new QToolBar(gridPanel);
    mapToolBar->setObjectName(QStringLiteral("MapToolBar"));
    mapToolBar->setFixedHeight(29);
    MapCaption = new TElidedLabel(QStringLiteral("УОЗ"), mapToolBar);
    MapCaption->setObjectName(QStringLiteral("MapCaption"));
    MapCaption->setToolTip(MapCaption->text());
    mapToolBar->addWidget(MapCaption);
    right->addWidget(mapToolBar);
    SG = new TMapGrid(gridPanel);
    SG->setObjectName(QStringLiteral("SG"));
    right->addWidget(SG, 1);

    ViewSplitter->addWidget(ViewPanel);
    ViewSplitter->addWidget(gridPanel);
    ViewSplitter->setStretchFactor(0, 1);
    ViewSplitter->setStretchFactor(1, 0);
    ViewSplitter->setSizes({757 - 275 - 5, 275});
    setCentralWidget(ViewSplitter);
    // The "Вид" menu chooses what the splitter's left pane shows: nothing, 3-D or 2-D.
    ViewChoices = new TViewLayout(ViewSplitter, ViewPanel, [this](TSectionView& view) {
        ShowCellSections(view, GetImage(), Edit.CurrentMap, Edit.SelRow, Edit.SelCol,
                         Compared->IsOpen() ? Compared->Reference() : nullptr);
    });
    menuBar()->insertMenu(Graph->menuAction(), ViewChoices->Menu());

    // The 3-D view keeps its height at 0.8 of its width as the splitter moves.
    connect(ViewSplitter, &QSplitter::splitterMoved, ViewPanel, &TViewPanel::PlaceView);
    connect(SG, &TMapGrid::SelectCell, this,
            [this](int col, int row) { Guard([&] { SGSelectCell(col, row); }); });
    connect(SG, &TMapGrid::KeyDown, this, [this](QKeyEvent* e) { Guard([&] { SGKeyDown(e); }); });
    // The status line's summary follows the selection as it grows.
    connect(SG->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { Guard([this] { RefreshStatus(); }); });
}

void TMainForm::BuildStatusBar() {
    // Long map names are cut short rather than widening the window; the tooltip keeps it all.
    StatusLabel = new TElidedLabel(QString(), statusBar());
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    statusBar()->addWidget(StatusLabel, 2);
    // What the last edit did has a part of its own, so it never hides the cell's line.
    MessageLabel = new TElidedLabel(QString(), statusBar());
    MessageLabel->setObjectName(QStringLiteral("MessageLabel"));
    statusBar()->addWidget(MessageLabel, 1);
    // The comparison's label comes before the count of changed bytes.
    for (QLabel** label : {&CompareStatus, &ChangedBytesLabel}) {
        *label = new QLabel(this);
        statusBar()->addPermanentWidget(*label);
    }
    CompareStatus->setObjectName(QStringLiteral("CompareStatus"));
    ChangedBytesLabel->setObjectName(QStringLiteral("ChangedBytesLabel"));
}

void TMainForm::MOptClick() {
    RunParameterWindow(GetImage(), this, ChosenDatabase(), Doc->LoadedFile(), WindowEditPath());
    // The grid keeps its numbers until the next map command; the 3-D view shows the new ones.
    RefreshStatus();
    ViewPanel->Repaint();
    UpdateEditState();
}

// The identification and equipment windows write into Data themselves when they close, which
// makes one step of each closing that changed something; no map depends on what they change,
// so the grid is not refilled afterwards.
void TMainForm::MIdenClick() {
    TIdentForm form(GetImage(), this);
    RunRecorded(form, QStringLiteral("Идентификация"));
}

void TMainForm::MCompClick() {
    TEquipmentForm form(GetImage(), this);
    RunRecorded(form, QStringLiteral("Комплектация"));
}

void TMainForm::RunRecorded(QDialog& window, const QString& stepName) {
    Doc->History().Record(stepName, [&] { window.exec(); });
    UpdateEditState();
    RefreshStatus(); // the checksum may no longer agree
}

void TMainForm::MFlasherClick() {
    {
        // The port and speed of the last run, so a unit on an adapter is found again.
        AppSettings settings;
        TProgForm form(GetImage(), this, settings.Text(QStringLiteral("programmer/port")),
                       Doc->CurrentFile());
        const QString speed = settings.Text(QStringLiteral("programmer/speed"));
        if (form.Speed->findText(speed) >= 0)
            form.Speed->setCurrentText(speed);
        form.Edit = WindowEditPath();
        const QSize size = settings.Value(QStringLiteral("programmer/size")).toSize();
        if (size.isValid())
            form.resize(size.expandedTo(form.minimumSize()));
        form.exec();
        settings.SetValue(QStringLiteral("programmer/size"), form.size());
        settings.SetValue(QStringLiteral("programmer/port"), form.ComNumber->currentText());
        settings.SetValue(QStringLiteral("programmer/speed"), form.Speed->currentText());
        Compared->RememberUnitRead(form.LastUnitRead());
        if (form.ImageReadAt().isValid()) {
            Doc->AdoptUnitRead(QStringLiteral("ЭБУ, прочитан ") +
                               form.ImageReadAt().toString(QStringLiteral("HH:mm")));
            UpdateCaption();
        }
    } // the window and its port are gone before the image is shown again
    RefreshAfterProgrammer();
}

void TMainForm::RefreshAfterProgrammer() {
    ShowMap(Edit.CurrentMap);
    UpdateComparison(); // a unit read makes "Сравнить с ЭБУ" possible
    UpdateEditState();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool mayClose = false;
    Guard([&] { mayClose = FormCloseQuery(); });
    if (!mayClose)
        return event->ignore();
    // Saved or given up: nothing is left to recover.
    Doc->DiscardJournal();
    if (HistoryWindow)
        HistoryWindow->close();
    event->accept();
}

void TMainForm::ShowHistoryWindow() {
    if (!HistoryWindow)
        HistoryWindow = NewHistoryWindow(Doc->History(), this);
    HistoryWindow->show();
    HistoryWindow->raise();
}
