#pragma once

#include "maps/surface_geometry.h"
#include "maps/surface_view.h"

#include <QFrame>
#include <functional>
#include <optional>

class SurfaceOverlay;
class TOpenGLPanel;

// The black, lowered panel on the left of the main window with the 3-D view at its top. The
// view is as wide as the panel and 0.8 as high; it is not in a layout, so a window lower than
// the view cuts off the view's bottom instead of growing. The left button turns the view, the
// right button shifts it, the wheel zooms, Home or a double click bring back the start angles
// and the fit. The axes carry their names and tick values, and the cell nearest the mouse is
// read out beside it. Without OpenGL the failure has been reported and the panel stays black.
class TViewPanel : public QFrame {
    Q_OBJECT
public:
    // Builds the lines of the map the view draws (the marked one) into frame, with the
    // reference under it when asked; returns that map, nothing when none is marked.
    using FrameBuilder =
        std::function<std::optional<MapKind>(SurfaceFrame& frame, bool withReference)>;

    // The readout of a data cell of the drawn map.
    using CellReadout = std::function<QString(int row, int col)>;

    TViewPanel(QWidget* parent, FrameBuilder build, CellReadout readout = {});

    // Null without OpenGL.
    TOpenGLPanel* Surface() const { return surface_; }
    SurfaceOverlay* Overlay() const { return overlay_; }
    // Reads out the cell nearest window position (x, y) of the view, or none.
    void Hover(int x, int y);
    SurfaceViewState& State() { return state_; }
    // Draws the view again; every change of the image, the map or the current cell comes here,
    // and Repainted tells the other views that follow them.
    void Repaint();
    // Scales the view so that the map it draws fits it whole at the current angles, with no
    // zoom or shift: done for every newly marked map and every newly opened image.
    void Fit();
    // Places the view at the top of the panel.
    void PlaceView();

signals:
    void Repainted();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Reset();
    ViewMatrix CurrentMatrix() const;
    // Window positions of the frame's labels for the overlay.
    void PlaceLabels();

    FrameBuilder build_;
    CellReadout readout_;
    TOpenGLPanel* surface_ = nullptr;
    SurfaceOverlay* overlay_ = nullptr;
    SurfaceViewState state_;
    SurfaceFrame frame_; // lines of the last frame; the storage is reused from frame to frame
};
