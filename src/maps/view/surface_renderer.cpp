#include "maps/view/surface_renderer.h"

#include "maps/surface_view.h"

#include <QOpenGLFunctions_1_1>
#include <cmath>

namespace {

GLenum ModeOf(SurfacePrimitive primitive) {
    switch (primitive) {
    case SurfacePrimitive::Lines:
        return GL_LINES;
    case SurfacePrimitive::LineStrip:
        return GL_LINE_STRIP;
    case SurfacePrimitive::Quads:
        return GL_QUADS;
    }
    return GL_LINES;
}

} // namespace

void SetUpSurfaceProjection(QOpenGLFunctions_1_1& gl, int width, int height, double pixelRatio) {
    gl.glViewport(0, 0, static_cast<GLsizei>(std::lround(width * pixelRatio)),
                  static_cast<GLsizei>(std::lround(height * pixelRatio)));
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadMatrixf(ProjectionMatrix(width, height).data());
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
}

void InitSurfaceContext(QOpenGLFunctions_1_1& gl) {
    gl.glEnable(GL_DEPTH_TEST);
    // The cross-hair and the extra line lie exactly on the surface: let equal depth pass so
    // they are not hidden behind the surface lines they coincide with.
    gl.glDepthFunc(GL_LEQUAL);
    gl.glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void DrawSurfaceFrame(QOpenGLFunctions_1_1& gl, const SurfaceFrame& frame, float rotX, float rotY,
                      const ViewPlacement& placement) {
    gl.glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPushMatrix();
    gl.glMultMatrixf(ModelViewMatrix(rotX, rotY, placement).data());

    gl.glEnableClientState(GL_VERTEX_ARRAY);
    gl.glVertexPointer(3, GL_FLOAT, sizeof(SurfacePoint), frame.points.data());
    if (frame.colors.size() == frame.points.size())
        gl.glColorPointer(3, GL_FLOAT, sizeof(SurfaceColor), frame.colors.data());
    for (const SurfaceBatch& batch : frame.batches) {
        const bool ownColours = batch.pointColours && frame.colors.size() == frame.points.size();
        if (ownColours)
            gl.glEnableClientState(GL_COLOR_ARRAY);
        else
            gl.glColor3f(batch.color.r, batch.color.g, batch.color.b);
        gl.glLineWidth(batch.width);
        // Surface outlines are pushed a little back in depth, so that the lines drawn on the
        // surface afterwards stay in front of them.
        const bool outline = batch.primitive == SurfacePrimitive::Quads;
        if (outline) {
            gl.glEnable(GL_POLYGON_OFFSET_LINE);
            gl.glPolygonOffset(1.0f, 1.0f);
        }
        gl.glDrawArrays(ModeOf(batch.primitive), batch.first, batch.count);
        if (outline)
            gl.glDisable(GL_POLYGON_OFFSET_LINE);
        if (ownColours)
            gl.glDisableClientState(GL_COLOR_ARRAY);
    }
    gl.glDisableClientState(GL_VERTEX_ARRAY);

    gl.glPopMatrix();
}
