#include "maps/surface_geometry.h"

#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/map_status.h"
#include "maps/value_colour.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int MaxRows = FirmwareImage::Rows;
constexpr int MaxCols = FirmwareImage::LoadCols;

// X positions of the 39 engine-speed rows: the rows are closer together at high speed, where
// the maps change fastest.
constexpr float RowX[FirmwareImage::Rows] = {
    0.0f,  0.33f, 0.5f,  0.67f, 0.83f, 1.0f,  1.17f, 1.33f, 1.5f,  1.67f, 1.83f, 2.0f,  2.08f,
    2.17f, 2.25f, 2.33f, 2.42f, 2.5f,  2.58f, 2.67f, 2.75f, 2.83f, 2.92f, 3.0f,  3.05f, 3.1f,
    3.15f, 3.2f,  3.25f, 3.3f,  3.33f, 3.37f, 3.4f,  3.43f, 3.47f, 3.5f,  3.53f, 3.57f, 3.6f};

// X positions of the 10 Rcod rows.
constexpr float RcodRowX[FirmwareImage::RcodRowCount] = {0.0f,  0.13f, 0.29f, 0.5f,  0.75f,
                                                         1.17f, 1.58f, 2.0f,  2.83f, 3.67f};

// Z positions of the 7 throttle columns: the throttle axis (17 .. 100 %) times 0.02.
constexpr float DrZ[FirmwareImage::DrCols] = {0.34f, 0.56f, 0.8f, 1.0f, 1.2f, 1.5f, 2.0f};

constexpr double ThrottleZScale = 0.02;
constexpr double LoadZScale = 0.1;
constexpr float RowXShift = 1.6f;

