#include "image/firmware_image.h"
#include "maps/map_catalogue.h"
#include "maps/surface_geometry.h"
#include "maps/surface_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

TEST(SurfaceView, HeightKeepsFiveToFour) {
    EXPECT_EQ(ViewHeightForWidth(500), 400);
    EXPECT_EQ(ViewHeightForWidth(467), 373); // 373.6 is cut, not rounded
    EXPECT_EQ(ViewHeightForWidth(1), 0);
    EXPECT_EQ(ViewHeightForWidth(0), 0);
    for (int w = 0; w < 3000; w += 5) // multiples of 5 give exact heights
        EXPECT_EQ(ViewHeightForWidth(w), w / 5 * 4) << w;
}

TEST(SurfaceView, DragStepIsAFifthDegreePerPixel) {
    EXPECT_NEAR(RotatedAngle(StartRotY, 100, 110), 322.0f, 1e-4f); // 10 px right: 2 degrees
    EXPECT_NEAR(RotatedAngle(StartRotX, 100, 105), 21.0f, 1e-4f);  // 5 px down: 1 degree
    EXPECT_NEAR(RotatedAngle(StartRotX, 105, 100), 19.0f, 1e-4f);
    EXPECT_EQ(RotatedAngle(StartRotY, 7, 7), StartRotY);
    // Not wrapped or limited.
    EXPECT_NEAR(RotatedAngle(StartRotY, 0, 1000), 520.0f, 1e-3f);
    EXPECT_NEAR(RotatedAngle(StartRotX, 0, -1000), -180.0f, 1e-3f);
}

TEST(SurfaceView, PerspectiveOfFortyFiveDegrees) {
    const ViewMatrix p = ProjectionMatrix(400, 200);
    const float f = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
    EXPECT_NEAR(p[5], f, 1e-5f);
    EXPECT_NEAR(p[0], f / 2.0f, 1e-5f);
    // Depth maps the near plane to -1 and the far plane to +1.
    EXPECT_NEAR(p[10], -2001.0f / 1999.0f, 1e-6f);
    EXPECT_NEAR(p[14], -4000.0f / 1999.0f, 1e-6f);
    EXPECT_EQ(p[11], -1.0f);
    // A view of height 0 uses its width as aspect.
    EXPECT_NEAR(ProjectionMatrix(300, 0)[0], f / 300.0f, 1e-7f);
}

TEST(SurfaceView, ProjectionPlacesTurnedPointsWhereExpected) {
    const int w = 500, h = 400;
    float x = 0, y = 0;
    // Unturned: the origin, 5 units ahead, lands in the middle; +Y goes up the screen.
    ViewMatrix mvp = Multiply(ProjectionMatrix(w, h), ModelViewMatrix(0.0f, 0.0f));
    ASSERT_TRUE(ProjectToView(mvp, {0, 0, 0}, w, h, x, y));
    EXPECT_NEAR(x, 250.0f, 1e-3f);
    EXPECT_NEAR(y, 200.0f, 1e-3f);
    ASSERT_TRUE(ProjectToView(mvp, {0, 1, 0}, w, h, x, y));
    EXPECT_NEAR(y, 200.0f - 200.0f / (5.0f * std::tan(22.5f * 3.14159265f / 180.0f)), 1e-2f);

    // Turned 90 degrees about Y: +X points away from the eye and lands on the middle line.
    mvp = Multiply(ProjectionMatrix(w, h), ModelViewMatrix(0.0f, 90.0f));
    ASSERT_TRUE(ProjectToView(mvp, {1, 0, 0}, w, h, x, y));
    EXPECT_NEAR(x, 250.0f, 1e-2f);
    // ... and +Z points right.
    ASSERT_TRUE(ProjectToView(mvp, {0, 0, 1}, w, h, x, y));
    EXPECT_GT(x, 300.0f);

    // Tilted 90 degrees about X: +Y comes towards the eye, -Z goes up the screen.
    mvp = Multiply(ProjectionMatrix(w, h), ModelViewMatrix(90.0f, 0.0f));
    ASSERT_TRUE(ProjectToView(mvp, {0, 0, -1}, w, h, x, y));
    EXPECT_LT(y, 150.0f);
    EXPECT_NEAR(x, 250.0f, 1e-2f);

    // Behind the eye: not on the view.
    mvp = Multiply(ProjectionMatrix(w, h), ModelViewMatrix(0.0f, 0.0f));
    EXPECT_FALSE(ProjectToView(mvp, {0, 0, 6}, w, h, x, y));
}

namespace {

// Whether every finite point of the frame lands inside a W x H view with the placement.
bool AllInside(const SurfaceFrame& f, float rotX, float rotY, const ViewPlacement& placement, int w,
               int h) {
    const ViewMatrix mvp = Multiply(ProjectionMatrix(w, h), ModelViewMatrix(rotX, rotY, placement));
    for (const SurfacePoint& p : f.points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            continue;
        float x = 0, y = 0;
        if (!ProjectToView(mvp, p, w, h, x, y) || x < 0 || x > w || y < 0 || y > h)
            return false;
    }
    return true;
}

} // namespace

