#include "maps/map_status.h"

#include "image/firmware_image.h"
#include "maps/cell_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const char* const Gap = "  |  ";

} // namespace

const char* MapAxisName(MapAxis axis) {
    switch (axis) {
    case MapAxis::Nuz:
    case MapAxis::RcodRows:
        return "N";
    case MapAxis::P:
    case MapAxis::RcodCols:
        return "P";
    case MapAxis::DrAxis:
        return "Dr";
    case MapAxis::None:
        break;
    }
    return "";
}

namespace {

std::string WithUnit(std::string number, const char* unit) {
    if (*unit != '\0')
        number += std::string(" ") + unit;
    return number;
}

std::string Hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

} // namespace

const char* MapAxisUnit(MapAxis axis) {
    switch (axis) {
    case MapAxis::Nuz:
        return "об/мин";
    case MapAxis::DrAxis:
        return "%";
    case MapAxis::P:
    case MapAxis::RcodRows:
    case MapAxis::RcodCols:
    case MapAxis::None:
        break;
    }
    return "";
}

std::string CellReadoutText(const FirmwareImage& image, MapKind kind, int row, int col,
                            const std::string& decimalSeparator) {
    const MapInfo& info = GetMapInfo(kind);
    std::string text =
        std::string(MapAxisName(info.rowAxis)) + " " +
        WithUnit(std::to_string(MapRowLabel(image, kind, row)), MapAxisUnit(info.rowAxis));
    if (info.colAxis != MapAxis::None)
        text += std::string(", ") + MapAxisName(info.colAxis) + " " +
                WithUnit(std::to_string(MapColLabel(image, kind, col)), MapAxisUnit(info.colAxis));
    return text + ": " +
           WithUnit(FormatMapCell(image, kind, row, col, decimalSeparator), info.unit);
}

std::string MapStatusText(const FirmwareImage& image, MapKind kind, int row, int col,
                          const std::string& decimalSeparator) {
    const MapInfo& info = GetMapInfo(kind);
    std::string text = info.caption;
    text += image.UseO2Maps ? ", с датчиком кислорода" : ", без датчика кислорода";

    if (row >= 0 && col >= 0 && row < info.rows && col < info.cols) {
        text += Gap;
        text += CellReadoutText(image, kind, row, col, decimalSeparator);
        const int32_t address = MapCellAddress(image, kind, row, col);
        if (address >= 0)
            text += std::string(Gap) + "код " +
                    std::to_string(ReadCellRaw(image, info.storage.width, address, 0)) +
                    ", адрес " + Hex4(address);
    }

    text += Gap;
    const uint16_t stored = image.StoredChecksum();
    const uint16_t computed = image.ComputeChecksum();
    if (stored == computed)
        text += "контрольная сумма верна";
    else
        text += "контрольная сумма не совпадает: записана " + Hex4(stored) + ", по данным " +
                Hex4(computed);
    return text;
}

std::optional<CellSummary> SummariseCells(const FirmwareImage& image, MapKind kind, CellRect rect) {
    rect = ClipToTable(kind, rect);
    if (rect.bottom < rect.top || rect.right < rect.left)
        return std::nullopt;
    CellSummary summary;
    double sum = 0;
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c) {
            const double value = MapValue(image, kind, r, c);
            summary.min = summary.count == 0 ? value : std::min(summary.min, value);
            summary.max = summary.count == 0 ? value : std::max(summary.max, value);
            sum += value;
            ++summary.count;
        }
    if (summary.count < 2)
        return std::nullopt;
    summary.mean = sum / summary.count;
    return summary;
}

std::string CellSummaryText(const CellSummary& summary, MapKind kind,
                            const std::string& decimalSeparator) {
    const MapInfo& info = GetMapInfo(kind);
    const int places = std::max(info.decimals, 0);
    const auto number = [&](double value, int decimals) {
        return WithUnit(FormatMapNumber(value, decimals, decimalSeparator), info.unit);
    };
    return "Выделено: " + std::to_string(summary.count) + ", мин " + number(summary.min, places) +
           ", макс " + number(summary.max, places) + ", среднее " +
           number(summary.mean, places + 1);
}
