#include "maps/surface_view.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double FieldOfView = 45.0;
constexpr double NearPlane = 1.0;
constexpr double FarPlane = 2000.0;
constexpr float SceneDistance = 5.0f;
constexpr double DegreesPerPixel = 0.2;
// Share of the half-width and half-height of the view a fitted scene may fill.
constexpr double FitShare = 0.9;
constexpr double ZoomPerNotch = 1.2;
constexpr double WheelNotch = 120.0;
constexpr float MinZoom = 0.05f;
constexpr float MaxZoom = 50.0f;

double HalfFieldTan() {
    return std::tan(FieldOfView * Pi / 360.0);
}

ViewMatrix Identity() {
    ViewMatrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

// Rotation by `degrees` about a unit coordinate axis (0 = X, 1 = Y).
ViewMatrix Rotation(float degrees, int axis) {
    const double a = degrees * Pi / 180.0;
    const float c = static_cast<float>(std::cos(a));
    const float s = static_cast<float>(std::sin(a));
    ViewMatrix m = Identity();
    if (axis == 0) {
        m[5] = c;
        m[6] = s;
        m[9] = -s;
        m[10] = c;
    } else {
        m[0] = c;
        m[2] = -s;
        m[8] = s;
        m[10] = c;
    }
    return m;
}

} // namespace

ViewMatrix ProjectionMatrix(int width, int height) {
    const double aspect = height == 0 ? static_cast<double>(width)
                                      : static_cast<double>(width) / static_cast<double>(height);
    const double f = 1.0 / std::tan(FieldOfView * Pi / 360.0);
    ViewMatrix m{};
    m[0] = static_cast<float>(f / aspect);
    m[5] = static_cast<float>(f);
    m[10] = static_cast<float>((FarPlane + NearPlane) / (NearPlane - FarPlane));
    m[11] = -1.0f;
    m[14] = static_cast<float>(2.0 * FarPlane * NearPlane / (NearPlane - FarPlane));
    return m;
}

ViewMatrix ModelViewMatrix(float rotX, float rotY) {
    ViewMatrix m = Identity();
    m[14] = -SceneDistance;
    return Multiply(Multiply(m, Rotation(rotX, 0)), Rotation(rotY, 1));
}

ViewMatrix ModelViewMatrix(float rotX, float rotY, const ViewPlacement& placement) {
    ViewMatrix shift = Identity();
    shift[12] = placement.panX;
    shift[13] = placement.panY;
    shift[14] = -SceneDistance;
    ViewMatrix scale = Identity();
    const float s = placement.fitScale * placement.zoom;
    scale[0] = scale[5] = scale[10] = s;
    scale[12] = -s * placement.centre.x;
    scale[13] = -s * placement.centre.y;
    scale[14] = -s * placement.centre.z;
    return Multiply(Multiply(Multiply(shift, Rotation(rotX, 0)), Rotation(rotY, 1)), scale);
}

ViewPlacement FitPlacement(const SurfaceFrame& frame, float rotX, float rotY, int width,
                           int height) {
    ViewPlacement placement;
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const SurfacePoint& p : frame.points) {
        const double c[3] = {p.x, p.y, p.z};
        if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2]))
            continue;
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], c[i]);
            hi[i] = std::max(hi[i], c[i]);
        }
    }
    if (lo[0] > hi[0])
        return placement;
    placement.centre = {static_cast<float>((lo[0] + hi[0]) / 2),
                        static_cast<float>((lo[1] + hi[1]) / 2),
                        static_cast<float>((lo[2] + hi[2]) / 2)};

    // A point at (a, b) across the view and d towards the eye from the centre, scaled by s,
    // lands at a * s / (D - d * s) of the half-view's tangent, D the scene's distance. It
    // stays inside a share L of the half-view while s * (|a| + L * t * d) <= L * t * D, and in
    // front of the near plane while s * d <= D - near (a margin of one more unit).
    const double aspect = height == 0 ? static_cast<double>(width)
                                      : static_cast<double>(width) / static_cast<double>(height);
    const double limitY = FitShare * HalfFieldTan();
    const double limitX = limitY * aspect;
    const ViewMatrix turn = Multiply(Rotation(rotX, 0), Rotation(rotY, 1));
    double scale = HUGE_VAL;
    auto bound = [&](double across, double towards, double limit) {
        const double need = std::fabs(across) + limit * towards;
        if (need > 0.0)
            scale = std::min(scale, limit * SceneDistance / need);
    };
    for (const SurfacePoint& p : frame.points) {
        const double m[3] = {p.x - placement.centre.x, p.y - placement.centre.y,
                             p.z - placement.centre.z};
        if (!std::isfinite(m[0]) || !std::isfinite(m[1]) || !std::isfinite(m[2]))
            continue;
        double e[3] = {0.0, 0.0, 0.0};
        for (int row = 0; row < 3; ++row)
            for (int k = 0; k < 3; ++k)
                e[row] += turn[k * 4 + row] * m[k];
        bound(e[0], e[2], limitX);
        bound(e[1], e[2], limitY);
        if (e[2] > 0.0)
            scale = std::min(scale, (SceneDistance - 2.0 * NearPlane) / e[2]);
    }
    if (std::isfinite(scale) && scale > 0.0)
        placement.fitScale = static_cast<float>(scale);
    return placement;
}

