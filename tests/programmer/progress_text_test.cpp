// The progress texts of the command-line read and program commands.
#include "programmer/progress_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressText, BarShowsShareOfWorkPercentAndTimeLeft) {
    EXPECT_EQ(prog::ProgressBarLine("reading", 0, 256, 0.0, 10),
              "reading [..........]   0%  --:-- left");
    // A quarter in 5 s leaves 15 s; 3 of 256 blocks in 1 s leave 84.33 s, shown rounded up.
    EXPECT_EQ(prog::ProgressBarLine("reading", 64, 256, 5.0, 10),
              "reading [##........]  25%  0:15 left");
    EXPECT_EQ(prog::ProgressBarLine("reading", 3, 256, 1.0, 4), "reading [....]   1%  1:25 left");
    EXPECT_EQ(prog::ProgressBarLine("verifying", 256, 256, 40.0, 4), "verifying [####] 100%");
    // More steps than announced never overflow the bar.
    EXPECT_EQ(prog::ProgressBarLine("x", 300, 256, 1.0, 4), "x [####] 100%");
}

TEST(ProgressText, PercentAndTimeLeftAtTheEdges) {
    EXPECT_EQ(prog::ProgressPercent(255, 256), 99);
    EXPECT_EQ(prog::ProgressPercent(5, 0), 100);
    EXPECT_LT(prog::SecondsLeft(0, 256, 3.0), 0.0);
    EXPECT_DOUBLE_EQ(prog::SecondsLeft(128, 256, 10.0), 10.0);
    EXPECT_EQ(prog::ProgressPlainLine("programming", 40), "programming: 40%");
}

// The window's bar and the command line take the time left from the same estimate of a phase.
TEST(ProgressText, EstimateOfAPhaseStartsAfreshAndRoundsUp) {
    using Clock = prog::ProgressEstimate::Clock;
    const Clock::time_point t0{};
    prog::ProgressEstimate phase;
    phase.Start(256, t0);
    EXPECT_EQ(prog::MinutesSeconds(phase.SecondsLeft(t0 + std::chrono::seconds(3))), "--:--");
    for (int i = 0; i < 64; ++i)
        phase.Step();
    EXPECT_EQ(phase.Percent(), 25);
    EXPECT_EQ(prog::MinutesSeconds(phase.SecondsLeft(t0 + std::chrono::seconds(5))), "0:15");
    EXPECT_EQ(prog::MinutesSeconds(100.2), "1:41");
    phase.Start(256, t0 + std::chrono::seconds(5)); // the next phase
    EXPECT_EQ(phase.done(), 0);
    phase.Step();
    EXPECT_EQ(prog::MinutesSeconds(phase.SecondsLeft(t0 + std::chrono::seconds(6))), "4:15");
}

} // namespace