// A height as float. Values beyond the float range become infinities instead of undefined
// conversions; infinities and NaNs (a Lambda cell divided by zero) stay as they are.
float ToFloat(double v) {
    constexpr double Max = std::numeric_limits<float>::max();
    if (v > Max)
        return std::numeric_limits<float>::infinity();
    if (v < -Max)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

// Z of the extra line at a speed row: the full-load position on the load axis, or the throttle
// position of maximum air flow on the same scale as the throttle columns.
double ExtraLineZ(const FirmwareImage& image, SurfaceExtraLine extra, int row) {
    if (extra == SurfaceExtraLine::FullLoad)
        return image.FullLoad[row].Pos * LoadZScale - 1.0;
    return image.Drmax[row] * ThrottleZScale - 1.0;
}

void AddBatch(SurfaceFrame& frame, SurfacePrimitive primitive, SurfaceColor color, float width,
              int first, bool pointColours = false) {
    const int count = static_cast<int>(frame.points.size()) - first;
    frame.batches.push_back({primitive, color, width, first, count, pointColours});
    // Points without a colour of their own take the batch's.
    frame.colors.resize(frame.points.size(), color);
}

void AddAxes(SurfaceFrame& frame) {
    const int first = static_cast<int>(frame.points.size());
    const SurfacePoint origin{-1.0f, -1.0f, -1.0f};
    frame.points.push_back(origin);
    frame.points.push_back({2.0f, -1.0f, -1.0f});
    frame.points.push_back(origin);
    frame.points.push_back({-1.0f, 0.5f, -1.0f});
    frame.points.push_back(origin);
    frame.points.push_back({-1.0f, -1.0f, 2.0f});
    AddBatch(frame, SurfacePrimitive::Lines, SurfaceColors::Axis, 1.0f, first);
}

// X of a row: the Rcod rows have their own spacing, every other table has the speed rows.
float RowXOnAxis(MapAxis rowAxis, int row) {
    const float* table = rowAxis == MapAxis::RcodRows ? RcodRowX : RowX;
    return table[row] - RowXShift;
}

// Z of a column: load columns and Rcod columns are evenly spaced, throttle columns follow the
// throttle axis.
float ColumnZOnAxis(MapAxis colAxis, int col) {
    switch (colAxis) {
    case MapAxis::P:
        return static_cast<float>(col * LoadZScale - 1.0);
    case MapAxis::RcodCols:
        return static_cast<float>(col * 0.2 - 1.0);
    case MapAxis::DrAxis:
        return DrZ[col] - 1.0f;
    case MapAxis::Nuz:
    case MapAxis::RcodRows:
    case MapAxis::None:
        break;
    }
    return -1.0f;
}

// The points of every table cell, row by row. Every cell point is used by up to four polygons
// and the cross-hair: each is computed once, the table read in one pass and each row's X and
// column's Z found once.
using CellGrid = std::array<SurfacePoint, MaxRows * MaxCols>;
void FillCellGrid(const FirmwareImage& image, MapKind map, const SurfaceStyle& style,
                  CellGrid& grid) {
    const MapInfo& info = GetMapInfo(map);
    const int R = style.rows;
    const int C = style.cols;
    std::array<double, MaxRows * MaxCols> values;
    ReadMapValues(image, map, values.data());
    std::array<float, MaxRows> rowX;
    for (int r = 0; r < R; ++r)
        rowX[r] = RowXOnAxis(info.rowAxis, r);
    std::array<float, MaxCols> colZ;
    for (int c = 0; c < C; ++c)
        colZ[c] = ColumnZOnAxis(info.colAxis, c);
    for (int r = 0; r < R; ++r)
        for (int c = 0; c < C; ++c)
            grid[r * C + c] = {rowX[r], ToFloat(values[r * C + c] * style.k + style.b), colZ[c]};
}

// The surface: one outlined polygon per cell, column strip by column strip.
void AddSurfaceQuads(SurfaceFrame& frame, const CellGrid& grid, int R, int C, SurfaceColor color) {
    const int first = static_cast<int>(frame.points.size());
    for (int c = 0; c + 1 < C; ++c)
        for (int r = 0; r + 1 < R; ++r) {
            frame.points.push_back(grid[r * C + c]);
            frame.points.push_back(grid[(r + 1) * C + c]);
            frame.points.push_back(grid[(r + 1) * C + c + 1]);
            frame.points.push_back(grid[r * C + c + 1]);
        }
    AddBatch(frame, SurfacePrimitive::Quads, color, 1.0f, first);
}

// The lowest and highest finite value of a table; lo > hi when it has none.
void FiniteRange(const FirmwareImage& image, MapKind map, int count, double& lo, double& hi) {
    std::array<double, MaxRows * MaxCols> values;
    ReadMapValues(image, map, values.data());
    for (int i = 0; i < count; ++i)
        if (std::isfinite(values[i])) {
            lo = std::min(lo, values[i]);
            hi = std::max(hi, values[i]);
        }
}

// The surface's colours: each cell's point by its value's place between the table's lowest and
// highest, on the palette the grid uses; points without a finite height in the map's colour.
SurfaceColor PaletteColour(float y, float lo, float hi, SurfaceColor fallback) {
    if (!std::isfinite(y))
        return fallback;
    const RgbColour c = ViridisColour(hi > lo ? (y - lo) / (hi - lo) : 0.5);
    return {c.r / 255.0f, c.g / 255.0f, c.b / 255.0f};
}

std::string AxisTitle(MapAxis axis) {
    const std::string unit = MapAxisUnit(axis);
    return unit.empty() ? MapAxisName(axis) : std::string(MapAxisName(axis)) + ", " + unit;
}

// Tick values and axis names of a drawn table, placed just off its edges.
void AddLabels(SurfaceFrame& frame, const FirmwareImage& image, MapKind map,
               const SurfaceStyle& style, double lo, double hi, const std::string& separator) {
    const MapInfo& info = GetMapInfo(map);
    const int R = style.rows;
    const int C = style.cols;
    const float front = RowXOnAxis(info.rowAxis, 0) - 0.15f;
    const float side = ColumnZOnAxis(info.colAxis, 0) - 0.15f;
    for (int r : {0, R / 4, R / 2, 3 * R / 4, R - 1})
        frame.labels.push_back({{RowXOnAxis(info.rowAxis, r), -1.0f, side},
                                std::to_string(MapRowLabel(image, map, r))});
    frame.labels.push_back(
        {{RowXOnAxis(info.rowAxis, R - 1) + 0.25f, -1.0f, side}, AxisTitle(info.rowAxis)});
    for (int c : {0, C / 2, C - 1})
        frame.labels.push_back({{front, -1.0f, ColumnZOnAxis(info.colAxis, c)},
                                std::to_string(MapColLabel(image, map, c))});
    frame.labels.push_back(
        {{front, -1.0f, ColumnZOnAxis(info.colAxis, C - 1) + 0.25f}, AxisTitle(info.colAxis)});
    if (lo > hi)
        return;
    const std::string unit = info.unit;
    for (double v : {lo, hi}) {
        std::string text = FormatMapNumber(v, info.decimals, separator);
        if (!unit.empty())
            text += " " + unit;
        frame.labels.push_back({{front, ToFloat(v * style.k + style.b), side}, text});
    }
    frame.labels.push_back({{front, ToFloat(hi * style.k + style.b) + 0.2f, side}, info.caption});
}

// The style stretched for values from lo to hi (see FittedStyle).
SurfaceStyle Stretched(SurfaceStyle style, double lo, double hi) {
    if (style.rows == 0 || style.k == 0)
        return style;
    const double span = (hi - lo) * std::fabs(style.k);
    if (!(hi > lo) || span >= MinSurfaceSpan)
        return style;
    const double k = std::copysign(MinSurfaceSpan / (hi - lo), style.k);
    style.b += lo * (style.k - k);
    style.k = k;
    return style;
}

} // namespace

