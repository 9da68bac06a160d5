#include "maps/map_catalogue.h"

#include "image/firmware_image.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

constexpr int R = FirmwareImage::Rows;

const MapInfo Catalogue[MapKindCount] = {
    {MapKind::Uoz, "Uoz", "УОЗ", R, FirmwareImage::LoadCols, "N\\P", nullptr, MapAxis::Nuz,
     MapAxis::P, 1, CellWidthKind::Byte, MarkRule::Set},
    {MapKind::Tau, "Tau", "Топливолподача", R, FirmwareImage::LoadCols, "N\\P", nullptr,
     MapAxis::Nuz, MapAxis::P, 2, CellWidthKind::Byte, MarkRule::Set},
    {MapKind::CoefCorUoz, "CoefCorUoz", "Коэффициент коррекции УОЗ по оборотам и дросселю", R,
     FirmwareImage::DrCols, "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis, 1, CellWidthKind::Byte,
     MarkRule::Flip},
    {MapKind::CoefCorTau, "CoefCorTau",
     "Коэффициент коррекции топливолподачи по оборотам и дросселю", R, FirmwareImage::DrCols,
     "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis, 3, CellWidthKind::Byte, MarkRule::Flip},
    {MapKind::CorUoz, "CorUoz", "Коррекция УОЗ по оборотам и дросселю", R, FirmwareImage::DrCols,
     "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis, 2, CellWidthKind::Byte, MarkRule::Flip},
    {MapKind::CorTau, "CorTau", "Коррекция топливолподачи по оборотам и дросселю", R,
     FirmwareImage::DrCols, "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis, 2, CellWidthKind::Byte,
     MarkRule::Flip},
    {MapKind::Pmax, "Pmax", "Максимальный цикловой расход воздуха", R, 1, "Nuz", "Pmax",
     MapAxis::Nuz, MapAxis::None, -1, CellWidthKind::Word, MarkRule::Never},
    {MapKind::Lambda, "Lambda", "Лямбда", R, FirmwareImage::LoadCols, "N\\P", nullptr, MapAxis::Nuz,
     MapAxis::P, 3, CellWidthKind::Byte, MarkRule::Set},
    {MapKind::Rcod, "Rcod", "Чувствительность RCOD", FirmwareImage::RcodRowCount,
     FirmwareImage::RcodColCount, "N\\P", nullptr, MapAxis::RcodRows, MapAxis::RcodCols, 3,
     CellWidthKind::Byte, MarkRule::Set},
    {MapKind::Drmax, "Drmax", "Положение дросселя, при макс. цикловом расходе воздуха", R, 1, "Nuz",
     "Drmax", MapAxis::Nuz, MapAxis::None, 0, CellWidthKind::Byte, MarkRule::Never},
};

long AxisLabel(const FirmwareImage& image, MapAxis axis, int i) {
    switch (axis) {
    case MapAxis::Nuz:
        return image.Nuz[i];
    case MapAxis::P:
        return image.P[i];
    case MapAxis::DrAxis:
        return image.DrAxis[i];
    case MapAxis::RcodRows:
        return static_cast<long>(image.RcodRows[i]);
    case MapAxis::RcodCols:
        return static_cast<long>(image.RcodCols[i]);
    case MapAxis::None:
        break;
    }
    return 0;
}

} // namespace

const MapInfo& GetMapInfo(MapKind kind) {
    const int i = static_cast<int>(kind);
    if (i < 0 || i >= MapKindCount)
        throw std::out_of_range("map kind");
    return Catalogue[i];
}

const MapInfo (&MapCatalogue())[MapKindCount] {
    return Catalogue;
}

double MapValue(const FirmwareImage& image, MapKind kind, int r, int c) {
    switch (kind) {
    case MapKind::Uoz:
        return image.Uoz[r][c];
    case MapKind::Tau:
        return image.Tau[r][c];
    case MapKind::CoefCorUoz:
        return image.CoefCorUoz[r][c];
    case MapKind::CoefCorTau:
        return image.CoefCorTau[r][c];
    case MapKind::CorUoz:
        return image.CorUoz[r][c];
    case MapKind::CorTau:
        return image.CorTau[r][c];
    case MapKind::Pmax:
        return image.Pmax[r];
    case MapKind::Lambda:
        return image.Lambda[r][c];
    case MapKind::Rcod:
        return image.Rcod[r][c];
    case MapKind::Drmax:
        return image.Drmax[r];
    }
    throw std::out_of_range("map kind");
}

void ReadMapValues(const FirmwareImage& image, MapKind kind, double* out) {
    const MapInfo& info = GetMapInfo(kind);
    for (int r = 0; r < info.rows; ++r)
        for (int c = 0; c < info.cols; ++c)
            *out++ = MapValue(image, kind, r, c);
}

long MapRowLabel(const FirmwareImage& image, MapKind kind, int row) {
    return AxisLabel(image, GetMapInfo(kind).rowAxis, row);
}

long MapColLabel(const FirmwareImage& image, MapKind kind, int col) {
    return AxisLabel(image, GetMapInfo(kind).colAxis, col);
}

std::string FormatMapNumber(double value, int decimals, const std::string& decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    // The catalogue's patterns have up to 3 decimals; 100 keeps any text inside the buffer.
    const int places = decimals < 0 ? 0 : std::min(decimals, 100);
    // Round half away from zero at the shown number of places, as a fixed pattern does; the
    // tiny bias absorbs binary representation error (0.125 must show as 0.13 with "0.00").
    const double scale = std::pow(10.0, places);
    const double scaled = value * scale * (1 + 1e-12);
    double rounded = std::isfinite(scaled) ? std::round(scaled) / scale : value;
    if (rounded == 0)
        rounded = 0; // drops the sign of -0
    // to_chars writes '.' whatever the C library's locale, so the separator given is the only
    // one that shows. The buffer holds the 309 integer digits of the largest double and the
    // decimals.
    char buffer[512];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, places);
    std::string text(buffer, written.ptr);
    const std::string::size_type dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, decimalSeparator);
    return text;
}

std::string FormatMapCell(const FirmwareImage& image, MapKind kind, int row, int col,
                          const std::string& decimalSeparator) {
    return FormatMapNumber(MapValue(image, kind, row, col), GetMapInfo(kind).decimals,
                           decimalSeparator);
}
