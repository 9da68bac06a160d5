#include "params/parameter_load.h"

#include "params/parameter_storage.h"

#include <algorithm>

namespace {

const std::string FormulaStopped = "Ошибка формулы, чтение остановлено: ";

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

void AddOnce(std::vector<std::string>& problems, const std::string& problem) {
    if (std::find(problems.begin(), problems.end(), problem) == problems.end())
        problems.push_back(problem);
}

} // namespace

ParameterLoad LoadParameters(const FirmwareImage& image,
                             const std::vector<ConstantRecord>& constants,
                             const std::vector<VectorRecord>& vectors,
                             const FormulaEvaluator& eval) {
    ParameterLoad load;
    load.Results.resize(constants.size());

    // The window shows the first vector before anything else is decoded, so an error in it
    // comes first, whatever the constants hold. An unusable one is listed with the others.
    if (!vectors.empty() && !VectorProblem(vectors.front())) {
        VectorPoints points;
        LoadVector(image, vectors.front(), eval, points);
        if (!points.error.empty())
            load.Problems.push_back(FormulaStopped + points.error);
    }

    const ConstantsWalk walk = DecodeConstants(
        image, constants, eval, [&](std::size_t i, double value) { load.Results[i] = value; });
    if (!walk.skipped.empty())
        load.Problems.push_back("Константы с неверным описанием не читаются и не записываются:\n" +
                                JoinLines(walk.skipped));
    if (!walk.error.empty())
        load.Problems.push_back(FormulaStopped + walk.error);

    // Every vector is decoded once. The listing of unusable vectors ends with the walk, at the
    // first vector whose formula fails.
    std::vector<std::string> unusable;
    for (const VectorRecord& v : vectors) {
        if (auto problem = VectorProblem(v)) {
            unusable.push_back(v.Mark + ": " + *problem);
            continue;
        }
        if (!walk.error.empty())
            continue; // the walk over the vectors does not take place
        VectorPoints points;
        LoadVector(image, v, eval, points);
        if (!points.error.empty()) {
            AddOnce(load.Problems, FormulaStopped + points.error);
            break;
        }
    }
    if (!unusable.empty())
        load.Problems.push_back("Вектора не показываются:\n" + JoinLines(unusable));
    return load;
}
