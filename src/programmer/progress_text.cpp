#include "programmer/progress_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace prog {

int ProgressPercent(int done, int total) {
    if (total <= 0)
        return 100;
    return static_cast<int>(std::clamp(static_cast<long long>(done) * 100 / total, 0LL, 100LL));
}

double SecondsLeft(int done, int total, double elapsedSeconds) {
    if (done <= 0 || total <= 0)
        return -1.0;
    if (done >= total)
        return 0.0;
    return std::max(0.0, elapsedSeconds) / done * (total - done);
}

std::string ProgressBarLine(const std::string& label, int done, int total, double elapsedSeconds,
                            int barWidth) {
    const int percent = ProgressPercent(done, total);
    barWidth = std::max(barWidth, 1);
    const int filled =
        total <= 0 ? barWidth
                   : static_cast<int>(std::clamp(static_cast<long long>(done) * barWidth / total,
                                                 0LL, static_cast<long long>(barWidth)));
    std::string line =
        label + " [" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "] ";
    char tail[48];
    std::snprintf(tail, sizeof tail, "%3d%%", percent);
    line += tail;
    if (percent >= 100)
        return line;
    const double left = SecondsLeft(done, total, elapsedSeconds);
    if (left < 0) {
        line += "  --:-- left";
    } else {
        // Rounded up: a run never says "0:00 left" while it still has work to do.
        const long long seconds = static_cast<long long>(std::ceil(left));
        std::snprintf(tail, sizeof tail, "  %lld:%02lld left", seconds / 60, seconds % 60);
        line += tail;
    }
    return line;
}

std::string ProgressPlainLine(const std::string& label, int percent) {
    return label + ": " + std::to_string(percent) + "%";
}

} // namespace prog