TEST(SurfaceView, FitShowsEveryPointOfEveryDemoMapAndFillsTheView) {
    FirmwareImage image;
    ASSERT_TRUE(image.LoadHex(VELMARIS_SOURCE_DIR "/examples/demo.hex").complete);
    const int w = 500, h = 400;
    for (const MapInfo& info : MapCatalogue()) {
        SurfaceFrame f;
        BuildSurfaceFrame(image, info.kind, 3, 2, f);
        for (float rotX : {StartRotX, -35.0f, 90.0f})
            for (float rotY : {StartRotY, 0.0f, 135.0f}) {
                const ViewPlacement fit = FitPlacement(f, rotX, rotY, w, h);
                EXPECT_TRUE(AllInside(f, rotX, rotY, fit, w, h))
                    << info.name << " " << rotX << " " << rotY;
                // Not needlessly small: a third larger no longer fits.
                ViewPlacement larger = fit;
                larger.zoom = 1.34f;
                EXPECT_FALSE(AllInside(f, rotX, rotY, larger, w, h))
                    << info.name << " " << rotX << " " << rotY;
            }
    }
    // The plain turn does not show the demo's fuel map whole, the fit does.
    SurfaceFrame tau;
    BuildSurfaceFrame(image, MapKind::Tau, 0, 0, tau);
    EXPECT_FALSE(AllInside(tau, StartRotX, StartRotY, ViewPlacement{}, w, h));
}

TEST(SurfaceView, ZoomAndPanComposeAndResetRestoresTheFit) {
    ViewPlacement fit;
    fit.centre = {0.5f, -0.25f, 1.0f};
    fit.fitScale = 0.8f;
    const int w = 500, h = 400;
    auto project = [&](const ViewPlacement& pl, SurfacePoint p) {
        float x = 0, y = 0;
        EXPECT_TRUE(ProjectToView(Multiply(ProjectionMatrix(w, h), ModelViewMatrix(10, 30, pl)), p,
                                  w, h, x, y));
        return std::make_pair(x, y);
    };
    // The centre is shown in the middle, and a pan moves it with the mouse, pixel for pixel.
    auto [cx, cy] = project(fit, fit.centre);
    EXPECT_NEAR(cx, 250.0f, 1e-3f);
    EXPECT_NEAR(cy, 200.0f, 1e-3f);
    const ViewPlacement panned = PannedPlacement(fit, 40, -25, h);
    auto [px, py] = project(panned, fit.centre);
    EXPECT_NEAR(px, 290.0f, 1e-2f);
    EXPECT_NEAR(py, 175.0f, 1e-2f);

    // Two notches forward zoom by 1.2 twice; a notch back undoes one; the zoom is kept within
    // limits.
    const ViewPlacement zoomed = ZoomedPlacement(ZoomedPlacement(panned, 240), -120);
    EXPECT_NEAR(zoomed.zoom, 1.2f, 1e-5f);
    EXPECT_EQ(zoomed.panX, panned.panX);
    ViewPlacement far = fit;
    for (int i = 0; i < 100; ++i)
        far = ZoomedPlacement(far, 120);
    EXPECT_NEAR(far.zoom, 50.0f, 1e-3f);
    for (int i = 0; i < 200; ++i)
        far = ZoomedPlacement(far, -120);
    EXPECT_NEAR(far.zoom, 0.05f, 1e-5f);

    // Zoomed about the panned centre: the centre stays where the pan put it, other points move
    // away from it.
    auto [zx, zy] = project(zoomed, fit.centre);
    EXPECT_NEAR(zx, px, 1e-2f);
    EXPECT_NEAR(zy, py, 1e-2f);
    const SurfacePoint corner{1.5f, 0.25f, 0.0f};
    auto [ax, ay] = project(panned, corner);
    auto [bx, by] = project(zoomed, corner);
    EXPECT_GT(std::hypot(bx - px, by - py), std::hypot(ax - px, ay - py) * 1.1f);

    const ViewPlacement reset = ResetPlacement(zoomed);
    EXPECT_EQ(ModelViewMatrix(10, 30, reset), ModelViewMatrix(10, 30, fit));
    // The default placement is the plain turn.
    EXPECT_EQ(ModelViewMatrix(10, 30, ViewPlacement{}), ModelViewMatrix(10, 30));
}

// Each drag starts and ends with its own button: releasing the other one stops nothing, and a
// move with no drag under way changes nothing.
TEST(SurfaceViewState, TurnAndShiftDragsAreKeptApart) {
    SurfaceViewState view;
    EXPECT_FALSE(view.Move(50, 50, 100));
    view.Press(SurfaceViewState::Drag::Turn, 0, 0);
    view.Release(SurfaceViewState::Drag::Shift);
    ASSERT_TRUE(view.Move(10, 5, 100));
    EXPECT_NEAR(view.RotY, StartRotY + 2.0f, 1e-4f);
    EXPECT_NEAR(view.RotX, StartRotX + 1.0f, 1e-4f);
    EXPECT_EQ(view.Place.panX, 0.0f); // turning never shifts

    view.Release(SurfaceViewState::Drag::Turn);
    view.Press(SurfaceViewState::Drag::Shift, 10, 5);
    ASSERT_TRUE(view.Move(30, 5, 100));
    EXPECT_NEAR(view.RotY, StartRotY + 2.0f, 1e-4f); // shifting never turns
    EXPECT_NE(view.Place.panX, 0.0f);
    const ViewPlacement shifted = view.Place;
    EXPECT_TRUE(view.Move(60, 5, -1)); // no view to shift in
    EXPECT_EQ(view.Place.panX, shifted.panX);

    view.ResetAngles();
    EXPECT_EQ(view.RotY, StartRotY);
    EXPECT_EQ(view.RotX, StartRotX);
}
