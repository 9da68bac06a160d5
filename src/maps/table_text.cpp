#include "maps/table_text.h"

#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/nearest_raw.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool SameLetters(const std::string& a, const char* upper) {
    size_t i = 0;
    for (; i < a.size() && upper[i] != '\0'; ++i)
        if (a[i] != upper[i] && a[i] != upper[i] - 'A' + 'a')
            return false;
    return i == a.size() && upper[i] == '\0';
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines = Split(text, '\n');
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    for (std::string& line : lines)
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    return lines;
}

char DetectSeparator(const std::string& text, const std::vector<std::string>& lines) {
    if (text.find('\t') != std::string::npos)
        return '\t';
    if (text.find(';') != std::string::npos)
        return ';';
    if (text.find('.') != std::string::npos)
        return ',';
    for (const std::string& line : lines)
        if (line.find(',') != line.rfind(','))
            return ',';
    return '\n'; // no field separator: one column, commas are decimal separators
}

} // namespace

bool ParseCellNumber(const std::string& field, double& value) {
    std::string text = Trimmed(field);
    if (SameLetters(text, "INF") || SameLetters(text, "+INF")) {
        value = std::numeric_limits<double>::infinity();
        return true;
    }
    if (SameLetters(text, "-INF")) {
        value = -std::numeric_limits<double>::infinity();
        return true;
    }
    if (SameLetters(text, "NAN")) {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' ||
                          text[0] == '.' || text[0] == ','))
        return false;
    const size_t comma = text.find(',');
    if (comma != std::string::npos) {
        if (text.find('.') != std::string::npos || text.find(',', comma + 1) != std::string::npos)
            return false;
        text[comma] = '.';
    }
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

namespace {

// Reads the fields of every line from `skipLines` on, leaving out the first `skipFields` fields of
// each; positions in `error` count in the whole text.
CellValues ParseFields(const std::vector<std::vector<std::string>>& lines, size_t skipLines,
                       size_t skipFields, TableTextError& error) {
    CellValues values;
    for (size_t i = skipLines; i < lines.size(); ++i) {
        const int line = static_cast<int>(i) + 1;
        const std::vector<std::string>& fields = lines[i];
        if (!values.empty() && fields.size() != values[0].size() + skipFields) {
            const size_t shorter = std::min(fields.size(), values[0].size() + skipFields);
            error = {TableTextFault::Ragged, line, static_cast<int>(shorter) + 1, ""};
            return {};
        }
        values.emplace_back();
        for (size_t j = skipFields; j < fields.size(); ++j) {
            double v = 0;
            if (Trimmed(fields[j]).empty()) {
                values.back().emplace_back();
            } else if (ParseCellNumber(fields[j], v)) {
                values.back().emplace_back(v);
            } else {
                error = {TableTextFault::NotNumber, line, static_cast<int>(j) + 1, fields[j]};
                return {};
            }
        }
    }
    return values;
}

std::vector<std::vector<std::string>> SplitFields(const std::string& text, char separator) {
    const std::vector<std::string> lines = Lines(text);
    if (separator == 0)
        separator = DetectSeparator(text, lines);
    std::vector<std::vector<std::string>> fields;
    for (const std::string& line : lines)
        fields.push_back(Split(line, separator));
    return fields;
}

// Text copied with axes starts with a map's corner caption, and every later line with a number,
// its row axis value. Only the program's own corner captions count, so a spreadsheet's header
// is still refused rather than quietly dropped.
bool HasCopiedAxes(const std::vector<std::vector<std::string>>& lines) {
    if (lines.size() < 2 || lines[0].size() < 2)
        return false;
    const std::string corner = Trimmed(lines[0][0]);
    bool known = false;
    for (int k = 0; k < MapKindCount; ++k)
        known = known || corner == GetMapInfo(static_cast<MapKind>(k)).corner;
    if (!known)
        return false;
    for (size_t i = 1; i < lines.size(); ++i) {
        double axis = 0;
        if (lines[i].size() < 2 || !ParseCellNumber(lines[i][0], axis))
            return false;
    }
    return true;
}

} // namespace

CellValues ParseTableText(const std::string& text, char separator, TableTextError& error) {
    error = {};
    return ParseFields(SplitFields(text, separator), 0, 0, error);
}

CellValues ParsePastedText(const std::string& text, TableTextError& error) {
    error = {};
    const std::vector<std::vector<std::string>> lines = SplitFields(text, 0);
    const size_t skip = HasCopiedAxes(lines) ? 1 : 0;
    return ParseFields(lines, skip, skip, error);
}

bool FitsTable(const CellValues& values, MapKind kind, int top, int left, TableTextError& error) {
    const MapInfo& info = GetMapInfo(kind);
    error = {};
    const int rowsLeft = info.rows - top, colsLeft = info.cols - left;
    if (static_cast<int>(values.size()) > rowsLeft)
        error = {TableTextFault::OutsideTable, rowsLeft + 1, 1, ""};
    else if (!values.empty() && static_cast<int>(values[0].size()) > colsLeft)
        error = {TableTextFault::OutsideTable, 1, colsLeft + 1, ""};
    return error.fault == TableTextFault::None;
}

bool PasteTableText(FirmwareImage& image, MapKind kind, int top, int left, const std::string& text,
                    MapEditCount& count, TableTextError& error) {
    count = {};
    const CellValues values = ParseTableText(text, 0, error);
    if (error.fault != TableTextFault::None || !FitsTable(values, kind, top, left, error))
        return false;
    count = StoreMapValues(image, kind, top, left, values);
    return true;
}

std::string CellCopyText(const FirmwareImage& image, MapKind kind, int row, int col,
                         const std::string& decimalSeparator) {
    const MapInfo& info = GetMapInfo(kind);
    const double value = MapValue(image, kind, row, col);
    const int32_t raw =
        ReadCellRaw(image, info.storage.width, MapCellAddress(image, kind, row, col), 0);
    const int shown = std::max(info.decimals, 0);
    for (int places = shown; places < 17; ++places) {
        const std::string text = FormatMapNumber(value, places, ".");
        double back = 0;
        if (ParseCellNumber(text, back) && NearestRaw(image, kind, row, col, back) == raw)
            return FormatMapNumber(value, places, decimalSeparator);
    }
    const std::string text = ShortestNumberText(value);
    const size_t dot = text.find('.');
    return dot == std::string::npos ? text
                                    : text.substr(0, dot) + decimalSeparator + text.substr(dot + 1);
}

std::string SelectionText(const FirmwareImage& image, MapKind kind, CellRect rect,
                          const std::string& decimalSeparator, bool withAxes) {
    const MapInfo& info = GetMapInfo(kind);
    rect = ClipToTable(kind, rect);
    std::string text;
    if (withAxes) {
        text += info.corner;
        for (int c = rect.left; c <= rect.right; ++c)
            text += '\t' + (info.colAxis == MapAxis::None
                                ? std::string(info.columnTitle)
                                : std::to_string(MapColLabel(image, kind, c)));
        text += '\n';
    }
    for (int r = rect.top; r <= rect.bottom; ++r) {
        if (withAxes)
            text += std::to_string(MapRowLabel(image, kind, r)) + '\t';
        for (int c = rect.left; c <= rect.right; ++c) {
            text += CellCopyText(image, kind, r, c, decimalSeparator);
            text += c < rect.right ? '\t' : '\n';
        }
    }
    return text;
}

std::string ShortestNumberText(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        value = 0; // -0 reads back as 0 all the same, and must not show as "-0"
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end.ptr);
}
