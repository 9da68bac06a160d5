#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/surface_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

namespace {

constexpr float Eps = 1e-5f;

// An image whose decoded tables are set directly, so that each case states its own numbers.
std::unique_ptr<FirmwareImage> ZeroImage() {
    return std::make_unique<FirmwareImage>();
}

int Count(const SurfaceFrame& f, SurfacePrimitive p) {
    int n = 0;
    for (const SurfaceBatch& b : f.batches)
        n += b.primitive == p ? 1 : 0;
    return n;
}

void ExpectPoint(SurfacePoint p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, Eps);
    EXPECT_NEAR(p.y, y, Eps);
    EXPECT_NEAR(p.z, z, Eps);
}

bool SamePoint(SurfacePoint a, SurfacePoint b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

} // namespace

TEST(SurfaceGeometry, CellPointOfADecodedIgnitionCell) {
    auto image = ZeroImage();
    // Ignition byte of row 5, column 3 of the main map: 60 raw = 30 degrees.
    image->WriteByte(static_cast<uint16_t>(image->AddrMainMap + 44 * 5 + 2 * 3 + 1), 60);
    // X = RowX[5] - 1.6, Y = 30 * 0.05 - 1, Z = 3 * 0.1 - 1.
    ExpectPoint(CellPoint(*image, MapKind::Uoz, 5, 3), 1.0f - 1.6f, 0.5f, -0.7f);
    // The same cell through the second map set is still zero after the switch.
    image->UseO2Maps = true;
    image->Decode();
    ExpectPoint(CellPoint(*image, MapKind::Uoz, 5, 3), 1.0f - 1.6f, -1.0f, -0.7f);
}

TEST(SurfaceGeometry, ColumnAndRowPositionsOfTheThreeLayouts) {
    // Load columns: c * 0.1 - 1.
    EXPECT_NEAR(ColumnZOf(MapKind::Uoz, 0), -1.0f, Eps);
    EXPECT_NEAR(ColumnZOf(MapKind::Lambda, 21), 1.1f, Eps);
    // Throttle columns: throttle percent * 0.02 - 1.
    EXPECT_NEAR(ColumnZOf(MapKind::CoefCorUoz, 0), 0.34f - 1.0f, Eps);
    EXPECT_NEAR(ColumnZOf(MapKind::CorTau, 3), 0.0f, Eps);
    EXPECT_NEAR(ColumnZOf(MapKind::CoefCorTau, 6), 1.0f, Eps);
    // Rcod columns: c * 0.2 - 1, rows on their own spacing.
    EXPECT_NEAR(ColumnZOf(MapKind::Rcod, 10), 1.0f, Eps);
    EXPECT_NEAR(RowXOf(MapKind::Rcod, 9), 3.67f - 1.6f, Eps);
    EXPECT_NEAR(RowXOf(MapKind::Uoz, 38), 3.6f - 1.6f, Eps);
    EXPECT_NEAR(RowXOf(MapKind::CorUoz, 12), 2.08f - 1.6f, Eps);
}

