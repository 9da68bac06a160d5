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
    return line + "  " + MinutesSeconds(SecondsLeft(done, total, elapsedSeconds)) + " left";
}

std::string MinutesSeconds(double seconds) {
    if (seconds < 0)
        return "--:--";
    const long long whole = static_cast<long long>(std::ceil(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

void ProgressEstimate::Start(int total, Clock::time_point now) {
    started_ = now;
    done_ = 0;
    total_ = total;
}

double ProgressEstimate::ElapsedSeconds(Clock::time_point now) const {
    return std::chrono::duration<double>(now - started_).count();
}

double ProgressEstimate::SecondsLeft(Clock::time_point now) const {
    return prog::SecondsLeft(done_, total_, ElapsedSeconds(now));
}

std::string ProgressPlainLine(const std::string& label, int percent) {
    return label + ": " + std::to_string(percent) + "%";
}

} // namespace prog
