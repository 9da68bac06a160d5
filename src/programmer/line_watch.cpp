#include "programmer/line_watch.h"

#include "programmer/timer.h"

#include <algorithm>

namespace prog {

LineActivity watch_line(SerialLink& link, int ms) {
    link.purge();
    LineActivity seen;
    timer clock;
    clock.start();
    int64_t lastAt = -1;
    uint8_t buffer[256];
    for (int64_t now = 0; now < ms; now = clock.elapsed_ms()) {
        const std::size_t n = link.read_some(buffer, sizeof buffer, static_cast<int>(ms - now));
        if (n == 0)
            continue;
        const int64_t at = clock.elapsed_ms();
        if (lastAt >= 0)
            seen.longestGapMs = std::max(seen.longestGapMs, at - lastAt);
        lastAt = at;
        seen.bytes += n;
    }
    seen.quietAtEndMs = lastAt < 0 ? clock.elapsed_ms() : clock.elapsed_ms() - lastAt;
    return seen;
}

LineKind classify_line(const LineActivity& seen, std::size_t burstLength) {
    if (seen.bytes == 0)
        return LineKind::Silent;
    if (seen.bytes <= burstLength || seen.longestGapMs >= StreamGapMs)
        return LineKind::Bursts;
    return seen.quietAtEndMs < StreamGapMs ? LineKind::Streaming : LineKind::StreamEnded;
}

} // namespace prog