TEST(SurfaceGeometry, FrameOfTheIgnitionMap) {
    auto image = ZeroImage();
    for (int r = 0; r < FirmwareImage::Rows; ++r)
        for (int c = 0; c < FirmwareImage::LoadCols; ++c)
            image->Uoz[r][c] = r + 0.5 * c;
    SurfaceFrame f;
    BuildSurfaceFrame(*image, MapKind::Uoz, 7, 12, f);

    ASSERT_EQ(f.batches.size(), 5u); // axes, surface, two cross-hair lines, full-load line
    // Axes first: three blue segments from (-1, -1, -1).
    const SurfaceBatch& axes = f.batches[0];
    EXPECT_EQ(axes.primitive, SurfacePrimitive::Lines);
    EXPECT_EQ(axes.count, 6);
    EXPECT_EQ(axes.color.b, 1.0f);
    ExpectPoint(f.points[1], 2.0f, -1.0f, -1.0f);
    ExpectPoint(f.points[3], -1.0f, 0.5f, -1.0f);
    ExpectPoint(f.points[5], -1.0f, -1.0f, 2.0f);

    // Surface: one orange polygon per cell, width 1, column strip by column strip.
    const SurfaceBatch& surface = f.batches[1];
    EXPECT_EQ(surface.primitive, SurfacePrimitive::Quads);
    EXPECT_EQ(surface.count, 4 * 38 * 21);
    EXPECT_EQ(surface.width, 1.0f);
    EXPECT_EQ(surface.color.r, 1.0f);
    EXPECT_EQ(surface.color.g, 0.5f);
    EXPECT_EQ(surface.color.b, 0.0f);
    const SurfacePoint* q = &f.points[surface.first];
    EXPECT_TRUE(SamePoint(q[0], CellPoint(*image, MapKind::Uoz, 0, 0)));
    EXPECT_TRUE(SamePoint(q[1], CellPoint(*image, MapKind::Uoz, 1, 0)));
    EXPECT_TRUE(SamePoint(q[2], CellPoint(*image, MapKind::Uoz, 1, 1)));
    EXPECT_TRUE(SamePoint(q[3], CellPoint(*image, MapKind::Uoz, 0, 1)));
    // The second polygon is the next row of the same column strip.
    EXPECT_TRUE(SamePoint(q[4], CellPoint(*image, MapKind::Uoz, 1, 0)));
    // The last polygon closes the far corner.
    EXPECT_TRUE(SamePoint(q[surface.count - 2], CellPoint(*image, MapKind::Uoz, 38, 21)));

    // Cross-hair: white, width 2, along column 12 and along row 7, on the surface.
    const SurfaceBatch& column = f.batches[2];
    const SurfaceBatch& row = f.batches[3];
    for (const SurfaceBatch* b : {&column, &row}) {
        EXPECT_EQ(b->primitive, SurfacePrimitive::LineStrip);
        EXPECT_EQ(b->width, 2.0f);
        EXPECT_EQ(b->color.r + b->color.g + b->color.b, 3.0f);
    }
    ASSERT_EQ(column.count, 39);
    ASSERT_EQ(row.count, 22);
    for (int r = 0; r < 39; ++r)
        EXPECT_TRUE(SamePoint(f.points[column.first + r], CellPoint(*image, MapKind::Uoz, r, 12)));
    for (int c = 0; c < 22; ++c)
        EXPECT_TRUE(SamePoint(f.points[row.first + c], CellPoint(*image, MapKind::Uoz, 7, c)));
    // The two lines cross at the current cell's point.
    EXPECT_TRUE(SamePoint(f.points[column.first + 7], f.points[row.first + 12]));

    EXPECT_EQ(f.batches[4].width, 2.0f);
    EXPECT_EQ(f.batches[4].count, 39);
}

TEST(SurfaceGeometry, FullLoadLineFollowsThePositionOnTheLoadAxis) {
    auto image = ZeroImage();
    for (int r = 0; r < FirmwareImage::Rows; ++r) {
        image->FullLoad[r].Pos = 5.0 + 0.25 * r;
        image->FullLoad[r].Uoz = 10.0;
        image->FullLoad[r].Tau = 3.0;
        image->FullLoad[r].Lambda = 0.9;
    }
    struct Case {
        MapKind map;
        float y;
        float width;
    };
    // Y of the line is the map's own value at full load, scaled like its surface.
    for (const Case& k :
         {Case{MapKind::Uoz, 10 * 0.05f - 1, 2.0f}, Case{MapKind::Tau, 3 * 0.2f - 1.5f, 2.0f},
          Case{MapKind::Lambda, 0.9f * 2 - 1.5f, 1.0f}}) {
        SurfaceFrame f;
        BuildSurfaceFrame(*image, k.map, 0, 0, f);
        const SurfaceBatch& line = f.batches.back();
        EXPECT_NEAR(line.color.r, 0.85f, Eps);
        EXPECT_NEAR(line.color.g, 0.97f, Eps);
        EXPECT_NEAR(line.color.b, 0.027f, Eps);
        EXPECT_EQ(line.width, k.width);
        ASSERT_EQ(line.count, 39);
        ExpectPoint(f.points[line.first], -1.6f, k.y, 5.0f * 0.1f - 1.0f);
        ExpectPoint(f.points[line.first + 38], 2.0f, k.y, (5.0f + 9.5f) * 0.1f - 1.0f);
    }
}

TEST(SurfaceGeometry, ThrottleLineUsesTheThrottleScale) {
    auto image = ZeroImage();
    for (int r = 0; r < FirmwareImage::Rows; ++r) {
        image->Drmax[r] = 50.0; // half-way: Z 0, between the throttle columns 40 and 60
        image->DrmaxCoefCorUoz[r] = 4.0;
        image->DrmaxCoefCorTau[r] = 0.5;
    }
    image->Drmax[38] = 100.0; // on the last throttle column
    SurfaceFrame f;
    BuildSurfaceFrame(*image, MapKind::CoefCorUoz, 0, 0, f);
    SurfaceBatch line = f.batches.back();
    EXPECT_EQ(line.width, 1.0f);
    ExpectPoint(f.points[line.first + 3], RowXOf(MapKind::Uoz, 3), 4 * 0.1f - 1, 0.0f);
    EXPECT_NEAR(f.points[line.first + 38].z, ColumnZOf(MapKind::CoefCorUoz, 6), Eps);

    BuildSurfaceFrame(*image, MapKind::CoefCorTau, 0, 0, f);
    line = f.batches.back();
    ExpectPoint(f.points[line.first], -1.6f, 0.5f * 3 - 1, 0.0f);
}

