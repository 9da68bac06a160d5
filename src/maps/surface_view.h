#pragma once

#include "maps/surface_geometry.h"

#include <array>

// A 4 x 4 matrix in column-major order, as OpenGL loads it.
using ViewMatrix = std::array<float, 16>;

// Start angles of the 3-D view, degrees.
constexpr float StartRotX = 20.0f;
constexpr float StartRotY = 320.0f;

// Perspective projection of a view of W x H pixels: 45 degrees vertical field of view, near
// plane 1, far plane 2000, aspect W / H (W itself when H is 0, so a collapsed view still has a
// finite projection).
ViewMatrix ProjectionMatrix(int width, int height);

// Model-view transform of a frame: move the scene 5 units away, then turn it by rotX degrees
// about the X axis and by rotY degrees about the Y axis.
ViewMatrix ModelViewMatrix(float rotX, float rotY);

ViewMatrix Multiply(const ViewMatrix& a, const ViewMatrix& b);

// Window position of a model point, in pixels from the top-left corner of a W x H view, given
// projection * model-view. Returns false when the point lies behind the eye.
bool ProjectToView(const ViewMatrix& mvp, SurfacePoint p, int width, int height, float& x,
                   float& y);

// Height of the view for a width: the view keeps a width-to-height ratio of 5 to 4.
int ViewHeightForWidth(int width);

// One step of a mouse drag: the angle turns by 0.2 degrees per pixel the mouse moved from
// fromPixel to toPixel. Angles are neither limited nor wrapped.
float RotatedAngle(float angle, int fromPixel, int toPixel);
