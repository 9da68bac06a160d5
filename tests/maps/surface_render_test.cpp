// Renders the 3-D view into a real OpenGL context (Mesa's software renderer under Xvfb) and
// checks the pixels of the frame.
#include "frame_pixels.h"
#include "image/firmware_image.h"
#include "maps/surface_geometry.h"
#include "maps/surface_view.h"
#include "maps/view/opengl_panel.h"
#include "maps/view/surface_renderer.h"
#include "ui/error_report.h"

#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

const QSize ViewSize(500, 400);
const QColor Orange(255, 128, 0);

// A minimal owner of the panel with the same three handlers as the main window.
class ViewOwner : public QWidget {
public:
    explicit ViewOwner(FirmwareImage& image) : image_(image) {
        panel = new TOpenGLPanel(this);
        panel->setGeometry(QRect(QPoint(0, 0), ViewSize));
        panel->OnInit = [this](TOpenGLPanel* p) {
            ++initCalls;
            NoteContext(p);
            renderer = reinterpret_cast<const char*>(p->Gl().glGetString(GL_RENDERER));
            SetUpSurfaceProjection(p->Gl(), p->width(), p->height(), p->devicePixelRatio());
            InitSurfaceContext(p->Gl());
        };
        panel->OnResize = [this](TOpenGLPanel* p) {
            ++resizeCalls;
            NoteContext(p);
            SetUpSurfaceProjection(p->Gl(), p->width(), p->height(), p->devicePixelRatio());
        };
        panel->OnPaint = [this](TOpenGLPanel* p) {
            NoteContext(p);
            QElapsedTimer timer;
            timer.start();
            BuildSurfaceFrame(image_, map, selRow, selCol, frame);
            DrawSurfaceFrame(p->Gl(), frame, rotX, rotY);
            p->Gl().glFinish();
            paintNanoseconds.push_back(timer.nsecsElapsed());
        };
        resize(ViewSize);
    }

    TOpenGLPanel* panel;
    MapKind map = MapKind::Uoz;
    int selRow = 0;
    int selCol = 0;
    float rotX = StartRotX;
    float rotY = StartRotY;
    SurfaceFrame frame;
    int initCalls = 0;
    int resizeCalls = 0;
    bool handlerWithoutContext = false; // a handler ran without the panel's context current
    std::string renderer;
    std::vector<qint64> paintNanoseconds;

private:
    void NoteContext(TOpenGLPanel* p) {
        if (QOpenGLContext::currentContext() != p->context())
            handlerWithoutContext = true;
    }
    FirmwareImage& image_;
};

class SurfaceRender : public ::testing::Test {
protected:
    void SetUp() override {
        ShowErrorMessage = [this](QWidget*, const QString& text) { errors << text; };
        LoadDemoImage(image);
    }
    QStringList errors;
    FirmwareImage image;
};

TEST_F(SurfaceRender, DemoIgnitionMapHasSurfaceCrossHairAxesAndFullLoadLine) {
    ViewOwner owner(image);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    ASSERT_TRUE(owner.panel->HasContext()) << "no OpenGL context";

    const QImage frame = owner.panel->grabFramebuffer();
    ASSERT_EQ(frame.size(), ViewSize);
    EXPECT_EQ(owner.initCalls, 1);
    EXPECT_GE(owner.resizeCalls, 1);
    EXPECT_FALSE(owner.handlerWithoutContext);
    if (const char* path = std::getenv("VELMARIS_SURFACE_PNG"))
        frame.save(QString::fromLocal8Bit(path));

    EXPECT_GT(CountColour(frame, Orange), 2000);
    EXPECT_GT(CountColour(frame, Qt::white), 100);
    EXPECT_GT(CountColour(frame, Qt::blue), 100);
    EXPECT_GT(CountColour(frame, Pixel(SurfaceColors::ExtraLine)), 50);

    // Every white pixel lies on the cross-hair through cell (0, 0), every yellow-green pixel on
    // the full-load line and every blue pixel on an axis, where the core projects them.
    const ViewMatrix mvp =
        Multiply(ProjectionMatrix(500, 400), ModelViewMatrix(StartRotX, StartRotY));
    SurfaceFrame lines;
    BuildSurfaceFrame(image, MapKind::Uoz, 0, 0, lines);
    ASSERT_EQ(lines.batches.size(), 5u);
    auto onView = [&](const SurfaceBatch& b) { return Projected(lines, b, mvp, ViewSize); };
    EXPECT_GT(
        ShareOnLines(frame, Qt::white, {onView(lines.batches[2]), onView(lines.batches[3])}, 2.5),
        0.99);
    EXPECT_GT(ShareOnLines(frame, Pixel(SurfaceColors::ExtraLine), {onView(lines.batches[4])}, 2.5),
              0.99);
    std::vector<std::vector<QPointF>> axes;
    for (int i = 0; i < 3; ++i)
        axes.push_back(onView({SurfacePrimitive::Lines, {}, 1, 2 * i, 2}));
    EXPECT_GT(ShareOnLines(frame, Qt::blue, axes, 1.5), 0.99);
    EXPECT_TRUE(errors.isEmpty());

    // Paint time of one frame (building the lines, drawing, waiting for the renderer), for
    // the record.
    owner.paintNanoseconds.clear();
    for (int i = 0; i < 20; ++i)
        owner.panel->grabFramebuffer();
    std::vector<qint64> t = owner.paintNanoseconds;
    ASSERT_FALSE(t.empty());
    std::sort(t.begin(), t.end());
    std::cout << "paint of one frame (median of " << t.size() << "): " << t[t.size() / 2] / 1000
              << " us, renderer " << owner.renderer << "\n";
}

TEST_F(SurfaceRender, ContextWithoutFixedFunctionDrawingIsReportedOnce) {
    ViewOwner owner(image);
    QSurfaceFormat core = TOpenGLPanel::RequestedFormat();
    core.setVersion(3, 3);
    core.setProfile(QSurfaceFormat::CoreProfile);
    owner.panel->setFormat(core);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    owner.panel->resize(400, 320);
    owner.panel->update();
    QTest::qWait(50);
    EXPECT_FALSE(owner.panel->HasContext());
    EXPECT_EQ(owner.initCalls, 0);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Open GL Context Create Failed");
}

} // namespace