TEST(SurfaceGeometry, CorrectedMapsAndRcodHaveNoExtraLine) {
    auto image = ZeroImage();
    for (MapKind m : {MapKind::CorUoz, MapKind::CorTau, MapKind::Rcod}) {
        SurfaceFrame f;
        BuildSurfaceFrame(*image, m, 0, 0, f);
        ASSERT_EQ(f.batches.size(), 4u);
        EXPECT_EQ(f.batches.back().width, 2.0f); // the last batch is the cross-hair
    }
    SurfaceFrame f;
    BuildSurfaceFrame(*image, MapKind::CorUoz, 0, 0, f);
    EXPECT_EQ(f.batches[1].color.g, 1.0f); // green surface
    EXPECT_EQ(f.batches[1].count, 4 * 38 * 6);
}

TEST(SurfaceGeometry, NothingButAxesWhenNoMapIsMarked) {
    auto image = ZeroImage();
    SurfaceFrame f;
    BuildSurfaceFrame(*image, MapKind::Uoz, 0, 0, f);
    BuildSurfaceFrame(*image, std::nullopt, 3, 3, f); // reuses the frame: old lines go
    ASSERT_EQ(f.batches.size(), 1u);
    EXPECT_EQ(f.points.size(), 6u);
    EXPECT_EQ(Count(f, SurfacePrimitive::Lines), 1);
    // The one-column tables have no surface either.
    for (MapKind m : {MapKind::Pmax, MapKind::Drmax}) {
        BuildSurfaceFrame(*image, m, 3, 0, f);
        ASSERT_EQ(f.batches.size(), 1u);
        EXPECT_EQ(f.points.size(), 6u);
    }
}

TEST(SurfaceGeometry, GridRowOutsideRcodDrawsNoRowLine) {
    auto image = ZeroImage();
    for (int r = 0; r < FirmwareImage::RcodRowCount; ++r)
        for (int c = 0; c < FirmwareImage::RcodColCount; ++c)
            image->Rcod[r][c] = (r * 11 + c) / 256.0;
    SurfaceFrame f;
    // The grid shows a 39-row table (Pmax) on row 25 while Rcod is marked. Reading Rcod there
    // would be out of bounds (the sanitizer build checks array bounds).
    BuildSurfaceFrame(*image, MapKind::Rcod, 25, 0, f);
    ASSERT_EQ(f.batches.size(), 3u); // axes, surface, column line only
    const SurfaceBatch& column = f.batches[2];
    EXPECT_EQ(column.count, 10);
    ExpectPoint(f.points[column.first + 9], 3.67f - 1.6f, CellPoint(*image, MapKind::Rcod, 9, 0).y,
                -1.0f);

    // The last Rcod row itself still gets its row line.
    BuildSurfaceFrame(*image, MapKind::Rcod, 9, 0, f);
    ASSERT_EQ(f.batches.size(), 4u);
    EXPECT_EQ(f.batches[3].count, 11);

    // A column outside the table is left out the same way.
    BuildSurfaceFrame(*image, MapKind::CorUoz, 3, 7, f);
    ASSERT_EQ(f.batches.size(), 3u);
    EXPECT_EQ(f.batches[2].count, 7); // the row line
}

TEST(SurfaceGeometry, NonFiniteLambdaStaysNonFinite) {
    auto image = ZeroImage();
    image->Lambda[0][0] = std::numeric_limits<double>::infinity();
    image->Lambda[0][1] = 1e300; // beyond float: becomes an infinity, not undefined
    EXPECT_TRUE(std::isinf(CellPoint(*image, MapKind::Lambda, 0, 0).y));
    EXPECT_TRUE(std::isinf(CellPoint(*image, MapKind::Lambda, 0, 1).y));
}

