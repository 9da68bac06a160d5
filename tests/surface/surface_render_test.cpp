// Renders the 3-D view into a real OpenGL context (Mesa's software renderer under Xvfb) and
// checks the pixels of the frame.
#include "app/error_report.h"
#include "image/firmware_image.h"
#include "maps/opengl_panel.h"
#include "maps/surface_geometry.h"
#include "maps/surface_renderer.h"
#include "maps/surface_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// A minimal owner of the panel, wired the way the main window wires OpenGLPanel1.
class ViewOwner : public QWidget {
public:
    explicit ViewOwner(FirmwareImage& image) : image_(image) {
        panel = new TOpenGLPanel(this);
        panel->setGeometry(0, 0, 500, 400);
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
            DrawSurfaceFrame(p->Gl(), frame, rotation.RotX, rotation.RotY);
            p->Gl().glFinish();
            paintNanoseconds.push_back(timer.nsecsElapsed());
        };
        resize(500, 400);
    }

    TOpenGLPanel* panel;
    SurfaceMap map = SurfaceMap::Uoz;
    int selRow = 0;
    int selCol = 0;
    ViewRotation rotation;
    SurfaceFrame frame;
    int initCalls = 0;
    std::string renderer;
    int resizeCalls = 0;
    bool handlerWithoutContext = false; // a handler ran without the panel's context current
    std::vector<qint64> paintNanoseconds;

private:
    void NoteContext(TOpenGLPanel* p) {
        if (QOpenGLContext::currentContext() != p->context())
            handlerWithoutContext = true;
    }
    FirmwareImage& image_;
};

// The demo image of the repository, opened and decoded as the main window does.
std::unique_ptr<FirmwareImage> MakeImage() {
    auto image = std::make_unique<FirmwareImage>();
    const HexLoadResult loaded = image->LoadHex(VELMARIS_SOURCE_DIR "/examples/demo.hex");
    EXPECT_TRUE(loaded.complete) << loaded.reason;
    image->Decode();
    return image;
}

struct PixelCounts {
    int orange = 0, white = 0, blue = 0, yellowGreen = 0, other = 0;
};

bool Near(int v, int want, int tolerance) {
    return std::abs(v - want) <= tolerance;
}

PixelCounts CountColours(const QImage& frame) {
    PixelCounts n;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QColor c = frame.pixelColor(x, y);
            const int r = c.red(), g = c.green(), b = c.blue();
            if (r == 0 && g == 0 && b == 0)
                continue;
            if (Near(r, 255, 3) && Near(g, 128, 3) && Near(b, 0, 3))
                ++n.orange;
            else if (Near(r, 255, 3) && Near(g, 255, 3) && Near(b, 255, 3))
                ++n.white;
            else if (Near(r, 0, 3) && Near(g, 0, 3) && Near(b, 255, 3))
                ++n.blue;
            else if (Near(r, 217, 3) && Near(g, 247, 3) && Near(b, 7, 3))
                ++n.yellowGreen;
            else
                ++n.other;
        }
    return n;
}

// True when a pixel of the colour lies within `radius` pixels of (x, y).
bool ColourNear(const QImage& frame, float x, float y, int radius, QColor want) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = static_cast<int>(x) + dx, py = static_cast<int>(y) + dy;
            if (!frame.rect().contains(px, py))
                continue;
            const QColor c = frame.pixelColor(px, py);
            if (Near(c.red(), want.red(), 3) && Near(c.green(), want.green(), 3) &&
                Near(c.blue(), want.blue(), 3))
                return true;
        }
    return false;
}

// Window positions of the points of one batch.
std::vector<QPointF> Projected(const SurfaceFrame& f, const SurfaceBatch& b,
                               const ViewMatrix& mvp) {
    std::vector<QPointF> out;
    for (int i = b.first; i < b.first + b.count; ++i) {
        float x = 0, y = 0;
        if (ProjectToView(mvp, f.points[i], 500, 400, x, y))
            out.emplace_back(x, y);
    }
    return out;
}

double DistanceToSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 == 0 ? 0 : std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::sqrt(QPointF::dotProduct(d, d));
}

// Share of the pixels of a colour that lie within `tolerance` pixels of one of the polylines;
// 0 when the frame has no pixel of that colour.
double ShareOnLines(const QImage& frame, QColor want,
                    const std::vector<std::vector<QPointF>>& polylines, double tolerance) {
    int total = 0, near = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QColor c = frame.pixelColor(x, y);
            if (!Near(c.red(), want.red(), 3) || !Near(c.green(), want.green(), 3) ||
                !Near(c.blue(), want.blue(), 3))
                continue;
            ++total;
            const QPointF p(x + 0.5, y + 0.5);
            bool onLine = false;
            for (const auto& line : polylines)
                for (size_t i = 0; !onLine && i + 1 < line.size(); ++i)
                    onLine = DistanceToSegment(p, line[i], line[i + 1]) <= tolerance;
            near += onLine ? 1 : 0;
        }
    return total == 0 ? 0.0 : static_cast<double>(near) / total;
}

