#pragma once

#include "maps/surface_geometry.h"

#include <array>
#include <optional>

// A 4 x 4 matrix in column-major order, as OpenGL loads it.
using ViewMatrix = std::array<float, 16>;

// Start angles of the 3-D view, degrees.
constexpr float StartRotX = 20.0f;
constexpr float StartRotY = 320.0f;

// Perspective projection of a view of W x H pixels: 45 degrees vertical field of view, near
// plane 1, far plane 2000, aspect W / H (W itself when H is 0, so a collapsed view still has a
// finite projection).
ViewMatrix ProjectionMatrix(int width, int height);

// Where the scene sits in front of the eye, on top of the turn: it is scaled by
// fitScale * zoom about the model point `centre`, which is then shown in the middle of the view
// shifted by (panX, panY) scene units across it. The default placement leaves the scene as the
// plain turn shows it.
struct ViewPlacement {
    SurfacePoint centre{0.0f, 0.0f, 0.0f};
    float fitScale = 1.0f; // the scale that fits the scene into the view
    float zoom = 1.0f;     // the user's zoom on top of the fit
    float panX = 0.0f;     // the user's shift, in scene units at the centre's depth
    float panY = 0.0f;
};

// Model-view transform of a frame: move the scene 5 units away, then turn it by rotX degrees
// about the X axis and by rotY degrees about the Y axis. With a placement the scene is first
// scaled about its centre and shifted across the view as the placement says.
ViewMatrix ModelViewMatrix(float rotX, float rotY);
ViewMatrix ModelViewMatrix(float rotX, float rotY, const ViewPlacement& placement);

// The placement that shows every finite point of the frame inside a W x H view turned by rotX
// and rotY, with a margin of a twentieth of the view on each side: centred on the middle of the
// points' bounding box, scaled as large as the margin allows, no zoom and no shift. A frame
// without finite points keeps the default placement.
ViewPlacement FitPlacement(const SurfaceFrame& frame, float rotX, float rotY, int width,
                           int height);

// The placement after turning the mouse wheel by `wheelDelta` eighths of a degree (120 per
// notch): each notch forward zooms in by 1.2, each notch back zooms out. The zoom stays within
// 1/20 .. 50 times the fit.
ViewPlacement ZoomedPlacement(ViewPlacement placement, int wheelDelta);

// The placement after a right-button drag by (dx, dy) pixels in a view `height` pixels high:
// the scene's centre follows the mouse.
ViewPlacement PannedPlacement(ViewPlacement placement, int dx, int dy, int height);

// The placement with the user's zoom and shift undone: back to the fit.
ViewPlacement ResetPlacement(ViewPlacement placement);

ViewMatrix Multiply(const ViewMatrix& a, const ViewMatrix& b);

// Window position of a model point, in pixels from the top-left corner of a W x H view, given
// projection * model-view. Returns false when the point lies behind the eye.
bool ProjectToView(const ViewMatrix& mvp, SurfacePoint p, int width, int height, float& x,
                   float& y);

// The frame's cell (its index in SurfaceFrame::cells) whose point the view shows nearest to
// window position (x, y), if one lies within maxPixels; -1 when none does.
int NearestCell(const SurfaceFrame& frame, const ViewMatrix& mvp, int width, int height, float x,
                float y, float maxPixels);

// Height of the view for a width: the view keeps a width-to-height ratio of 5 to 4.
int ViewHeightForWidth(int width);

// One step of a mouse drag: the angle turns by 0.2 degrees per pixel the mouse moved from
// fromPixel to toPixel. Angles are neither limited nor wrapped.
float RotatedAngle(float angle, int fromPixel, int toPixel);

// What the user has done to the 3-D view: its angles, the placement (fit, zoom, shift) with the
// marked map it was fitted to, and the drags under way. The left button turns the view, the
// right button shifts it; each drag starts and ends with its own button only.
struct SurfaceViewState {
    enum class Drag { Turn, Shift };

    float RotX = StartRotX;
    float RotY = StartRotY;
    ViewPlacement Place;
    std::optional<MapKind> FittedMap;

    void Press(Drag drag, int x, int y);
    // A mouse move; true when the view changed. viewHeight < 0: no view to shift in.
    bool Move(int x, int y, int viewHeight);
    void Release(Drag drag);
    // Back to the start angles; the caller fits the view again.
    void ResetAngles();
    // Fits the frame of a map into a W x H view at the current angles, with no zoom or shift.
    void Fit(const SurfaceFrame& frame, std::optional<MapKind> map, int width, int height);

private:
    bool turning_ = false;
    bool shifting_ = false;
    int turnX_ = 0, turnY_ = 0;
    int shiftX_ = 0, shiftY_ = 0;
};
