#include "maps/surface_view.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SurfaceView, HeightKeepsFiveToFour) {
    EXPECT_EQ(ViewHeightForWidth(500), 400);
    EXPECT_EQ(ViewHeightForWidth(467), 373); // 373.6 is cut, not rounded
    EXPECT_EQ(ViewHeightForWidth(1), 0);
    EXPECT_EQ(ViewHeightForWidth(0), 0);
    for (int w = 0; w < 3000; w += 5) // multiples of 5 give exact heights
        EXPECT_EQ(ViewHeightForWidth(w), w / 5 * 4) << w;
}

TEST(SurfaceView, DragTurnsTheViewByAFifthDegreePerPixel) {
    ViewRotation v;
    EXPECT_EQ(v.RotX, 20.0f);
    EXPECT_EQ(v.RotY, 320.0f);
    EXPECT_FALSE(v.MouseMove(50, 50)); // no drag yet

    v.MouseDown(true, 100, 100);
    EXPECT_TRUE(v.MouseMove(110, 100)); // 10 px right: 2 degrees about the vertical axis
    EXPECT_NEAR(v.RotY, 322.0f, 1e-4f);
    EXPECT_NEAR(v.RotX, 20.0f, 1e-4f);
    EXPECT_TRUE(v.MouseMove(110, 105)); // 5 px down: 1 degree about X
    EXPECT_NEAR(v.RotX, 21.0f, 1e-4f);

    // The right button neither ends the left drag nor starts one of its own.
    v.MouseUp(false);
    v.MouseDown(false, 0, 0);
    EXPECT_TRUE(v.MouseMove(100, 105)); // still measured from (110, 105)
    EXPECT_NEAR(v.RotY, 320.0f, 1e-4f);

    v.MouseUp(true);
    EXPECT_FALSE(v.MouseMove(300, 300));
    EXPECT_NEAR(v.RotY, 320.0f, 1e-4f);

    // The angles are not wrapped or limited.
    v.MouseDown(true, 0, 0);
    v.MouseMove(1000, -1000);
    EXPECT_NEAR(v.RotY, 520.0f, 1e-3f);
    EXPECT_NEAR(v.RotX, -179.0f, 1e-3f);

    // A right-button press alone starts nothing.
    ViewRotation r;
    r.MouseDown(false, 10, 10);
    EXPECT_FALSE(r.MouseMove(40, 40));
    EXPECT_EQ(r.RotY, 320.0f);
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