SurfaceStyle FittedStyle(const FirmwareImage& image, MapKind map, const FirmwareImage* reference) {
    const SurfaceStyle style = StyleOf(map);
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    FiniteRange(image, map, style.rows * style.cols, lo, hi);
    if (reference)
        FiniteRange(*reference, map, style.rows * style.cols, lo, hi);
    return Stretched(style, lo, hi);
}

SurfaceStyle StyleOf(MapKind map) {
    const MapInfo& info = GetMapInfo(map);
    const SurfaceLook& look = info.look;
    SurfaceStyle style{0, 0, look.k, look.b, look.color, look.extra, look.extraWidth};
    if (info.colAxis != MapAxis::None) {
        style.rows = info.rows;
        style.cols = info.cols;
    }
    return style;
}

float RowXOf(MapKind map, int row) {
    return RowXOnAxis(GetMapInfo(map).rowAxis, row);
}

float ColumnZOf(MapKind map, int col) {
    return ColumnZOnAxis(GetMapInfo(map).colAxis, col);
}

SurfacePoint CellPoint(const FirmwareImage& image, MapKind map, int row, int col) {
    const MapInfo& info = GetMapInfo(map);
    const SurfaceStyle style = FittedStyle(image, map);
    const double y = MapValue(image, map, row, col) * style.k + style.b;
    return {RowXOnAxis(info.rowAxis, row), ToFloat(y), ColumnZOnAxis(info.colAxis, col)};
}

