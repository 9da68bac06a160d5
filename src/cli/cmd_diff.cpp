// velmaris-cli diff A B [--o2] [--json] [--db PATH] [--format hex|bin] [--allow-partial]
// Lists what differs between two images: map cells, constants and vector points (with a
// parameter database), identification texts, equipment bits, the stored checksum and other
// bytes. Exit 0 when the images are the same, 1 when they differ.

#include "cli/cli_app.h"
#include "cli/cli_image.h"
#include "cli/command.h"
#include "image/json_writer.h"
#include "params/db/param_db.h"
#include "params/equipment.h"
#include "params/parameter_compare.h"
#include "params/parameter_format.h"
#include "params/parameter_formula.h"
#include "params/parameter_storage.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <utility>

namespace {

constexpr int ExitDiffer = 1;
constexpr const char* Usage =
    "diff A B [--o2] [--json] [--db PATH] [--format hex|bin] [--allow-partial]";

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// An axis value of a cell; where the images place the cell differently, both.
std::string Label(long a, long b) {
    return a == b ? std::to_string(a) : std::to_string(a) + "|" + std::to_string(b);
}

void WriteMapLines(const FirmwareImage& a, const FirmwareImage& b, const ImageDifferences& d,
                   std::string& out) {
    for (const MapDifference& map : d.maps) {
        const MapInfo& info = GetMapInfo(map.kind);
        for (const CellDifference& cell : map.cells) {
            out += std::string(info.caption) + " " +
                   Label(MapRowLabel(a, map.kind, cell.row), MapRowLabel(b, map.kind, cell.row));
            if (info.colAxis != MapAxis::None)
                out += "/" + Label(MapColLabel(a, map.kind, cell.col),
                                   MapColLabel(b, map.kind, cell.col));
            out += ": " + FormatMapNumber(cell.a, info.decimals, ".") + " -> " +
                   FormatMapNumber(cell.b, info.decimals, ".") + "\n";
        }
    }
}

// dbProblems: what kept the parameter database from being read whole, each record left out
// included; said after the differences, which without those records may be incomplete.
std::string DiffText(const FirmwareImage& a, const FirmwareImage& b, const ImageDifferences& d,
                     const std::vector<std::string>& dbProblems) {
    std::string out;
    WriteMapLines(a, b, d, out);
    for (const ParameterDifference& c : d.constants)
        out += "constant " + c.mark + " " + c.name + ": " + FormatFixed(c.a, c.decimals, '.') +
               " -> " + FormatFixed(c.b, c.decimals, '.') + "\n";
    for (const ParameterDifference& v : d.vectors)
        out += "vector " + v.mark + " " + v.name + " point " + std::to_string(v.point + 1) + " (" +
               FormatGeneral(v.argA, '.') + "|" + FormatGeneral(v.argB, '.') +
               "): " + FormatFixed(v.a, v.decimals, '.') + " -> " +
               FormatFixed(v.b, v.decimals, '.') + "\n";
    for (const IdentDifference& f : d.ident)
        out += std::string("ident ") + FirmwareImage::IdentName(f.field) + ": \"" + f.a +
               "\" -> \"" + f.b + "\"\n";
    for (const EquipmentDifference& e : d.equipment)
        out += "equipment " + EquipmentDesignation(e.bit) + " " + EquipmentCaption(e.bit) + ": " +
               (e.a ? "1" : "0") + " -> " + (e.b ? "1" : "0") + "\n";
    if (d.checksum)
        out += "checksum: " + Hex(d.checksum->a, 4) + " -> " + Hex(d.checksum->b, 4) + "\n";
    for (const AddressRange& r : d.bytes)
        out += "bytes " + Hex(r.first, 4) + (r.last == r.first ? "" : "-" + Hex(r.last, 4)) + "\n";
    for (const std::string& problem : dbProblems)
        out += "database problem: " + problem + "\n";
    return out;
}

void WriteParameters(JsonWriter& w, const char* key, const std::vector<ParameterDifference>& list) {
    w.Key(key);
    w.BeginArray();
    for (const ParameterDifference& p : list) {
        w.BeginObject();
        w.Key("mark");
        w.String(p.mark);
        w.Key("name");
        w.String(p.name);
        if (p.point >= 0) {
            w.Key("point");
            w.Integer(p.point);
            w.Key("argA");
            w.Number(p.argA);
            w.Key("argB");
            w.Number(p.argB);
        }
        w.Key("a");
        w.Number(p.a);
        w.Key("b");
        w.Number(p.b);
        w.EndObject();
    }
    w.EndArray();
}

std::string DiffJson(const ImageDifferences& d, const std::vector<std::string>* dbProblems) {
    JsonWriter w;
    w.BeginObject();
    w.Key("maps");
    w.BeginArray();
    for (const MapDifference& map : d.maps) {
        w.BeginObject();
        w.Key("map");
        w.String(GetMapInfo(map.kind).name);
        w.Key("cells");
        w.BeginArray();
        for (const CellDifference& cell : map.cells) {
            w.BeginObject();
            w.Key("row");
            w.Integer(cell.row);
            w.Key("col");
            w.Integer(cell.col);
            w.Key("a");
            w.Number(cell.a);
            w.Key("b");
            w.Number(cell.b);
            w.EndObject();
        }
        w.EndArray();
        w.EndObject();
    }
    w.EndArray();
    w.Key("ident");
    w.BeginArray();
    for (const IdentDifference& f : d.ident) {
        w.BeginObject();
        w.Key("field");
        w.String(FirmwareImage::IdentName(f.field));
        w.Key("a");
        w.String(f.a);
        w.Key("b");
        w.String(f.b);
        w.EndObject();
    }
    w.EndArray();
    w.Key("equipment");
    w.BeginArray();
    for (const EquipmentDifference& e : d.equipment) {
        w.BeginObject();
        w.Key("bit");
        w.Integer(e.bit);
        w.Key("a");
        w.Bool(e.a);
        w.Key("b");
        w.Bool(e.b);
        w.EndObject();
    }
    w.EndArray();
    w.Key("checksum");
    if (d.checksum) {
        w.BeginObject();
        w.Key("a");
        w.Integer(d.checksum->a);
        w.Key("b");
        w.Integer(d.checksum->b);
        w.EndObject();
    } else {
        w.Null();
    }
    w.Key("bytes");
    w.BeginArray();
    for (const AddressRange& r : d.bytes) {
        w.BeginObject();
        w.Key("from");
        w.Integer(r.first);
        w.Key("to");
        w.Integer(r.last);
        w.EndObject();
    }
    w.EndArray();
    WriteParameters(w, "constants", d.constants);
    WriteParameters(w, "vectors", d.vectors);
    if (dbProblems) { // only with a database
        w.Key("database_problems");
        w.BeginArray();
        for (const std::string& problem : *dbProblems)
            w.String(problem);
        w.EndArray();
    }
    w.EndObject();
    return w.Text() + "\n";
}

// Takes --db PATH out of the arguments, which the common parser does not know.
bool TakeDbPath(std::vector<std::string>& args, std::string& dbPath) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--db")
            continue;
        if (i + 1 == args.size()) {
            std::cerr << "velmaris-cli diff: --db needs a database file\n";
            return false;
        }
        dbPath = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return true;
    }
    return true;
}

