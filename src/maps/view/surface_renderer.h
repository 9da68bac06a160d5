#pragma once

#include "maps/surface_geometry.h"
#include "maps/surface_view.h"

class QOpenGLFunctions_1_1;

// OpenGL side of the 3-D view: the widget only sets up the context and draws the lines the
// core computed. Each call needs the panel's context current.

// Viewport and projection of a view of W x H pixels (device pixels = W, H times `pixelRatio`);
// the model-view matrix starts as identity.
void SetUpSurfaceProjection(QOpenGLFunctions_1_1& gl, int width, int height, double pixelRatio);

// One-time state of a new context: depth test on, black background.
void InitSurfaceContext(QOpenGLFunctions_1_1& gl);

// Clears the view and draws the frame turned by rotX and rotY degrees and placed as `placement`
// says. Polygons are drawn as outlines, so every surface is a wireframe.
void DrawSurfaceFrame(QOpenGLFunctions_1_1& gl, const SurfaceFrame& frame, float rotX, float rotY,
                      const ViewPlacement& placement = ViewPlacement{});
