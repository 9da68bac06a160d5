// velmaris-cli map get IMAGE MAP [--o2] [--json] [--format hex|bin] [--allow-partial]
// velmaris-cli map set IMAGE MAP VALUES.csv OUT [--o2] [--clamp] [--format hex|bin]
//                      [--allow-partial]
// Prints one table as CSV or JSON, or stores a CSV of the same layout into the image. A value a
// cell cannot hold refuses the whole CSV unless --clamp asks for the nearest end.

#include "cli/cli_image.h"
#include "cli/command.h"
#include "image/firmware_image.h"
#include "image/json_writer.h"
#include "maps/map_catalogue.h"
#include "maps/map_operations.h"
#include "maps/table_text.h"
#include "maps/value_range.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

namespace {

const char* const Usage = "usage: velmaris-cli map get IMAGE MAP [--o2] [--json]\n"
                          "       velmaris-cli map set IMAGE MAP VALUES.csv OUT [--o2] [--clamp]\n";

// A CSV of the largest table takes a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t MaxCsvBytes = 1024 * 1024;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

const MapInfo* FindMap(const std::string& name) {
    for (const MapInfo& info : MapCatalogue())
        if (Lower(info.name) == Lower(name))
            return &info;
    return nullptr;
}

std::string ColumnHeading(const FirmwareImage& image, const MapInfo& info, int c) {
    return info.colAxis == MapAxis::None ? std::string(info.columnTitle)
                                         : std::to_string(MapColLabel(image, info.kind, c));
}

std::string TableCsv(const FirmwareImage& image, const MapInfo& info) {
    std::string text = info.corner;
    for (int c = 0; c < info.cols; ++c)
        text += "," + ColumnHeading(image, info, c);
    text += "\n";
    for (int r = 0; r < info.rows; ++r) {
        text += std::to_string(MapRowLabel(image, info.kind, r));
        for (int c = 0; c < info.cols; ++c)
            text += "," + ShortestNumberText(MapValue(image, info.kind, r, c));
        text += "\n";
    }
    return text;
}

std::string TableJson(const FirmwareImage& image, const MapInfo& info) {
    JsonWriter w;
    w.BeginObject();
    w.Key("map");
    w.String(info.name);
    w.Key("rows");
    w.BeginArray();
    for (int r = 0; r < info.rows; ++r)
        w.Integer(MapRowLabel(image, info.kind, r));
    w.EndArray();
    w.Key("cols");
    w.BeginArray();
    if (info.colAxis != MapAxis::None)
        for (int c = 0; c < info.cols; ++c)
            w.Integer(MapColLabel(image, info.kind, c));
    w.EndArray();
    w.Key("cells");
    w.BeginArray();
    for (int r = 0; r < info.rows; ++r) {
        w.BeginArray();
        for (int c = 0; c < info.cols; ++c)
            w.Number(MapValue(image, info.kind, r, c));
        w.EndArray();
    }
    w.EndArray();
    w.EndObject();
    return w.Text() + "\n";
}

// Reads the layout TableCsv writes: a heading line and one line per row that starts with its
// axis value, both of which are only counted. Lines and columns in `error` count the whole file.
CellValues ReadTableCsv(const std::string& text, const MapInfo& info, TableTextError& error) {
    std::istringstream in(text);
    std::string line, body;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t comma = line.find(',');
        if (lineNo == 1) {
            // The heading must have as many fields as a row, but its texts are free.
            const auto fields = static_cast<int>(std::count(line.begin(), line.end(), ',')) + 1;
            if (fields != info.cols + 1) {
                error = {TableTextFault::WrongShape, 1, std::min(fields, info.cols + 1) + 1, ""};
                return {};
            }
            continue;
        }
        body += (comma == std::string::npos ? std::string() : line.substr(comma + 1)) + "\n";
        if (comma == std::string::npos) {
            error = {TableTextFault::WrongShape, lineNo, 2, ""};
            return {};
        }
    }
    if (lineNo != info.rows + 1) {
        error = {TableTextFault::WrongShape, std::min(lineNo, info.rows + 1) + 1, 1, ""};
        return {};
    }
    CellValues values = ParseTableText(body, ',', error);
    if (error.fault == TableTextFault::None && values[0].size() != static_cast<size_t>(info.cols))
        error = {TableTextFault::WrongShape, 2, std::min<int>(values[0].size(), info.cols) + 2, ""};
    if (error.fault != TableTextFault::None) {
        // Back to the file's own counting: the heading line and the axis column.
        if (error.fault != TableTextFault::WrongShape) {
            error.line += 1;
            error.column += 1;
        }
        return {};
    }
    return values;
}

std::string Describe(const TableTextError& e) {
    std::string where = "line " + std::to_string(e.line) + ", column " + std::to_string(e.column);
    switch (e.fault) {
    case TableTextFault::NotNumber:
        return where + ": not a number: '" + e.field + "'";
    case TableTextFault::Ragged:
    case TableTextFault::WrongShape:
    case TableTextFault::OutsideTable:
        return where + ": the file does not have the table's shape";
    case TableTextFault::None:
        break;
    }
    return where;
}