void BuildSurfaceFrame(const FirmwareImage& image, std::optional<MapKind> marked, int selRow,
                       int selCol, SurfaceFrame& frame, const FirmwareImage* reference,
                       const std::string& decimalSeparator, bool colourByValue) {
    frame.points.clear();
    frame.colors.clear();
    frame.batches.clear();
    frame.labels.clear();
    frame.cells.clear();
    frame.cellRows = frame.cellCols = 0;
    AddAxes(frame);
    if (!marked)
        return;

    const MapKind map = *marked;
    const MapInfo& info = GetMapInfo(map);
    // The table's own range labels its height axis; with the reference's it fits the height.
    const SurfaceStyle plain = StyleOf(map);
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    FiniteRange(image, map, plain.rows * plain.cols, lo, hi);
    double bothLo = lo;
    double bothHi = hi;
    if (reference)
        FiniteRange(*reference, map, plain.rows * plain.cols, bothLo, bothHi);
    const SurfaceStyle style = Stretched(plain, bothLo, bothHi);
    const int R = style.rows;
    const int C = style.cols;
    if (R == 0 || C == 0)
        return;

    // The reference goes first, so the current surface is drawn over it where they meet.
    CellGrid grid;
    if (reference) {
        FillCellGrid(*reference, map, style, grid);
        AddSurfaceQuads(frame, grid, R, C, SurfaceColors::Reference);
    }
    FillCellGrid(image, map, style, grid);
    auto at = [&](int r, int c) { return grid[r * C + c]; };

    frame.points.reserve(frame.points.size() + 4 * (R - 1) * (C - 1) + R + C + R);
    AddSurfaceQuads(frame, grid, R, C, style.color);
    // The current surface in the grid's palette, by height, which follows the value.
    if (colourByValue) {
        float lo = HUGE_VALF;
        float hi = -HUGE_VALF;
        for (int i = 0; i < R * C; ++i)
            if (std::isfinite(grid[i].y)) {
                lo = std::min(lo, grid[i].y);
                hi = std::max(hi, grid[i].y);
            }
        SurfaceBatch& surface = frame.batches.back();
        surface.pointColours = true;
        for (int i = surface.first; i < surface.first + surface.count; ++i)
            frame.colors[i] = PaletteColour(frame.points[i].y, lo, hi, style.color);
    }
    frame.cells.assign(grid.begin(), grid.begin() + R * C);
    frame.cellRows = R;
    frame.cellCols = C;
    AddLabels(frame, image, map, style, lo, hi, decimalSeparator);
    int first = 0;

    // Cross-hair along the current column and along the current row. The grid may show a
    // table with more rows than the marked map (Rcod marked, a 39-row table in the grid): a
    // line whose index lies outside the drawn table is left out.
    if (selCol >= 0 && selCol < C) {
        first = static_cast<int>(frame.points.size());
        for (int r = 0; r < R; ++r)
            frame.points.push_back(at(r, selCol));
        AddBatch(frame, SurfacePrimitive::LineStrip, SurfaceColors::CrossHair, CrossHairWidth,
                 first);
    }
    if (selRow >= 0 && selRow < R) {
        first = static_cast<int>(frame.points.size());
        for (int c = 0; c < C; ++c)
            frame.points.push_back(at(selRow, c));
        AddBatch(frame, SurfacePrimitive::LineStrip, SurfaceColors::CrossHair, CrossHairWidth,
                 first);
    }

    // Full-load or throttle line, one point per speed row.
    if (style.extra != SurfaceExtraLine::None && info.look.extraValue) {
        first = static_cast<int>(frame.points.size());
        for (int r = 0; r < FirmwareImage::Rows; ++r) {
            const double y = info.look.extraValue(image, r) * style.k + style.b;
            frame.points.push_back({RowXOnAxis(info.rowAxis, r), ToFloat(y),
                                    ToFloat(ExtraLineZ(image, style.extra, r))});
        }
        AddBatch(frame, SurfacePrimitive::LineStrip, SurfaceColors::ExtraLine, style.extraWidth,
                 first);
    }

    // Cells whose stored bytes differ from the file: a small cross of three strokes at the
    // vertex, drawn last so the surface never hides it.
    first = static_cast<int>(frame.points.size());
    const float m = ChangedMarkerSize;
    for (int r = 0; r < R; ++r)
        for (int c = 0; c < C; ++c)
            if (CellDiffersFromFile(image, map, r, c)) {
                const SurfacePoint p = at(r, c);
                frame.points.insert(frame.points.end(), {{p.x - m, p.y, p.z},
                                                         {p.x + m, p.y, p.z},
                                                         {p.x, p.y - m, p.z},
                                                         {p.x, p.y + m, p.z},
                                                         {p.x, p.y, p.z - m},
                                                         {p.x, p.y, p.z + m}});
            }
    if (static_cast<int>(frame.points.size()) > first)
        AddBatch(frame, SurfacePrimitive::Lines, SurfaceColors::ChangedMarker, CrossHairWidth,
                 first);
}