// Reads the records of the database, or reports why it cannot be used. problems receives what
// the database reported and every record the comparison leaves out, with why; they also go to
// standard error.
bool LoadTables(const std::string& dbPath, ParameterTables& tables,
                std::vector<std::string>& problems) {
    ParamDatabase db(QString::fromStdString(dbPath));
    if (db.format() == ParamDatabase::Format::Missing ||
        db.format() == ParamDatabase::Format::Unknown) {
        std::cerr << "velmaris-cli diff: " << db.problems().join(' ').toStdString() << "\n";
        return false;
    }
    for (const QString& p : db.problems())
        problems.push_back(p.toStdString());
    tables.constants = db.constants();
    tables.vectors = db.vectors();
    tables.eval = EvaluateParameterFormula;
    for (std::string& leftOut : RecordsLeftOut(tables))
        problems.push_back(std::move(leftOut));
    for (const std::string& p : problems)
        std::cerr << "velmaris-cli diff: " << p << "\n";
    return true;
}

int RunDiff(const std::vector<std::string>& argv) {
    std::vector<std::string> rest = argv;
    std::string dbPath;
    CliArgs args;
    if (!TakeDbPath(rest, dbPath) || !ParseCliArgs("diff", rest, {"--o2", "--json"}, 2, args)) {
        std::cerr << "usage: velmaris-cli " << Usage << "\n";
        return ExitBadInput;
    }
    const bool useO2 = HasFlag(args, "--o2");
    FirmwareImage a;
    FirmwareImage b;
    a.UseO2Maps = b.UseO2Maps = useO2; // the map set the loads decode
    // Both files are checked before either status is returned, so every fault shows at once.
    const int statusA = LoadImageForCli("diff", a, args.files[0], args);
    const int statusB = LoadImageForCli("diff", b, args.files[1], args);
    if (statusA == ExitBadInput || statusB == ExitBadInput)
        return ExitBadInput;
    if (statusA || statusB)
        return ExitPartial;
    ImageDifferences d;
    std::vector<std::string> dbProblems;
    try {
        if (dbPath.empty()) {
            d = CompareImages(a, b, useO2);
        } else {
            const auto app = EnsureCoreApplication();
            ParameterTables tables;
            if (!LoadTables(dbPath, tables, dbProblems))
                return ExitBadInput;
            d = CompareImages(a, b, useO2, tables);
        }
    } catch (const std::exception& e) {
        ReportCliError("diff", e.what());
        return ExitBadInput;
    }
    std::cout << (HasFlag(args, "--json") ? DiffJson(d, dbPath.empty() ? nullptr : &dbProblems)
                                          : DiffText(a, b, d, dbProblems));
    std::cout.flush();
    if (!std::cout)
        return ExitBadInput;
    return d.Empty() ? 0 : ExitDiffer;
}

const CliCommandRegistration registration({
    "diff",
    "diff A B [--o2] [--json] [--db PATH] [--format hex|bin] [--allow-partial]   what differs "
    "between two images; exit 1 when they differ",
    RunDiff,
});

} // namespace