// Reads the CSV only when it is a regular file of sane size: a FIFO would wait for a writer and
// a device such as /dev/zero would never end. On failure `problem` says why.
bool ReadCsvFile(const std::string& name, std::string& text, std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(name, ec);
    if (ec || !fs::exists(status)) {
        // The system's own reason: a loop of links or a name too long is no missing file.
        problem = "Can't open file.\n" + name + ": " + (ec ? ec.message() : std::strerror(ENOENT));
        return false;
    }
    if (fs::is_directory(status)) {
        problem = name + ": is a folder, not a CSV file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        problem = name + ": not a regular file";
        return false;
    }
    const std::uintmax_t size = fs::file_size(name, ec);
    if (!ec && size > MaxCsvBytes) {
        problem = name + ": too large for a table (" + std::to_string(size) + " bytes, at most " +
                  std::to_string(MaxCsvBytes) + ")";
        return false;
    }
    std::ifstream csv(name, std::ios::binary);
    if (!csv.is_open()) {
        problem = "Can't open file.\n" + name + ": " + std::strerror(errno);
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(csv), std::istreambuf_iterator<char>());
    return true;
}

// The first value the table cannot hold: with `clamp` only a NaN or an infinity, which no
// stored value is nearest to.
std::optional<ValueOutOfRange> FindRefusedValue(const FirmwareImage& image, const MapInfo& info,
                                                const CellValues& values, bool clamp) {
    if (!clamp)
        return FindValueOutOfRange(image, info.kind, 0, 0, values);
    for (size_t r = 0; r < values.size(); ++r)
        for (size_t c = 0; c < values[r].size(); ++c) {
            MapLimits limits{};
            const auto row = static_cast<int>(r), col = static_cast<int>(c);
            if (values[r][c] && !std::isfinite(*values[r][c]) &&
                BeyondCellRange(image, info.kind, row, col, *values[r][c], limits))
                return ValueOutOfRange{row, col, *values[r][c], limits};
        }
    return std::nullopt;
}

std::string DescribeOutOfRange(const ValueOutOfRange& bad, const MapInfo& info) {
    // The file's own counting: the heading line and the axis column come first.
    std::string text = "line " + std::to_string(bad.row + 2) + ", column " +
                       std::to_string(bad.col + 2) + ": " + ShortestNumberText(bad.value) +
                       " is outside the range ";
    if (bad.limits.min > bad.limits.max)
        text += "(the cell holds no finite value)";
    else
        text += FormatMapNumber(bad.limits.min, info.decimals, ".") + " .. " +
                FormatMapNumber(bad.limits.max, info.decimals, ".");
    if (*info.unit)
        text += std::string(" ") + info.unit;
    return text + " of map " + info.name + "; nothing written" +
           (std::isfinite(bad.value) ? " (--clamp takes the nearest end)" : "");
}

int RunGet(const std::vector<std::string>& argv) {
    CliArgs args;
    if (!ParseCliArgs("map get", argv, {"--o2", "--json"}, 2, args))
        return ExitBadInput;
    const MapInfo* info = FindMap(args.files[1]);
    if (!info) {
        std::cerr << "velmaris-cli map get: unknown map '" << args.files[1] << "'\n";
        return ExitBadInput;
    }
    FirmwareImage image;
    image.UseO2Maps = HasFlag(args, "--o2"); // the map set the load decodes
    if (const int status = LoadImageForCli("map get", image, args.files[0], args))
        return status;
    std::cout << (HasFlag(args, "--json") ? TableJson(image, *info) : TableCsv(image, *info));
    std::cout.flush();
    return std::cout ? 0 : ExitBadInput;
}

int RunSet(const std::vector<std::string>& argv) {
    CliArgs args;
    if (!ParseCliArgs("map set", argv, {"--o2", "--clamp"}, 4, args))
        return ExitBadInput;
    const MapInfo* info = FindMap(args.files[1]);
    if (!info) {
        std::cerr << "velmaris-cli map set: unknown map '" << args.files[1] << "'\n";
        return ExitBadInput;
    }
    std::string text, problem;
    if (!ReadCsvFile(args.files[2], text, problem)) {
        ReportCliError("map set", problem);
        return ExitBadInput;
    }
    TableTextError error;
    const CellValues values = ReadTableCsv(text, *info, error);
    if (error.fault != TableTextFault::None) {
        std::cerr << "velmaris-cli map set: " << args.files[2] << ": " << Describe(error) << "\n";
        return ExitBadInput;
    }
    FirmwareImage image;
    image.UseO2Maps = HasFlag(args, "--o2"); // the map set the load decodes
    if (const int status = LoadImageForCli("map set", image, args.files[0], args))
        return status;
    if (const auto bad = FindRefusedValue(image, *info, values, HasFlag(args, "--clamp"))) {
        std::cerr << "velmaris-cli map set: " << args.files[2] << ": "
                  << DescribeOutOfRange(*bad, *info) << "\n";
        return ExitBadInput;
    }
    const MapEditCount count = StoreMapValues(image, info->kind, 0, 0, values);
    image.UpdateChecksum();
    SaveImageByExtension(image, args.files[3]);
    std::cout << count.changed << " cells changed, " << count.clamped << " clamped\n";
    return 0;
}

int RunMap(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "get")
        return RunGet({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "set")
        return RunSet({args.begin() + 1, args.end()});
    std::cerr << Usage;
    return ExitBadInput;
}

const CliCommandRegistration registration({
    "map",
    "map get IMAGE MAP [--o2] [--json] | map set IMAGE MAP VALUES.csv OUT [--o2] [--clamp]   one "
    "table as CSV or JSON; store a CSV into a copy of the image (a value beyond a cell's range "
    "refuses the CSV; --clamp takes the nearest end and counts it)",
    RunMap,
});

} // namespace
