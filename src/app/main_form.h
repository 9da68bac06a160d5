#pragma once

#include "app/main_form_dialogs.h"
#include "app/save_names.h"
#include "image/edit_steps.h"
#include "image/firmware_image.h"
#include "maps/image_compare.h"
#include "maps/map_catalogue.h"
#include "maps/surface_geometry.h"
#include "maps/surface_view.h"

#include <QMainWindow>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class EditHistory;
class QAction;
class QCloseEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QUndoView;
class QVBoxLayout;
class QWidget;
class TDiffForm;
class TMapGrid;
struct DiffLine;
struct ParameterTables;
struct CellRect;
struct MapEditCount;
class TOpenGLPanel;

// The main window: owns the one firmware image for the whole run, carries the file and help
// commands, the menu that leads to every other window, the map grid on the right and the
// panel for the 3-D view on the left. Map layout and cell editing are computed by the core
// (maps/map_catalogue.h, maps/cell_edit.h); this class only moves the results into widgets.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The window title; once a file is open or saved, " - " and the file's name follow it.
    static const QString MainCaption;

    // The one image every window reads and writes.
    FirmwareImage& GetImage() { return *Image; }
    std::unique_ptr<FirmwareImage> Image;

    // Name of the current file as chosen or as last saved (the ".hex" file of a save).
    QString CurrentFile;
    // The file the image was last opened from, and what that open warned of when the file did
    // not give a whole image (empty when it did): a save over that file asks first and names it.
    QString LoadedFile;
    QString LoadWarning;

    // Map state: the table shown in the grid and the edit state of its current cell.
    MapKind CurrentMap = MapKind::Uoz;
    CellWidthKind CellWidth = CellWidthKind::None;
    int32_t SelRow = 0;
    int32_t SelCol = 0;
    int32_t CellAddress = 0;
    int32_t CellRaw = 0;

    // Rotation and drag state of the 3-D view, in degrees and pixels.
    float RotX = StartRotX;
    float RotY = StartRotY;
    bool Dragging = false;
    int LastMouseX = 0;
    int LastMouseY = 0;
    // Scale, zoom and shift of the 3-D view, and the right-button drag that shifts it.
    ViewPlacement ViewPlace;
    std::optional<MapKind> FittedMap; // the marked map ViewPlace was fitted to
    bool Panning = false;
    int PanMouseX = 0;
    int PanMouseY = 0;

    // The edit history of the image: every user edit is one step of it.
    EditHistory* History = nullptr;

    // Dialogs and message boxes the commands open; tests replace them.
    MainFormDialogs Dialogs;

    // Widgets.
    QToolBar* ToolBar9 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* Panel1 = nullptr;             // black, lowered; holds the 3-D view
    QVBoxLayout* Panel1Layout = nullptr;  // Panel1's layout; the 3-D view is placed by hand
    TOpenGLPanel* OpenGLPanel1 = nullptr; // the 3-D view, at the top of Panel1
    QWidget* Panel2 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QLabel* Label1 = nullptr;
    TMapGrid* SG = nullptr;
    QLabel* StatusLabel = nullptr;       // the line in the status bar under the grid
    QLabel* ChangedBytesLabel = nullptr; // "Изменено байт: N" in the status bar
    QWidget* HistoryWindow = nullptr; // "История изменений", made when first asked for
    QUndoView* HistoryView = nullptr;

    // Actions and menu items. MOpen, MSave and MInfo are the actions themselves.
    QAction* AOpen = nullptr;
    QAction* ASave = nullptr;
    QAction* AHelp = nullptr;
    QAction* AUndo = nullptr;
    QAction* ARedo = nullptr;
    QAction* AHistory = nullptr;
    QMenu* MFile = nullptr;
    QMenu* Graph = nullptr;
    QMenu* MHelp = nullptr;
    QMenu* MEdit = nullptr; // "Правка": operations on the selected cells, copy and paste
    QAction* MOpen = nullptr;
    QAction* MSave = nullptr;
    QAction* MExit = nullptr;
    QAction* MLam = nullptr;
    QAction* MColour = nullptr; // "Цвет по значению": tint the grid's cells by their values
    // The ten map items, made from the map catalogue and held in catalogue order; each is also
    // known by its own name.
    std::array<QAction*, MapKindCount> MapItems{};
    QAction*& MUoz = MapItems[static_cast<std::size_t>(MapKind::Uoz)];
    QAction*& MTau = MapItems[static_cast<std::size_t>(MapKind::Tau)];
    QAction*& MCoefCorUoz = MapItems[static_cast<std::size_t>(MapKind::CoefCorUoz)];
    QAction*& MCoefCorTau = MapItems[static_cast<std::size_t>(MapKind::CoefCorTau)];
    QAction*& MCorUoz = MapItems[static_cast<std::size_t>(MapKind::CorUoz)];
    QAction*& MCorTau = MapItems[static_cast<std::size_t>(MapKind::CorTau)];
    QAction*& MPmax = MapItems[static_cast<std::size_t>(MapKind::Pmax)];
    QAction*& MLambda = MapItems[static_cast<std::size_t>(MapKind::Lambda)];
    QAction*& MRcod = MapItems[static_cast<std::size_t>(MapKind::Rcod)];
    QAction*& MDrmax = MapItems[static_cast<std::size_t>(MapKind::Drmax)];
    QAction* MOpt = nullptr;
    QAction* MIden = nullptr;
    QAction* MComp = nullptr;
    QAction* MFlasher = nullptr;
    QAction* MInfo = nullptr;
    QMenu* MRecent = nullptr; // "Файл → Последние файлы", rebuilt when it opens
    QAction* MDatabase = nullptr; // "Настройки → База параметров…"

    // True when the settings held a window geometry and it was restored; the program then
    // shows the window as it was left instead of maximised.
    bool GeometryRestored = false;

    // The menu item of a map kind.
    QAction* MapItem(MapKind kind) const;
    // The map whose menu item carries the radio mark, if any does. The 3-D view draws this one,
    // not CurrentMap.
    std::optional<MapKind> MarkedMap() const;

    // The one path of a user's edit: runs writes (which change the image only through its
    // byte, word and whole-image writes) as one step of the edit history named stepName, then
    // refreshes the grid, keeping the current cell, and the 3-D view.
    void ApplyEdit(const QString& stepName, const std::function<void()>& writes);
    // The same step recording for writes made inside a window, which refreshes the main window
    // itself when it closes.
    EditPath WindowEditPath();
    // Shows the image after an edit, an undo or a redo, keeping the current cell.
    void RefreshAfterEdit();
    // The marks, the status bar and the title's unsaved mark, from the bytes as they are now.
    void UpdateEditState();
    void ShowHistoryWindow();

    // Runs one command through the top-level error report.
    bool Guard(const std::function<void()>& command);

    // File commands. The Execute handlers run the whole command with its dialogs.
    void AOpenExecute();
    void ASaveExecute();
    void AHelpExecute();
    // Opens a file without a dialog, HEX by a ".hex" extension and binary otherwise (the
    // command line). Errors are reported like those of the open command.
    void OpenFromCommandLine(const QString& fileName);

    // Map commands (run after the menu has toggled the item's mark) and the oxygen switch.
    void MUozClick();
    void MTauClick();
    void MCoefCorUozClick();
    void MCoefCorTauClick();
    void MCorUozClick();
    void MCorTauClick();
    void MPmaxClick();
    void MLambdaClick();
    void MRcodClick();
    void MDrmaxClick();
    void MLamClick();
    // Tints the grid or takes the tint away as MColour's mark says, and remembers the choice.
    void MColourClick();
    void MExitClick();

    // Secondary windows, each filled in by the window's own code. After the programmer window
    // call RefreshAfterProgrammer(), after the constants window RefreshAfterOptions().
    void MOptClick();
    void MIdenClick();
    void MCompClick();
    void MFlasherClick();
    void RefreshAfterProgrammer();
    void RefreshAfterOptions();

    // Settings kept between runs (main_form_settings.cpp): the window's geometry, toolbars and
    // splitter, the recent files and the parameter database the user chose.
    void SaveWindowSettings();
    // Opens a recent file; a file that is gone is refused with a message and dropped from the
    // list.
    void OpenRecentFile(const QString& fileName);
    void MDatabaseClick();
    // The parameter database file the user chose; empty while none was chosen.
    QString ChosenDatabase() const;

    // Fills the grid with a table (does not change CurrentMap) and makes cell (1,1) current.
    void ShowMap(MapKind kind);
    // Writes every cell of a table into the grid (with the marks of changed cells) without
    // moving the current cell. keepLayout: the grid already shows this table, so its column
    // widths stay (they only ever widen) and only texts that differ are rewritten.
    void FillGrid(MapKind kind, bool keepLayout);
    // Edit state of grid cell (ACol, ARow): address and stored value behind it.
    void SelectCellState(int ACol, int ARow);
    void SGSelectCell(int ACol, int ARow);
    // Keypad plus and minus step the current cell's stored value; every key rewrites the cell.
    void SGKeyDown(QKeyEvent* event);
    void Splitter1Moved();
    // Editing of the selected cells (main_form_edit.cpp). Each edit is one ApplyEdit step;
    // cells given a value beyond their storage range are counted in the status bar.
    CellRect SelectedRect() const;
    void SGValueEntered(const QString& text);
    void StepSelection(int delta);
    void AskAndApply(int operation);
    void ApplyOperation(int operation, double operand);
    void CopySelection(bool withAxes);
    void PasteText(const QString& text);
    void ShowEditCount(const MapEditCount& count);
    QAction* MStepUp = nullptr;
    QAction* MStepDown = nullptr;
    QAction* MSetValue = nullptr;
    QAction* MAddValue = nullptr;
    QAction* MMultiply = nullptr;
    QAction* MInterpolateRows = nullptr;
    QAction* MInterpolateCols = nullptr;
    QAction* MInterpolateRect = nullptr;
    QAction* MSmooth = nullptr;
    QAction* MCopy = nullptr;
    QAction* MCopyWithAxes = nullptr;
    QAction* MPaste = nullptr;
    QAction* MSelectAll = nullptr;

    // Repaints the 3-D view, when there is one.
    void Repaint3D();
    // Recolours the grid's cells from the shown table when MColour is marked.
    void RefreshTints();
    // Rewrites the status line for the current map and cell; empty until an image is loaded.
    void RefreshStatus();

    // The 3-D view's handlers (main_form_view.cpp). The three drawing handlers run with the
    // panel's OpenGL context current.
    void OpenGLPanel1Init(TOpenGLPanel* sender);
    void OpenGLPanel1Resize(TOpenGLPanel* sender);
    void OpenGLPanel1Paint(TOpenGLPanel* sender);
    void OpenGLPanel1MouseDown(Qt::MouseButton button, int x, int y);
    void OpenGLPanel1MouseMove(int x, int y);
    void OpenGLPanel1MouseUp(Qt::MouseButton button);
    // Wheel zoom, and the reset of the Home key and of a double click.
    void OpenGLPanel1Wheel(int wheelDelta);
    void OpenGLPanel1Reset();
    // Scales the 3-D view so that the marked map fits it whole at the current angles, with no
    // zoom or shift: done for every newly marked map and every newly opened image.
    void FitView();

    // The close question; true when the window may close.
    bool FormCloseQuery();

    // Comparison with a reference image (main_form_compare.cpp). While Reference is open the
    // grid marks the cells that differ from it and can show the reference's values or the
    // differences instead of the image's; the 3-D view draws the reference under the image.
    enum class CellShow { Value, Reference, Difference };
    std::unique_ptr<FirmwareImage> Reference; // decoded with the image's map set; null when closed
    QString ReferenceName;                    // as the status bar names it
    ImageDifferences Differences;             // image against Reference, kept current
    // Records of the parameter database compared too; null without a readable database.
    std::unique_ptr<ParameterTables> CompareTables;
    CellShow Show = CellShow::Value;
    // The unit's memory as last read in the programmer window during this run; empty if none.
    std::vector<uint8_t> LastUnitRead;
    QAction* MCompare = nullptr;
    QAction* MCompareUnit = nullptr;
    QAction* MCloseCompare = nullptr;
    QAction* MDifferences = nullptr;
    QAction* MShowValue = nullptr;
    QAction* MShowReference = nullptr;
    QAction* MShowDifference = nullptr;
    QAction* MTakeReference = nullptr;
    QLabel* CompareStatus = nullptr;
    TDiffForm* DiffForm = nullptr; // the "Различия" window, made on first use

    void MCompareClick();
    void MCompareUnitClick();
    void MCloseCompareClick();
    void MDifferencesClick();
    void SetCellShow(CellShow show);
    // Makes an image the reference (it is decoded again here when its map set differs).
    void OpenReference(std::unique_ptr<FirmwareImage> reference, const QString& name);
    // Compares again and refreshes the marks, the status bar and the differences window.
    void UpdateComparison();
    // The text of data cell (row, col) of the shown map as the cell switch selects it.
    QString CellText(MapKind kind, int row, int col) const;
    // Shows a map with a data cell current, as a double-click in the differences window does.
    void ShowMapCell(MapKind kind, int row, int col);
    // Copies the stored bytes behind the lines from the reference into the image, one step.
    void TakeFromReference(const std::vector<DiffLine>& lines);
    // The same for the cells selected in the grid.
    void MTakeReferenceClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Loader { Hex, Bin };
    void BuildActions();
    void BuildMenu();
    void BuildToolBar();
    void BuildPanels();
    void BuildStatusBar();
    void BuildView();
    void BuildRecentMenu();
    void FillRecentMenu();
    void RestoreWindowSettings();
    void RememberRecentFile(const QString& fileName);
    // Places OpenGLPanel1 at the top of Panel1, as wide as the panel and 0.8 as high.
    void PlaceView();
    void OpenCommand();
    void OpenFile(const QString& fileName, Loader loader);
    // Loads a file into a new image without touching the current one; warning says how the
    // file fails to give a whole image (empty when it does). Load errors are thrown.
    std::unique_ptr<FirmwareImage> LoadFile(const QString& fileName, Loader loader,
                                            QString& warning);
    // The open dialog and the loader its answer asks for; nothing when cancelled.
    std::optional<Loader> ChooseFile(QString& fileName);
    void BuildCompareMenu();
    void MarkDifferences();
    bool SaveCommand();
    bool ConfirmSaveOver(const QString& chosen, const SaveNames& names);
    bool ConfirmLoseChanges();
    // The journal of the file just opened: offers to restore what a crash left there, then
    // starts the file's journal afresh.
    void RecoverJournal(const QString& fileName);
    void StartJournal(const QString& fileName);
    void UndoApplied(int map, int row, int col);
    void MapCommand(MapKind kind);
    void UpdateCaption(const QString& fileName);
    void RewriteCurrentCell();
    void BuildEditMenu();

    // Lines of the last frame; the storage is reused from frame to frame.
    SurfaceFrame ViewFrame;
    // Hears every change of the image's bytes while a reference is open.
    std::unique_ptr<ImageListener> CompareWatch;
};