class SurfaceRender : public ::testing::Test {
protected:
    void SetUp() override {
        errors.clear();
        ShowErrorMessage = [this](QWidget*, const QString& text) { errors << text; };
    }
    QStringList errors;
};

TEST_F(SurfaceRender, IgnitionMapFrameHasSurfaceCrossHairAxesAndFullLoadLine) {
    auto image = MakeImage();
    ViewOwner owner(*image);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    ASSERT_TRUE(owner.panel->HasContext()) << "no OpenGL context";

    const QImage frame = owner.panel->grabFramebuffer();
    ASSERT_EQ(frame.size(), QSize(500, 400));
    EXPECT_EQ(owner.initCalls, 1);
    EXPECT_GE(owner.resizeCalls, 1);
    EXPECT_FALSE(owner.handlerWithoutContext);
    if (const char* path = std::getenv("VELMARIS_SURFACE_PNG"))
        frame.save(QString::fromLocal8Bit(path));

    const PixelCounts n = CountColours(frame);
    EXPECT_GT(n.orange, 2000);
    EXPECT_GT(n.white, 100);
    EXPECT_GT(n.blue, 100);
    EXPECT_GT(n.yellowGreen, 50);

    // Every white pixel lies on the cross-hair through cell (0, 0), every yellow-green pixel on
    // the full-load line and every blue pixel on an axis, where the core projects them.
    const ViewMatrix mvp = Multiply(ProjectionMatrix(500, 400), ModelViewMatrix(20.0f, 320.0f));
    SurfaceFrame lines;
    BuildSurfaceFrame(*image, SurfaceMap::Uoz, 0, 0, lines);
    ASSERT_EQ(lines.batches.size(), 5u);
    const std::vector<QPointF> column = Projected(lines, lines.batches[2], mvp);
    const std::vector<QPointF> row = Projected(lines, lines.batches[3], mvp);
    const std::vector<QPointF> fullLoad = Projected(lines, lines.batches[4], mvp);
    EXPECT_GT(ShareOnLines(frame, Qt::white, {column, row}, 2.5), 0.99);
    EXPECT_GT(ShareOnLines(frame, QColor(217, 247, 7), {fullLoad}, 2.5), 0.99);
    std::vector<std::vector<QPointF>> axes;
    for (int i = 0; i < 3; ++i)
        axes.push_back(Projected(lines, {SurfacePrimitive::Lines, {}, 1, 2 * i, 2}, mvp));
    EXPECT_GT(ShareOnLines(frame, Qt::blue, axes, 1.5), 0.99);

    EXPECT_TRUE(errors.isEmpty());

    // Paint time of one frame under this renderer, for the record.
    owner.paintNanoseconds.clear();
    for (int i = 0; i < 20; ++i)
        owner.panel->grabFramebuffer();
    std::vector<qint64> t = owner.paintNanoseconds;
    ASSERT_FALSE(t.empty());
    std::sort(t.begin(), t.end());
    std::cout << "paint of one frame (median of " << t.size() << "): " << t[t.size() / 2] / 1000
              << " us, renderer " << owner.renderer << "\n";
}

TEST_F(SurfaceRender, NoMarkedMapLeavesOnlyTheAxes) {
    auto image = MakeImage();
    ViewOwner owner(*image);
    owner.map = SurfaceMap::None;
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    const PixelCounts n = CountColours(owner.panel->grabFramebuffer());
    EXPECT_GT(n.blue, 100);
    EXPECT_EQ(n.orange + n.white + n.yellowGreen, 0);
}

TEST_F(SurfaceRender, TurningTheViewMovesTheCrossHair) {
    auto image = MakeImage();
    ViewOwner owner(*image);
    owner.selRow = 10;
    owner.selCol = 5;
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    owner.rotation.RotY = 20.0f;
    owner.rotation.RotX = 50.0f;
    const QImage frame = owner.panel->grabFramebuffer();
    const ViewMatrix mvp = Multiply(ProjectionMatrix(500, 400), ModelViewMatrix(50.0f, 20.0f));
    float x = 0, y = 0;
    ASSERT_TRUE(ProjectToView(mvp, CellPoint(*image, SurfaceMap::Uoz, 10, 5), 500, 400, x, y));
    EXPECT_TRUE(ColourNear(frame, x, y, 2, Qt::white)) << x << "," << y;
}

TEST_F(SurfaceRender, ContextWithoutFixedFunctionDrawingIsReportedOnce) {
    auto image = MakeImage();
    ViewOwner owner(*image);
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

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
