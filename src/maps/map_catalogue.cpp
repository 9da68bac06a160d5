#include "maps/map_catalogue.h"

#include "image/decode_formulas.h"
#include "image/firmware_image.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

using namespace decode_formulas;

namespace {

constexpr int R = FirmwareImage::Rows;
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double Varies = std::numeric_limits<double>::quiet_NaN();

// Storage of the tables whose cells convert their codes alike, and of those that do not.
constexpr MapStorage ByteLine(double step, double zero) {
    return {CellWidthKind::Byte, false, step, zero, false};
}
constexpr MapStorage ByteComputed(double step) {
    return {CellWidthKind::Byte, false, step, Varies, false};
}
constexpr MapStorage WordRounded(double step) {
    return {CellWidthKind::Word, false, step, 0, true};
}
constexpr MapLimits Fixed(double min, double max) {
    return {true, min, max};
}
constexpr MapLimits NotFixed{false, -Inf, Inf};

// A decoded cell of a table, and of a one-column table held as one value per row.
template <auto Table> double TableCell(const FirmwareImage& im, int r, int c) {
    return (im.*Table)[r][c];
}
template <auto Line> double LineCell(const FirmwareImage& im, int r, int) {
    return (im.*Line)[r];
}

// The value a code shows in each table: the arithmetic Decode uses.
uint8_t Byte(int32_t code) {
    return static_cast<uint8_t>(code);
}
double HalfDegreeCode(const FirmwareImage&, int, int, int32_t code) {
    return HalfDegreeValue(Byte(code));
}
double Fraction256Code(const FirmwareImage&, int, int, int32_t code) {
    return Fraction256Value(Byte(code));
}
double TauCode(const FirmwareImage& im, int, int c, int32_t code) {
    return TauValue(Byte(code), im.PRaw[c], im.TauBase);
}
double LambdaCode(const FirmwareImage& im, int r, int c, int32_t code) {
    return LambdaValue(im.P[c], TauCode(im, r, c, code), im.InjectorOffset, im.InjectorGain,
                       im.StoichRatio);
}
double CorUozCode(const FirmwareImage& im, int r, int, int32_t code) {
    return CorUozValue(im.FullLoad[r].Uoz, HalfDegreeValue(Byte(code)));
}
double CorTauCode(const FirmwareImage& im, int r, int, int32_t code) {
    return CorTauValue(im.FullLoad[r].Tau, Fraction256Value(Byte(code)));
}
double AirFlowCode(const FirmwareImage&, int, int, int32_t code) {
    return RoundedAirFlow(static_cast<uint16_t>(code));
}
double DrmaxCode(const FirmwareImage&, int, int, int32_t code) {
    return DrmaxValue(Byte(code));
}

// The extra lines of the 3-D view: the full-load line and the throttle line at each speed row.
double FullLoadUoz(const FirmwareImage& im, int r) {
    return im.FullLoad[r].Uoz;
}
double FullLoadTau(const FirmwareImage& im, int r) {
    return im.FullLoad[r].Tau;
}
double FullLoadLambda(const FirmwareImage& im, int r) {
    return im.FullLoad[r].Lambda;
}
double ThrottleCoefCorUoz(const FirmwareImage& im, int r) {
    return im.DrmaxCoefCorUoz[r];
}
double ThrottleCoefCorTau(const FirmwareImage& im, int r) {
    return im.DrmaxCoefCorTau[r];
}

constexpr SurfaceColor Orange{1.0f, 0.5f, 0.0f};
constexpr SurfaceColor Teal{0.0f, 0.5f, 0.5f};
constexpr SurfaceColor Green{0.0f, 1.0f, 0.0f};
constexpr SurfaceLook NoSurface{0.0,  0.0,    {0.0f, 0.0f, 0.0f}, SurfaceExtraLine::None,
                                0.0f, nullptr};

constexpr MapPlacement At(MapBlock block, int rowStride, int colStride, int offset) {
    return {block, rowStride, colStride, offset};
}
constexpr SurfaceLook Look(double k, double b, SurfaceColor color, SurfaceExtraLine extra,
                           float extraWidth, double (*extraValue)(const FirmwareImage&, int)) {
    return {k, b, color, extra, extraWidth, extraValue};
}

using E = SurfaceExtraLine;
using B = MapBlock;
constexpr int LC = FirmwareImage::LoadCols;
constexpr int DC = FirmwareImage::DrCols;
constexpr int RR = FirmwareImage::RcodRowCount;
constexpr int RC = FirmwareImage::RcodColCount;

// Each row: kind, name; caption, menu text, shortcut, unit; rows, cols, corner, column title,
// row axis, column axis; decimals, storage, limits, placement; decoded value, code value; 3-D
// look; check mark rule.
// Main map: 44 bytes per speed row, a byte pair per load column (injection code in the even
// byte, ignition in the odd one). Correction map: stored column by column, 78 bytes per throttle
// column, the same byte pairs.
// clang-format off
const MapInfo Catalogue[MapKindCount] = {
    {MapKind::Uoz, "Uoz",
     "УОЗ", "УОЗ", "Ctrl+1", "°",
     R, LC, "N\\P", nullptr, MapAxis::Nuz, MapAxis::P,
     1, ByteLine(0.5, 0), Fixed(0, 127.5), At(B::MainMap, 44, 2, 1),
     TableCell<&FirmwareImage::Uoz>, HalfDegreeCode,
     Look(0.05, -1.0, Orange, E::FullLoad, 2.0f, FullLoadUoz), MarkRule::Set},
    {MapKind::Tau, "Tau",
     "Топливоподача", "Топливоподача", "Ctrl+2", "мс",
     R, LC, "N\\P", nullptr, MapAxis::Nuz, MapAxis::P,
     2, ByteComputed(0.02), NotFixed, At(B::MainMap, 44, 2, 0),
     TableCell<&FirmwareImage::Tau>, TauCode,
     Look(0.2, -1.5, Orange, E::FullLoad, 2.0f, FullLoadTau), MarkRule::Set},
    {MapKind::CoefCorUoz, "CoefCorUoz",
     "Коэффициент коррекции УОЗ по оборотам и дросселю",
     "Коэффициент коррекции УОЗ по оборотам и дросселю", "Ctrl+3", "°",
     R, DC, "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis,
     1, ByteLine(0.5, 0), Fixed(0, 127.5), At(B::CorMap, 2, 78, 1),
     TableCell<&FirmwareImage::CoefCorUoz>, HalfDegreeCode,
     Look(0.1, -1.0, Teal, E::Throttle, 1.0f, ThrottleCoefCorUoz), MarkRule::Flip},
    {MapKind::CoefCorTau, "CoefCorTau",
     "Коэффициент коррекции топливоподачи по оборотам и дросселю",
     "Коэффициент коррекции топливоподачи по оборотам и дросселю", "Ctrl+4", "",
     R, DC, "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis,
     3, ByteLine(1.0 / 256, 0), Fixed(0, 255.0 / 256), At(B::CorMap, 2, 78, 0),
     TableCell<&FirmwareImage::CoefCorTau>, Fraction256Code,
     Look(3.0, -1.0, Teal, E::Throttle, 1.0f, ThrottleCoefCorTau), MarkRule::Flip},
    // Edits the ignition coefficient behind the cell: half a degree less per code step.
    {MapKind::CorUoz, "CorUoz",
     "Коррекция УОЗ по оборотам и дросселю", "Коррекция УОЗ по оборотам и дросселю", "Ctrl+5", "°",
     R, DC, "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis,
     2, ByteComputed(-0.5), NotFixed, At(B::CorMap, 2, 78, 1),
     TableCell<&FirmwareImage::CorUoz>, CorUozCode,
     Look(0.05, -1.0, Green, E::None, 0.0f, nullptr), MarkRule::Flip},
    // Edits the injection coefficient behind the cell: a step of 1/256 of the full-load value.
    {MapKind::CorTau, "CorTau",
     "Коррекция топливоподачи по оборотам и дросселю",
     "Коррекция топливоподачи по оборотам и дросселю", "Ctrl+6", "мс",
     R, DC, "N\\Dr", nullptr, MapAxis::Nuz, MapAxis::DrAxis,
     2, ByteComputed(0), NotFixed, At(B::CorMap, 2, 78, 0),
     TableCell<&FirmwareImage::CorTau>, CorTauCode,
     Look(0.2, -3.0, Green, E::None, 0.0f, nullptr), MarkRule::Flip},
    // Air flow: 8/9 of the stored word, rounded half up.
    {MapKind::Pmax, "Pmax",
     "Максимальный цикловой расход воздуха", "Максимальный цикловой расход воздуха", "Ctrl+9", "",
     R, 1, "Nuz", "Pmax", MapAxis::Nuz, MapAxis::None,
     -1, WordRounded(8.0 / 9), Fixed(0, 58253), At(B::Pmax, 2, 0, 0),
     LineCell<&FirmwareImage::Pmax>, AirFlowCode,
     NoSurface, MarkRule::Never},
    // Edits the injection code behind the cell; the ratio is no line of the code.
    {MapKind::Lambda, "Lambda",
     "Лямбда", "Лямбда", "Ctrl+7", "",
     R, LC, "N\\P", nullptr, MapAxis::Nuz, MapAxis::P,
     3, ByteComputed(0), NotFixed, At(B::MainMap, 44, 2, 0),
     TableCell<&FirmwareImage::Lambda>, LambdaCode,
     Look(2.0, -1.5, Orange, E::FullLoad, 1.0f, FullLoadLambda), MarkRule::Set},
    {MapKind::Rcod, "Rcod",
     "Чувствительность RCOD", "Чувствительность RCOD", "Ctrl+8", "",
     RR, RC, "N\\P", nullptr, MapAxis::RcodRows, MapAxis::RcodCols,
     3, ByteLine(1.0 / 256, 0), Fixed(0, 255.0 / 256), At(B::Rcod, 11, 1, 0),
     TableCell<&FirmwareImage::Rcod>, Fraction256Code,
     Look(1.0, -1.0, Teal, E::None, 0.0f, nullptr), MarkRule::Set},
    // Throttle position in percent: (code * 100 - 4800) / 142.
    {MapKind::Drmax, "Drmax",
     "Положение дросселя, при макс. цикловом расходе воздуха",
     "Положение дросселя, при макс. цикловом расходе воздуха", "Ctrl+0", "%",
     R, 1, "Nuz", "Drmax", MapAxis::Nuz, MapAxis::None,
     0, ByteLine(100.0 / 142, -4800.0 / 142), Fixed(-4800.0 / 142, 20700.0 / 142),
     At(B::Drmax, 1, 0, 0),
     LineCell<&FirmwareImage::Drmax>, DrmaxCode,
     NoSurface, MarkRule::Never},
};
// clang-format on

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

std::array<const MapInfo*, MapKindCount> MapMenuOrder() {
    std::array<const MapInfo*, MapKindCount> order{};
    for (int i = 0; i < MapKindCount; ++i)
        order[i] = &Catalogue[i];
    std::stable_partition(order.begin(), order.end(),
                          [](const MapInfo* info) { return info->mark != MarkRule::Never; });
    return order;
}

int32_t LowestCode(const MapStorage& storage) {
    if (!storage.isSigned)
        return 0;
    return storage.width == CellWidthKind::Word ? -0x8000 : -0x80;
}

int32_t HighestCode(const MapStorage& storage) {
    const int32_t all = storage.width == CellWidthKind::Word ? 0xFFFF : 0xFF;
    return storage.isSigned ? all / 2 : all;
}

double MapValue(const FirmwareImage& image, MapKind kind, int r, int c) {
    return GetMapInfo(kind).decodedValue(image, r, c);
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
