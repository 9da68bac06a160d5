#pragma once

#include "maps/map_catalogue.h"

#include <QObject>
#include <QPoint>
#include <array>
#include <functional>

class FirmwareImage;
class QAction;
class QMenu;
class QSplitter;
class QStackedWidget;
class TSectionView;
class TViewPanel;

// What the main window shows beside the grid: nothing, the 3-D view or the 2-D view.
enum class ViewChoice : int { GridOnly = 0, Surface = 1, Sections = 2 };

// The "Вид" menu and the left side of the main window's splitter. The 3-D view's panel and the
// 2-D view share the splitter's left pane; showing the grid alone hides the pane, so the grid
// gets the whole width. The choice is remembered in the settings as soon as it is made; the
// splitter's position is kept with the window's other settings.
//
// The splitter's handle is drawn raised with a grip, and a press on the last few pixels of the
// 3-D view beside it drags the splitter instead of turning the view: a drag that misses the
// narrow handle by a little still moves it.
class TViewLayout : public QObject {
    Q_OBJECT
public:
    // Draws the curves of the current cell into the 2-D view.
    using SectionsSource = std::function<void(TSectionView& view)>;

    // Takes over the splitter's first widget, the 3-D view's panel.
    TViewLayout(QSplitter* splitter, TViewPanel* surface, SectionsSource sections);

    QMenu* Menu() const { return menu_; }
    QAction* ChoiceAction(ViewChoice choice) const;
    ViewChoice Choice() const { return choice_; }
    TSectionView* Sections() const { return sections_; }
    // Shows what the choice asks for and remembers it.
    void Choose(ViewChoice choice);
    // Shows the choice the settings hold (the 3-D view when they hold none).
    void RestoreChoice();
    // Draws the 2-D view again when it is shown.
    void Refresh();

    // Pixels of the 3-D view beside the splitter's handle that grab the handle.
    static constexpr int GrabBand = 6;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(ViewChoice choice);
    bool SurfaceEvent(QEvent* event);
    void PaintHandle();

    QSplitter* splitter_;
    QObject* handle_ = nullptr; // the splitter's handle, whose painting is filtered
    QObject* view_ = nullptr;   // the 3-D view, whose mouse is filtered near the handle
    TViewPanel* surface_;
    SectionsSource draw_;
    QStackedWidget* pane_ = nullptr;
    TSectionView* sections_ = nullptr;
    QMenu* menu_ = nullptr;
    std::array<QAction*, 3> items_{};
    ViewChoice choice_ = ViewChoice::Surface;
    bool dragging_ = false; // a drag of the splitter started on the 3-D view's edge
};

// The curves through data cell (row, col) of a table into the 2-D view, with the reference's
// when one is given; empty charts when the image is not loaded.
void ShowCellSections(TSectionView& view, const FirmwareImage& image, MapKind kind, int row,
                      int col, const FirmwareImage* reference);
