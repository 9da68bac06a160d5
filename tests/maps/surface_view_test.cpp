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
