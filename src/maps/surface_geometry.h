#pragma once

#include "maps/map_catalogue.h"
#include "maps/surface_look.h"

#include <optional>
#include <string>
#include <vector>

class FirmwareImage;

struct SurfacePoint {
    float x, y, z;
};

// How the points of one batch are joined: Lines takes them in pairs, LineStrip joins each to
// the next, Quads takes them in fours as polygons drawn as outlines.
enum class SurfacePrimitive { Lines, LineStrip, Quads };

// A run of consecutive points of a frame drawn with one colour and one line width, or, with
// pointColours, each point in its own colour from SurfaceFrame::colors.
struct SurfaceBatch {
    SurfacePrimitive primitive;
    SurfaceColor color;
    float width;
    int first; // index of the first point in SurfaceFrame::points
    int count; // number of points
    bool pointColours = false;
};

// A text the view writes at a model point: a tick value or the name of an axis (UTF-8).
struct SurfaceLabel {
    SurfacePoint at;
    std::string text;
};

// Everything one frame of the 3-D view draws, in drawing order, in model coordinates, with the
// labels to write over it and the points of the drawn table's cells (row by row, cellRows ×
// cellCols) for finding the cell under the mouse.
struct SurfaceFrame {
    std::vector<SurfacePoint> points;
    std::vector<SurfaceColor> colors; // one per point
    std::vector<SurfaceBatch> batches;
    std::vector<SurfaceLabel> labels;
    std::vector<SurfacePoint> cells;
    int cellRows = 0;
    int cellCols = 0;
};

// Drawing parameters of one map: a value v is drawn at height v * k + b.
struct SurfaceStyle {
    int rows;
    int cols;
    double k;
    double b;
    SurfaceColor color;
    SurfaceExtraLine extra;
    float extraWidth;
};

// The style of a map, its size as the catalogue gives it. The one-column tables have no surface:
// zero rows and columns.
SurfaceStyle StyleOf(MapKind map);

// The style a map is drawn with in an image (and its reference, drawn to the same scale): the
// catalogue's heights, stretched where the values span too little height to be seen (a table
// whose values all lie close together would otherwise look flat); the lowest value then stays
// where the catalogue puts it.
SurfaceStyle FittedStyle(const FirmwareImage& image, MapKind map,
                         const FirmwareImage* reference = nullptr);

// The height the values of a drawn map span at least.
constexpr double MinSurfaceSpan = 0.75;

// X of a table row and Z of a table column of the map (indices inside the table).
float RowXOf(MapKind map, int row);
float ColumnZOf(MapKind map, int col);

// The point of table cell (row, col) of the map, read from the decoded tables of the image,
// at the height FittedStyle gives it. Indices must lie inside the table.
SurfacePoint CellPoint(const FirmwareImage& image, MapKind map, int row, int col);

// Builds the whole frame: the three axes, then for the marked map its wireframe surface (in the
// grid's palette by value when colourByValue, as the grid is coloured then), the
// cross-hair through the current grid cell (selRow, selCol), its extra line and a marker on
// every cell whose stored bytes differ from the file (LoadedCopy). With no map
// marked, or a one-column table, only the axes are drawn. A cross-hair line whose row or column
// lies outside the drawn table is left out, so nothing is read outside the tables. `frame` is
// cleared first; its storage is reused between frames. With a reference image (decoded), its
// surface of the same map is drawn first as a grey wireframe under the current one. Labels name
// the axes with their units and give tick values along each: row and column axis values, and
// the table's lowest and highest values on the height axis.
void BuildSurfaceFrame(const FirmwareImage& image, std::optional<MapKind> marked, int selRow,
                       int selCol, SurfaceFrame& frame, const FirmwareImage* reference = nullptr,
                       const std::string& decimalSeparator = ",", bool colourByValue = false);

// Colours and widths the frame uses, named for the drawing code and the tests.
namespace SurfaceColors {
constexpr SurfaceColor Axis{0.0f, 0.0f, 1.0f};
constexpr SurfaceColor CrossHair{1.0f, 1.0f, 1.0f};
constexpr SurfaceColor ExtraLine{0.85f, 0.97f, 0.027f};
constexpr SurfaceColor Reference{0.5f, 0.5f, 0.5f};
constexpr SurfaceColor ChangedMarker{1.0f, 0.35f, 0.0f};
} // namespace SurfaceColors
constexpr float CrossHairWidth = 2.0f;
// Half the length of a stroke of the marker on a changed cell, in model units.
constexpr float ChangedMarkerSize = 0.03f;
