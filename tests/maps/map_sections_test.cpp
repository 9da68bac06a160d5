// The curves of the 2-D view: the row and the column through a cell, and the reference's.
#include "image/firmware_image.h"
#include "image_bytes.h"
#include "maps/map_sections.h"

#include <gtest/gtest.h>

namespace {

void Fill(FirmwareImage& image, unsigned mul, unsigned add) {
    image.ReplaceData(PatternBytes(mul, add).data());
}

TEST(MapSectionsTest, CurvesAreTheRowAndColumnThroughTheCellWithTheReferenceAlongside) {
    FirmwareImage image;
    FirmwareImage reference;
    Fill(image, 7, 3);
    Fill(reference, 11, 5);
    for (const MapKind kind : {MapKind::Uoz, MapKind::Tau, MapKind::Rcod}) {
        SCOPED_TRACE(GetMapInfo(kind).name);
        const MapInfo& info = GetMapInfo(kind);
        const int row = info.rows / 2;
        const int col = info.cols - 2;
        const MapSections s = SectionsThrough(image, kind, row, col, &reference);
        EXPECT_EQ(s.row, row);
        EXPECT_EQ(s.col, col);
        EXPECT_EQ(s.rowLabel, MapRowLabel(image, kind, row));
        EXPECT_EQ(s.colLabel, MapColLabel(image, kind, col));
        ASSERT_EQ(s.alongRow.y.size(), static_cast<std::size_t>(info.cols));
        ASSERT_EQ(s.alongCol.y.size(), static_cast<std::size_t>(info.rows));
        ASSERT_EQ(s.referenceRow.y.size(), static_cast<std::size_t>(info.cols));
        ASSERT_EQ(s.referenceCol.y.size(), static_cast<std::size_t>(info.rows));
        for (int c = 0; c < info.cols; ++c) {
            const auto i = static_cast<std::size_t>(c);
            EXPECT_EQ(s.alongRow.x[i], MapColLabel(image, kind, c));
            EXPECT_EQ(s.alongRow.y[i], MapValue(image, kind, row, c));
            EXPECT_EQ(s.referenceRow.x[i], MapColLabel(reference, kind, c));
            EXPECT_EQ(s.referenceRow.y[i], MapValue(reference, kind, row, c));
        }
        for (int r = 0; r < info.rows; ++r) {
            const auto i = static_cast<std::size_t>(r);
            EXPECT_EQ(s.alongCol.x[i], MapRowLabel(image, kind, r));
            EXPECT_EQ(s.alongCol.y[i], MapValue(image, kind, r, col));
            EXPECT_EQ(s.referenceCol.y[i], MapValue(reference, kind, r, col));
        }
    }
    // The image and the reference differ, so the curves cannot stand in for each other.
    const MapSections s = SectionsThrough(image, MapKind::Uoz, 0, 0, &reference);
    EXPECT_NE(s.alongRow.y, s.referenceRow.y);
}

TEST(MapSectionsTest, NoReferenceNoGreyCurvesAndCellsOutsideTheTableMoveToItsEdge) {
    FirmwareImage image;
    Fill(image, 7, 3);
    const MapInfo& uoz = GetMapInfo(MapKind::Uoz);
    const MapSections before = SectionsThrough(image, MapKind::Uoz, -1, uoz.cols + 4, nullptr);
    EXPECT_TRUE(before.referenceRow.y.empty());
    EXPECT_TRUE(before.referenceCol.y.empty());
    EXPECT_EQ(before.row, 0);
    EXPECT_EQ(before.col, uoz.cols - 1);
    EXPECT_EQ(before.alongRow.y.back(), MapValue(image, MapKind::Uoz, 0, uoz.cols - 1));

    // A one-column table has no column axis: its single row point stands at 1, and the column
    // runs along the speed axis.
    const MapInfo& pmax = GetMapInfo(MapKind::Pmax);
    const MapSections line = SectionsThrough(image, MapKind::Pmax, 3, 0, nullptr);
    ASSERT_EQ(line.alongRow.x.size(), 1u);
    EXPECT_EQ(line.alongRow.x[0], 1.0);
    EXPECT_EQ(line.colLabel, 1);
    ASSERT_EQ(line.alongCol.y.size(), static_cast<std::size_t>(pmax.rows));
    EXPECT_EQ(line.alongCol.y[3], MapValue(image, MapKind::Pmax, 3, 0));
    EXPECT_EQ(line.alongCol.x[3], MapRowLabel(image, MapKind::Pmax, 3));
}

} // namespace
