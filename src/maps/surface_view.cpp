#include "maps/surface_view.h"

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double FieldOfView = 45.0;
constexpr double NearPlane = 1.0;
constexpr double FarPlane = 2000.0;
constexpr float SceneDistance = 5.0f;
constexpr double DegreesPerPixel = 0.2;

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

int ViewHeightForWidth(int width) {
    return static_cast<int>(width * 0.8);
}

float RotatedAngle(float angle, int fromPixel, int toPixel) {
    return static_cast<float>(angle + (toPixel - fromPixel) * DegreesPerPixel);
}