ViewPlacement ZoomedPlacement(ViewPlacement placement, int wheelDelta) {
    const double factor = std::pow(ZoomPerNotch, wheelDelta / WheelNotch);
    placement.zoom = std::clamp(static_cast<float>(placement.zoom * factor), MinZoom, MaxZoom);
    return placement;
}

ViewPlacement PannedPlacement(ViewPlacement placement, int dx, int dy, int height) {
    if (height <= 0)
        return placement;
    // Scene units per pixel at the centre's depth.
    const double unit = 2.0 * SceneDistance * HalfFieldTan() / height;
    placement.panX += static_cast<float>(dx * unit);
    placement.panY -= static_cast<float>(dy * unit);
    return placement;
}

ViewPlacement ResetPlacement(ViewPlacement placement) {
    placement.zoom = 1.0f;
    placement.panX = 0.0f;
    placement.panY = 0.0f;
    return placement;
}

ViewMatrix Multiply(const ViewMatrix& a, const ViewMatrix& b) {
    ViewMatrix m{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[col * 4 + k];
            m[col * 4 + row] = sum;
        }
    return m;
}

bool ProjectToView(const ViewMatrix& mvp, SurfacePoint p, int width, int height, float& x,
                   float& y) {
    const float in[4] = {p.x, p.y, p.z, 1.0f};
    float out[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            out[row] += mvp[k * 4 + row] * in[k];
    if (out[3] <= 0.0f)
        return false;
    x = (out[0] / out[3] + 1.0f) * 0.5f * static_cast<float>(width);
    y = (1.0f - out[1] / out[3]) * 0.5f * static_cast<float>(height);
    return true;
}

int NearestCell(const SurfaceFrame& frame, const ViewMatrix& mvp, int width, int height, float x,
                float y, float maxPixels) {
    int nearest = -1;
    float best = maxPixels * maxPixels;
    for (std::size_t i = 0; i < frame.cells.size(); ++i) {
        float px = 0, py = 0;
        const SurfacePoint& p = frame.cells[i];
        if (!std::isfinite(p.y) || !ProjectToView(mvp, p, width, height, px, py))
            continue;
        const float d = (px - x) * (px - x) + (py - y) * (py - y);
        if (d <= best) {
            best = d;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

int ViewHeightForWidth(int width) {
    return static_cast<int>(width * 0.8);
}

float RotatedAngle(float angle, int fromPixel, int toPixel) {
    return static_cast<float>(angle + (toPixel - fromPixel) * DegreesPerPixel);
}

void SurfaceViewState::Press(Drag drag, int x, int y) {
    if (drag == Drag::Turn) {
        turning_ = true;
        turnX_ = x;
        turnY_ = y;
    } else {
        shifting_ = true;
        shiftX_ = x;
        shiftY_ = y;
    }
}

bool SurfaceViewState::Move(int x, int y, int viewHeight) {
    if (!turning_ && !shifting_)
        return false;
    if (turning_) {
        RotY = RotatedAngle(RotY, turnX_, x);
        RotX = RotatedAngle(RotX, turnY_, y);
        turnX_ = x;
        turnY_ = y;
    }
    if (shifting_ && viewHeight >= 0) {
        Place = PannedPlacement(Place, x - shiftX_, y - shiftY_, viewHeight);
        shiftX_ = x;
        shiftY_ = y;
    }
    return true;
}

void SurfaceViewState::Release(Drag drag) {
    (drag == Drag::Turn ? turning_ : shifting_) = false;
}

void SurfaceViewState::ResetAngles() {
    RotX = StartRotX;
    RotY = StartRotY;
}

void SurfaceViewState::Fit(const SurfaceFrame& frame, std::optional<MapKind> map, int width,
                           int height) {
    FittedMap = map;
    Place = FitPlacement(frame, RotX, RotY, width, height);
}
