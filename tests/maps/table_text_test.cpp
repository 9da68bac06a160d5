#include "demo_image.h"
#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/table_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const FirmwareImage& image) {
    return std::vector<uint8_t>(image.Bytes(), image.Bytes() + FirmwareImage::Size);
}

} // namespace

TEST(TableText, CopyThenPasteLeavesEveryTableUnchanged) {
    FirmwareImage image;
    BuildDemoImage(image);
    for (const bool o2 : {false, true}) {
        image.UseO2Maps = o2;
        image.Decode();
        const auto before = Bytes(image);
        for (const MapInfo& info : MapCatalogue()) {
            SCOPED_TRACE(info.name);
            const std::string text =
                SelectionText(image, info.kind, {0, 0, info.rows - 1, info.cols - 1}, ",", false);
            MapEditCount count;
            TableTextError error;
            ASSERT_TRUE(PasteTableText(image, info.kind, 0, 0, text, count, error)) << error.line;
            EXPECT_EQ(count.changed, 0);
            EXPECT_EQ(count.clamped, 0);
            EXPECT_TRUE(Bytes(image) == before);
        }
    }
    // The shown decimals are kept where they store the same value.
    EXPECT_EQ(SelectionText(image, MapKind::Uoz, {0, 0, 0, 1}, ",", false),
              FormatMapCell(image, MapKind::Uoz, 0, 0, ",") + "\t" +
                  FormatMapCell(image, MapKind::Uoz, 0, 1, ",") + "\n");
    const std::string withAxes = SelectionText(image, MapKind::Pmax, {0, 0, 1, 0}, ".", true);
    EXPECT_EQ(withAxes.substr(0, withAxes.find('\n')), "Nuz\tPmax");
    EXPECT_EQ(withAxes.substr(withAxes.find('\n') + 1, 4), "600\t");
}

TEST(TableText, ReadsSpreadsheetTextAndRefusesWhatIsNotATableOfNumbers) {
    TableTextError error;
    using Row = std::vector<std::optional<double>>;
    EXPECT_EQ(ParseTableText("1,5\t2\r\n\t-3.25\r\n", 0, error),
              (CellValues{Row{1.5, 2.0}, Row{{}, -3.25}}));
    EXPECT_EQ(ParseTableText("1;2,5\n", 0, error), (CellValues{Row{1.0, 2.5}}));
    EXPECT_EQ(ParseTableText("1.5,2\n", 0, error), (CellValues{Row{1.5, 2.0}}));
    EXPECT_EQ(ParseTableText("1,5\n2,75\n", 0, error), (CellValues{Row{1.5}, Row{2.75}}));
    // The last line needs no line feed.
    EXPECT_EQ(ParseTableText("1\t2\r\n3\t4", 0, error), (CellValues{Row{1.0, 2.0}, Row{3.0, 4.0}}));
    // An empty block fits at any cell.
    EXPECT_TRUE(FitsTable({}, MapKind::Rcod, 0, 0, error));

    EXPECT_TRUE(ParseTableText("1\t2\n3\n", 0, error).empty());
    EXPECT_EQ(error.fault, TableTextFault::Ragged);
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.column, 2);
    EXPECT_TRUE(ParseTableText("1\t2\n3\t4 x\n", 0, error).empty());
    EXPECT_EQ(error.fault, TableTextFault::NotNumber);
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.column, 2);
    EXPECT_EQ(error.field, "4 x");

    // One field: blanks and tabs round it, either decimal separator, the texts a copy writes
    // for infinities and NaN in any case; a value too large to hold is no number.
    double v = 0;
    EXPECT_TRUE(ParseCellNumber(" \t+2,5\t ", v));
    EXPECT_EQ(v, 2.5);
    EXPECT_TRUE(ParseCellNumber(".5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(ParseCellNumber(",25", v));
    EXPECT_EQ(v, 0.25);
    for (const char* inf : {"INF", "inf", "+Inf"}) {
        EXPECT_TRUE(ParseCellNumber(inf, v)) << inf;
        EXPECT_EQ(v, std::numeric_limits<double>::infinity()) << inf;
    }
    EXPECT_TRUE(ParseCellNumber("-INF", v));
    EXPECT_EQ(v, -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(ParseCellNumber("nan", v));
    EXPECT_TRUE(std::isnan(v));
    for (const char* bad : {"", "INFO", "IN", "1,5.0", "1,2,3", "1e999", "x1"})
        EXPECT_FALSE(ParseCellNumber(bad, v)) << bad;

    // A block that runs off the table is refused whole: nothing is written.
    FirmwareImage image;
    BuildDemoImage(image);
    const auto before = Bytes(image);
    MapEditCount count;
    EXPECT_FALSE(PasteTableText(image, MapKind::Rcod, 8, 9, "1\t2\t3\n4\t5\t6\n", count, error));
    EXPECT_EQ(error.fault, TableTextFault::OutsideTable);
    EXPECT_EQ(error.line, 1);
    EXPECT_EQ(error.column, 3);
    EXPECT_FALSE(PasteTableText(image, MapKind::Rcod, 9, 0, "1\n2\n", count, error));
    EXPECT_EQ(error.fault, TableTextFault::OutsideTable);
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.column, 1);
    EXPECT_FALSE(PasteTableText(image, MapKind::Rcod, 0, 0, "0.5\nabc\n", count, error));
    EXPECT_TRUE(Bytes(image) == before);
    // Pasting nothing writes nothing, even at the table's last cell.
    PasteTableText(image, MapKind::Rcod, 11, 10, "", count, error);
    EXPECT_EQ(count.changed, 0);
    EXPECT_TRUE(Bytes(image) == before);
}

// Text copied with axes pastes back as the values alone, for a grid map and a one-column table;
// a header that is not one of the program's corner captions is still a fault, and positions in
// a fault count in the whole text, axis column included.
TEST(TableText, PasteSkipsTheAxesOfTextCopiedWithAxes) {
    FirmwareImage image;
    BuildDemoImage(image);
    for (const MapKind kind : {MapKind::Uoz, MapKind::Pmax}) {
        const MapInfo& info = GetMapInfo(kind);
        SCOPED_TRACE(info.name);
        const CellRect rect{1, 0, 3, info.cols - 1};
        TableTextError error;
        const CellValues withAxes =
            ParsePastedText(SelectionText(image, kind, rect, ",", true), error);
        EXPECT_EQ(error.fault, TableTextFault::None) << error.line << ':' << error.column;
        EXPECT_EQ(withAxes, ParseTableText(SelectionText(image, kind, rect, ",", false), 0, error));
        ASSERT_EQ(withAxes.size(), 3u);
        EXPECT_EQ(withAxes[0].size(), static_cast<size_t>(info.cols));
    }
    TableTextError error;
    using Row = std::vector<std::optional<double>>;
    EXPECT_EQ(ParsePastedText("N\\P\t71\t85\n1500\t12,5\t-3\n", error),
              (CellValues{Row{12.5, -3.0}}));
    EXPECT_TRUE(ParsePastedText("N\\P\t71\t85\n1500\t12,5\tx\n", error).empty());
    EXPECT_EQ(error.fault, TableTextFault::NotNumber);
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.column, 3);
    EXPECT_TRUE(ParsePastedText("Обороты\t71\n1500\t12\n", error).empty());
    EXPECT_EQ(error.fault, TableTextFault::NotNumber);
    EXPECT_EQ(error.line, 1);
    // Plain numbers are read as before.
    EXPECT_EQ(ParsePastedText("1\t2\n3\t4\n", error), (CellValues{Row{1.0, 2.0}, Row{3.0, 4.0}}));
}
