#pragma once

#include "app/value_limits.h"
#include "app/view_panel.h"
#include "document/comparison.h"
#include "document/image_document.h"
#include "document/left_journals.h"
#include "image/edit_steps.h"
#include "ui/command_dialogs.h"
#include "ui/error_report.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QDialog;
class QKeyEvent;
class QLabel;
class QMenu;
class QSplitter;
class TDiffForm;
class TMapGrid;
class TRecentMenu;
class TViewLayout;
struct CellRect;
struct MapEditCount;

// Where editing in the grid stands: the table shown and the edit state of its current cell.
struct MapCursor {
    MapKind CurrentMap;
    CellWidthKind CellWidth;
    int32_t SelRow;
    int32_t SelCol;
    int32_t CellAddress;
    int32_t CellRaw;
};

// The main window: the menu that leads to every command and window, the map grid on the right
// and the 3-D view on the left. The document (the image, its history, journal and file, and
// what the file commands decide) and the comparison live in src/document; map layout, cell
// editing and the view's geometry are computed by the maps core. This class moves the results
// into widgets and asks what the document says must be asked.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The window title; once a file is open or saved, " - " and the file's name follow it.
    static QString MainCaption();

    // The one image every window reads and writes, and the document around it.
    FirmwareImage& GetImage() { return Doc->Image(); }
    ImageDocument& Document() { return *Doc; }
    Comparison& Compare() { return *Compared; }
    // The dialogs and message boxes the commands open; tests replace them.
    CommandDialogs& Dialogs() { return Asks; }
    // The warning limits of each table (Настройки → Пределы значений…), from the settings.
    WarningLimitSet& ValueWarnings() { return Warnings; }
    TMapGrid* Grid() const { return SG; }
    QAction* MapAction(MapKind kind) const; // the menu item of a map kind
    // The map whose item carries the radio mark, if any: the one the 3-D view draws.
    std::optional<MapKind> MarkedMap() const;
    const MapCursor& Cursor() const { return Edit; }
    // Angles, placement and drags of the 3-D view.
    SurfaceViewState& View() { return ViewPanel->State(); }
    // The "Вид" menu and the pane beside the grid.
    TViewLayout* Views() const { return ViewChoices; }
    // True when the settings held a window geometry and it was restored (shown as left, then).
    bool GeometryRestored() const { return Restored; }

    // File commands, each with its dialogs. A file named on the command line opens without a
    // dialog, HEX by a ".hex" extension and binary otherwise; errors are reported alike.
    void AOpenExecute() {
        Guard([this] { OpenCommand(); });
    }
    void ASaveExecute() {
        Guard([this] { SaveCommand(); });
    }
    void AHelpExecute() {
        Guard([this] { Asks.ShowHelp(this); });
    }
    void OpenFromCommandLine(const QString& fileName);
    // At start-up without a file: offers each journal a crash left behind, until one is opened.
    void OfferLeftJournals();
    // The close question; true when the window may close.
    bool FormCloseQuery() { return ConfirmLoseChanges(); }

    // A map's menu command, run after the menu has toggled the item's mark.
    void MapCommand(MapKind kind);
    // Tints the grid or takes the tint away as the item's mark says, and remembers the choice.
    void MColourClick();
    // The programmer window; the image is shown again when it closes.
    void MFlasherClick();
    void MLimitsClick();
    void RefreshAfterProgrammer();

    // The one path of a user's edit: runs writes (which change the image only through its
    // byte, word and whole-image writes) as one step of the edit history named stepName, then
    // refreshes the grid, keeping the current cell, and the 3-D view.
    void ApplyEdit(const QString& stepName, const std::function<void()>& writes);
    // The same step recording for writes made inside a window, which refreshes the main window
    // itself when it closes.
    EditPath WindowEditPath();
    // Edit state of grid cell (ACol, ARow): address and stored value behind it.
    void SelectCellState(int ACol, int ARow);
    void SGSelectCell(int ACol, int ARow);
    // The selected cells; each edit of them is one ApplyEdit step, cells given a value beyond
    // their storage range are counted in the status bar.
    CellRect SelectedRect() const;
    void ApplyOperation(int operation, double operand);
    void EnterDifference(double delta);
    // Asks before values beyond the current table's warning limits are stored; true to go on.
    bool ConfirmWarnings(int top, int left, const CellValues& values);

    // Comparison with a reference image (main_form_compare.cpp). While a reference is open the
    // grid marks the cells that differ from it and can show the reference's values or the
    // differences instead of the image's; the 3-D view draws the reference under the image.
    void MCompareClick();
    void MCloseCompareClick();
    void MDifferencesClick();
    void SetCellShow(Comparison::CellShow show);
    // Makes an image the reference (decoded again when its map set differs from the image's).
    void OpenReference(std::unique_ptr<FirmwareImage> reference, const QString& name);
    // Shows a map with a data cell current, as a double-click in the differences window does.
    void ShowMapCell(MapKind kind, int row, int col);
    // Copies the stored bytes behind the cells selected in the grid from the reference, one step.
    void MTakeReferenceClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs one command through the top-level error report.
    bool Guard(const std::function<void()>& command) { return RunGuarded(this, command); }
    void BuildActions();
    void BuildMenu();
    void BuildToolBar();
    void BuildPanels();
    void BuildStatusBar();
    void BuildEditMenu();
    void BuildCompareMenu();
    void RestoreWindowSettings();
    void SaveWindowSettings();
    void OpenRecentFile(const QString& fileName);

    void OpenCommand();
    void OpenFile(const QString& fileName, ImageFormat format);
    // Loads the file and makes it the document's image, without a look at its journal.
    LoadedImage AdoptFile(const QString& fileName, ImageFormat format);
    // Opens what a left journal belongs to and applies its changes as one step.
    void RecoverLeftJournal(const LeftJournal& journal);
    // The open dialog and the format its answer asks for; nothing when cancelled.
    std::optional<ImageFormat> ChooseFile(QString& fileName);
    bool SaveCommand();
    bool ConfirmLoseChanges();
    // The journal of the file just opened: offers to restore what a crash left there, then
    // starts the file's journal afresh.
    void RecoverJournal();
    void UpdateCaption();

    void MLamClick();
    void MOptClick();
    void MIdenClick();
    void MCompClick();
    // Runs a window that writes the image when it closes; each closing that changed something
    // is one step of the history.
    void RunRecorded(QDialog& window, const QString& stepName);
    void MCompareUnitClick();
    void ShowHistoryWindow();

    // Fills the grid with a table and makes cell (1,1) current.
    void ShowMap(MapKind kind);
    // Writes every cell of a table into the grid (with the marks of changed cells) without
    // moving the current cell. keepLayout: the grid already shows this table, so its column
    // widths stay (they only ever widen) and only texts that differ are rewritten.
    void FillGrid(MapKind kind, bool keepLayout);
    // The text of data cell (row, col) of a map as the cell switch selects it.
    QString CellText(MapKind kind, int row, int col) const;
    void RewriteCurrentCell();
    // Keypad plus and minus step the current cell's stored value; every key rewrites the cell.
    void SGKeyDown(QKeyEvent* event);
    void SGValueEntered(const QString& text);
    void StepSelection(int delta);
    void AskAndApply(int operation);
    void CopySelection(bool withAxes);
    void PasteText(const QString& text);
    void ShowEditCount(const MapEditCount& count);
    // Shows the image after an edit, an undo or a redo, keeping the current cell.
    void RefreshAfterEdit();
    void UndoApplied(int map, int row, int col);
    // The marks, the status bar and the title's unsaved mark, from the bytes as they are now.
    void UpdateEditState();
    // Recolours the grid's cells from the shown table when colour by value is marked.
    void RefreshTints();
    // Rewrites the status line for the current map and cell; empty until an image is loaded.
    void RefreshStatus();
    // Compares again and refreshes the marks, the status bar and the differences window.
    void UpdateComparison();
    void MarkDifferences();
    // Copies the stored bytes behind the lines from the reference into the image, one step.
    void TakeFromReference(const std::vector<DiffLine>& lines);

    CommandDialogs Asks;
    std::unique_ptr<ImageDocument> Doc;
    std::unique_ptr<Comparison> Compared; // listens on the document's image, so goes first

    MapCursor Edit{MapKind::Uoz, CellWidthKind::None, 0, 0, 0, 0};
    bool Restored = false; // see GeometryRestored
    QString LastAddend;    // the last number added, where "Прибавить…" starts again
    WarningLimitSet Warnings;

    // Widgets: the splitter with the panel of the 3-D view on the left and the grid under the
    // map's caption on the right; the status bar's labels.
    QSplitter* ViewSplitter = nullptr;
    TViewPanel* ViewPanel = nullptr;
    TViewLayout* ViewChoices = nullptr;
    QLabel* MapCaption = nullptr;
    TMapGrid* SG = nullptr;
    QLabel* StatusLabel = nullptr;
    QLabel* MessageLabel = nullptr; // what the last edit did, e.g. "Изменено ячеек: 4"
    QLabel* ChangedBytesLabel = nullptr; // "Изменено байт: N"
    QLabel* CompareStatus = nullptr;
    QWidget* HistoryWindow = nullptr; // "История изменений", made when first asked for
    TDiffForm* DiffForm = nullptr;    // "Различия", made on first use

    // Actions and menus. The open, save and help items are the tool bar's actions.
    QAction* AOpen = nullptr;
    QAction* ASave = nullptr;
    QAction* AHelp = nullptr;
    QAction* AUndo = nullptr;
    QAction* ARedo = nullptr;
    QAction* AHistory = nullptr;
    QMenu* MFile = nullptr;
    QMenu* MEdit = nullptr;
    QMenu* Graph = nullptr;
    TRecentMenu* MRecent = nullptr;
    QAction* MLam = nullptr;
    QAction* MColour = nullptr;
    // The map items, made from the map catalogue and held in catalogue order.
    std::array<QAction*, MapKindCount> MapItems{};
    QAction* MCompareUnit = nullptr;
    QAction* MCloseCompare = nullptr;
    QAction* MDifferences = nullptr;
    std::array<QAction*, 3> ShowItems{}; // what cells show, in Comparison::CellShow order
    QAction* MTakeReference = nullptr;
};
