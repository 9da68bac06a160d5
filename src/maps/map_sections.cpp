#include "maps/map_sections.h"

#include <algorithm>

namespace {

// The axis label of data column i (acrossCols) or data row i; a table without labels on that
// axis counts its cells from 1, so that its points still stand apart.
long Label(const FirmwareImage& image, MapKind kind, bool acrossCols, int i) {
    const MapInfo& info = GetMapInfo(kind);
    if ((acrossCols ? info.colAxis : info.rowAxis) == MapAxis::None)
        return i + 1;
    return acrossCols ? MapColLabel(image, kind, i) : MapRowLabel(image, kind, i);
}

// The values of a table along one row (alongRow) or one column, with the axis labels of the
// other direction as x.
SectionCurve Curve(const FirmwareImage& image, MapKind kind, int row, int col, bool alongRow) {
    const MapInfo& info = GetMapInfo(kind);
    const int count = alongRow ? info.cols : info.rows;
    SectionCurve curve;
    curve.x.reserve(static_cast<std::size_t>(count));
    curve.y.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int r = alongRow ? row : i;
        const int c = alongRow ? i : col;
        curve.x.push_back(static_cast<double>(Label(image, kind, alongRow, i)));
        curve.y.push_back(MapValue(image, kind, r, c));
    }
    return curve;
}

} // namespace

MapSections SectionsThrough(const FirmwareImage& image, MapKind kind, int row, int col,
                            const FirmwareImage* reference) {
    const MapInfo& info = GetMapInfo(kind);
    MapSections s;
    s.row = std::clamp(row, 0, info.rows - 1);
    s.col = std::clamp(col, 0, info.cols - 1);
    s.rowLabel = Label(image, kind, false, s.row);
    s.colLabel = Label(image, kind, true, s.col);
    s.alongRow = Curve(image, kind, s.row, s.col, true);
    s.alongCol = Curve(image, kind, s.row, s.col, false);
    if (reference != nullptr) {
        s.referenceRow = Curve(*reference, kind, s.row, s.col, true);
        s.referenceCol = Curve(*reference, kind, s.row, s.col, false);
    }
    return s;
}
