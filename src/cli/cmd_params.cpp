// velmaris-cli params IMAGE [--db PATH] [--json]: every constant and vector of the parameter
// database decoded from a firmware image by the same code as the parameter window. Nothing is
// written, neither the image nor the database.

#include "cli/cli_app.h"
#include "cli/cli_image.h"
#include "cli/command.h"
#include "image/firmware_image.h"
#include "params/database_location.h"
#include "params/db/param_db.h"
#include "params/parameter_decode.h"
#include "params/parameter_format.h"
#include "params/parameter_formula.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// JSON has no infinities or NaN: such numbers become null, their text stays alongside.
QJsonValue Number(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

int RunParams(const std::vector<std::string>& args) {
    std::string imagePath;
    std::string dbPath;
    bool json = false;
    CliArgs loadArgs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json")
            json = true;
        else if (args[i] == "--allow-partial")
            loadArgs.allowPartial = true;
        else if (args[i] == "--db" && i + 1 < args.size())
            dbPath = args[++i];
        else if (imagePath.empty() && args[i].rfind("--", 0) != 0)
            imagePath = args[i];
        else {
            std::cerr
                << "usage: velmaris-cli params IMAGE [--db PATH] [--json] [--allow-partial]\n";
            return 2;
        }
    }
    if (imagePath.empty()) {
        std::cerr << "usage: velmaris-cli params IMAGE [--db PATH] [--json] [--allow-partial]\n";
        return 2;
    }
    // Without --db the database is looked for as the window does: in the working folder,
    // then beside the image.
    if (dbPath.empty())
        dbPath =
            LocateParameterDatabase({}, std::filesystem::current_path().string(), imagePath).path;
    const auto app = EnsureCoreApplication();

    FirmwareImage image;
    if (const int status = LoadImageForCli("params", image, imagePath, loadArgs))
        return status;
    ParamDatabase db(QString::fromStdString(dbPath));
    if (db.format() == ParamDatabase::Format::Missing ||
        db.format() == ParamDatabase::Format::Unknown) {
        std::cerr << "velmaris-cli params: " << db.problems().join(' ').toStdString() << "\n";
        return 2;
    }
    QStringList problems = db.problems();
    const FormulaEvaluator eval = EvaluateParameterFormula;

    const std::vector<ConstantRecord> constants = db.constants();
    std::vector<std::optional<double>> results(constants.size());
    const ConstantsWalk walk =
        DecodeConstants(image, constants, eval, [&](std::size_t i, double v) { results[i] = v; });
    for (const std::string& s : walk.skipped)
        problems << Q(s);
    if (!walk.error.empty())
        problems << Q(walk.error);

    QJsonArray jsonConstants;
    std::string text = "constants:\n";
    for (std::size_t i = 0; i < constants.size(); ++i) {
        const ConstantRecord& c = constants[i];
        const std::string shown = results[i] ? FormatGeneral(*results[i], '.') : "";
        QJsonObject o{{"mark", Q(c.Mark)}, {"name", Q(c.Name)}, {"unit", Q(c.Unit)}};
        o["result"] = results[i] ? Number(*results[i]) : QJsonValue();
        o["text"] = Q(shown);
        o["decoded"] = results[i].has_value();
        jsonConstants.append(o);
        text += c.Mark + "\t" + c.Name + "\t" + (results[i] ? shown : "-") + "\t" + c.Unit + "\n";
    }

    QJsonArray jsonVectors;
    text += "vectors:\n";
    for (const VectorRecord& v : db.vectors()) {
        VectorPoints points;
        LoadVector(image, v, eval, points);
        if (!points.error.empty())
            problems << Q(points.error);
        QJsonArray jsonPoints;
        text += v.Mark + "\t" + v.Name + "\t" + v.Unit + "\t" + std::to_string(points.filled) +
                " points\n";
        for (int i = 0; i < points.filled; ++i) {
            const std::string arg = FormatFixed(points.ArgValues[i], v.DecimalArg, '.');
            const std::string value = FormatFixed(points.ParValues[i], v.DecimalPar, '.');
            jsonPoints.append(QJsonObject{{"arg", Number(points.ArgValues[i])},
                                          {"value", Number(points.ParValues[i])},
                                          {"argText", Q(arg)},
                                          {"valueText", Q(value)}});
            text += "  " + std::to_string(i + 1) + "\t" + arg + "\t" + value + "\n";
        }
        jsonVectors.append(QJsonObject{{"mark", Q(v.Mark)},
                                       {"name", Q(v.Name)},
                                       {"unit", Q(v.Unit)},
                                       {"count", v.Count},
                                       {"points", jsonPoints}});
    }

    if (json) {
        QJsonObject root{{"constants", jsonConstants},
                         {"vectors", jsonVectors},
                         {"problems", QJsonArray::fromStringList(problems)}};
        std::cout << QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
    } else {
        std::cout << text;
        for (const QString& p : problems)
            std::cerr << "velmaris-cli params: " << p.toStdString() << "\n";
    }
    return problems.isEmpty() ? 0 : 1;
}

const CliCommandRegistration registration({"params",
                                           "params IMAGE [--db PATH] [--json] [--allow-partial]   "
                                           "constants and vectors of the parameter database, "
                                           "decoded from IMAGE",
                                           RunParams});

} // namespace