TEST(SurfaceGeometry, ReferenceSurfaceIsAGreyWireframeBeneathTheCurrentOne) {
    auto image = ZeroImage();
    auto reference = ZeroImage();
    reference->Uoz[4][6] = 20;
    SurfaceFrame f;
    BuildSurfaceFrame(*image, MapKind::Uoz, 0, 0, f, reference.get());
    ASSERT_EQ(f.batches.size(), 6u); // axes, reference, surface, cross-hair twice, full load
    const SurfaceBatch& grey = f.batches[1];
    EXPECT_EQ(grey.primitive, SurfacePrimitive::Quads);
    EXPECT_EQ(grey.color.r, SurfaceColors::Reference.r);
    EXPECT_EQ(grey.count, f.batches[2].count);
    // The reference's own height at row 4, column 6 (first corner of its quad), not the image's.
    const int quad = 6 * (FirmwareImage::Rows - 1) + 4;
    ExpectPoint(f.points[grey.first + 4 * quad], RowXOf(MapKind::Uoz, 4),
                CellPoint(*reference, MapKind::Uoz, 4, 6).y, ColumnZOf(MapKind::Uoz, 6));
    EXPECT_NE(f.points[f.batches[2].first + 4 * quad].y, f.points[grey.first + 4 * quad].y);
}

TEST(SurfaceGeometry, ChangedCellsCarryAMarkerAndOnlyThey) {
    auto image = ZeroImage();
    SurfaceFrame f;
    BuildSurfaceFrame(*image, MapKind::Uoz, 0, 0, f);
    const std::size_t unchanged = f.batches.size();
    image->WriteByte(static_cast<uint16_t>(MapCellAddress(*image, MapKind::Uoz, 3, 5)), 7);
    BuildSurfaceFrame(*image, MapKind::Uoz, 0, 0, f);
    ASSERT_EQ(f.batches.size(), unchanged + 1);
    const SurfaceBatch& marker = f.batches.back();
    EXPECT_EQ(marker.primitive, SurfacePrimitive::Lines);
    ASSERT_EQ(marker.count, 6);
    const SurfacePoint cell = CellPoint(*image, MapKind::Uoz, 3, 5);
    ExpectPoint(f.points[marker.first], cell.x - ChangedMarkerSize, cell.y, cell.z);
    ExpectPoint(f.points[marker.first + 5], cell.x, cell.y, cell.z + ChangedMarkerSize);
}

// A table whose values lie close together is stretched to a height that shows its shape, its
// lowest value staying where the catalogue puts it; a table with height enough keeps its scale.
// Axes and cells carry labels and the cells' points for the readout.
TEST(SurfaceGeometry, FlatTablesAreStretchedAndTheFrameCarriesLabelsAndCells) {
    auto image = ZeroImage();
    for (int r = 0; r < FirmwareImage::RcodRowCount; ++r)
        for (int c = 0; c < FirmwareImage::RcodColCount; ++c)
            image->Rcod[r][c] = 0.5 + (r + c) / 256.0; // spans 0.07: flat as the catalogue draws it
    const SurfaceStyle plain = StyleOf(MapKind::Rcod);
    const SurfaceStyle fitted = FittedStyle(*image, MapKind::Rcod);
    const double lowest = 0.5;
    const double highest =
        0.5 + (FirmwareImage::RcodRowCount + FirmwareImage::RcodColCount - 2) / 256.0;
    EXPECT_NEAR((highest - lowest) * fitted.k, MinSurfaceSpan, 1e-9);
    EXPECT_NEAR(lowest * fitted.k + fitted.b, lowest * plain.k + plain.b, 1e-9);

    image->Uoz[0][0] = 40; // 2 units of height: no stretch
    const SurfaceStyle uoz = FittedStyle(*image, MapKind::Uoz);
    EXPECT_EQ(uoz.k, StyleOf(MapKind::Uoz).k);
    EXPECT_EQ(uoz.b, StyleOf(MapKind::Uoz).b);

    SurfaceFrame f;
    BuildSurfaceFrame(*image, MapKind::Uoz, 0, 0, f, nullptr, ".");
    ASSERT_EQ(f.cellRows, FirmwareImage::Rows);
    ASSERT_EQ(f.cellCols, FirmwareImage::LoadCols);
    EXPECT_TRUE(SamePoint(f.cells[0], CellPoint(*image, MapKind::Uoz, 0, 0)));
    bool named = false, top = false;
    for (const SurfaceLabel& label : f.labels) {
        named = named || label.text == "N, об/мин";
        top = top || (label.text == "40.0 °" && std::fabs(label.at.y - f.cells[0].y) < Eps);
    }
    EXPECT_TRUE(named);
    EXPECT_TRUE(top); // the highest value at its own height
}
