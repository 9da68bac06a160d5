#include "maps/map_operations.h"

#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/nearest_raw.h"

#include <algorithm>
#include <cmath>

namespace {

bool Empty(const CellRect& r) {
    return r.bottom < r.top || r.right < r.left;
}

// Linear position of i between first and last, 0 when they coincide.
double Fraction(int i, int first, int last) {
    return last == first ? 0.0 : static_cast<double>(i - first) / (last - first);
}

double Between(double a, double b, double t) {
    return a + (b - a) * t;
}

// Mean of the finite values of the 3 × 3 cells around (r, c) that lie inside the table.
double NeighbourhoodMean(const FirmwareImage& image, MapKind kind, int r, int c) {
    const MapInfo& info = GetMapInfo(kind);
    double sum = 0;
    int count = 0;
    for (int i = std::max(r - 1, 0); i <= std::min(r + 1, info.rows - 1); ++i)
        for (int j = std::max(c - 1, 0); j <= std::min(c + 1, info.cols - 1); ++j) {
            const double v = MapValue(image, kind, i, j);
            if (std::isfinite(v)) {
                sum += v;
                ++count;
            }
        }
    return count > 0 ? sum / count : MapValue(image, kind, r, c);
}

double NewValue(const FirmwareImage& image, MapKind kind, const CellRect& s, MapOperation op,
                double operand, int r, int c) {
    const double v = MapValue(image, kind, r, c);
    auto at = [&](int i, int j) { return MapValue(image, kind, i, j); };
    const double tc = Fraction(c, s.left, s.right);
    const double tr = Fraction(r, s.top, s.bottom);
    switch (op) {
    case MapOperation::SetValue:
        return operand;
    case MapOperation::Add:
        return v + operand;
    case MapOperation::MultiplyPercent:
        return v * operand / 100.0;
    case MapOperation::InterpolateRows:
        return Between(at(r, s.left), at(r, s.right), tc);
    case MapOperation::InterpolateColumns:
        return Between(at(s.top, c), at(s.bottom, c), tr);
    case MapOperation::InterpolateRect:
        return Between(Between(at(s.top, s.left), at(s.top, s.right), tc),
                       Between(at(s.bottom, s.left), at(s.bottom, s.right), tc), tr);
    case MapOperation::Smooth:
        return NeighbourhoodMean(image, kind, r, c);
    }
    return v;
}

} // namespace

CellRect ClipToTable(MapKind kind, CellRect rect) {
    const MapInfo& info = GetMapInfo(kind);
    rect.top = std::max(rect.top, 0);
    rect.left = std::max(rect.left, 0);
    rect.bottom = std::min(rect.bottom, info.rows - 1);
    rect.right = std::min(rect.right, info.cols - 1);
    return rect;
}

MapEditCount StoreMapValues(FirmwareImage& image, MapKind kind, int top, int left,
                            const CellValues& values) {
    const MapInfo& info = GetMapInfo(kind);
    struct Store {
        int32_t address;
        int32_t raw;
    };
    // Every stored value is chosen before the first write: a write can change what the
    // decoded image says until the next decode.
    std::vector<Store> stores;
    MapEditCount count;
    for (size_t i = 0; i < values.size(); ++i)
        for (size_t j = 0; j < values[i].size(); ++j) {
            const int r = top + static_cast<int>(i), c = left + static_cast<int>(j);
            if (!values[i][j] || r < 0 || c < 0 || r >= info.rows || c >= info.cols)
                continue;
            bool clamped = false;
            const int32_t raw = NearestRaw(image, kind, r, c, *values[i][j], &clamped);
            count.clamped += clamped ? 1 : 0;
            stores.push_back({MapCellAddress(image, kind, r, c), raw});
        }
    FirmwareImage::WriteBatch batch(image);
    for (const Store& s : stores) {
        if (ReadCellRaw(image, info.storage.width, s.address, s.raw) == s.raw)
            continue;
        WriteCellRaw(image, info.storage.width, s.address, s.raw);
        ++count.changed;
    }
    return count;
}

CellValues MapOperationValues(const FirmwareImage& image, MapKind kind, CellRect rect,
                              MapOperation op, double operand) {
    rect = ClipToTable(kind, rect);
    if (Empty(rect))
        return {};
    CellValues values(static_cast<size_t>(rect.bottom - rect.top + 1));
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c)
            values[static_cast<size_t>(r - rect.top)].push_back(
                NewValue(image, kind, rect, op, operand, r, c));
    return values;
}

MapEditCount ApplyMapOperation(FirmwareImage& image, MapKind kind, CellRect rect, MapOperation op,
                               double operand) {
    rect = ClipToTable(kind, rect);
    if (Empty(rect))
        return {};
    return StoreMapValues(image, kind, rect.top, rect.left,
                          MapOperationValues(image, kind, rect, op, operand));
}

MapEditCount StepMapCells(FirmwareImage& image, MapKind kind, CellRect rect, int delta) {
    rect = ClipToTable(kind, rect);
    const MapStorage& storage = GetMapInfo(kind).storage;
    const CellWidthKind width = storage.width;
    const int32_t top = HighestCode(storage);
    MapEditCount count;
    FirmwareImage::WriteBatch batch(image);
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c) {
            const int32_t address = MapCellAddress(image, kind, r, c);
            const int32_t before = ReadCellRaw(image, width, address, 0);
            const int32_t after = std::clamp(before + delta, 0, top);
            count.clamped += after != before + delta ? 1 : 0;
            if (after != before) {
                WriteCellRaw(image, width, address, after);
                ++count.changed;
            }
        }
    return count;
}
