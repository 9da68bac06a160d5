#pragma once

#include <chrono>
#include <string>

// The text of a long run's progress on a terminal and in a log. Kept apart from the printing,
// so the command-line tool rewrites one bar in place on a terminal and writes plain lines
// into a file or a pipe from the same numbers.
namespace prog {

// Whole percent of done out of total, 0..100; total 0 or less counts as finished.
int ProgressPercent(int done, int total);

// Seconds still to go when done of total steps took elapsedSeconds, from the average pace so
// far; negative while nothing is done yet and the pace is unknown.
double SecondsLeft(int done, int total, double elapsedSeconds);

// A time left as minutes:seconds, rounded up so that a run with work left never says 0:00;
// "--:--" while unknown (negative).
std::string MinutesSeconds(double seconds);

// "LABEL [#######.............]  35%  0:12 left": a bar barWidth characters wide, the percent
// and the time left as minutes:seconds ("--:--" while unknown, nothing once finished).
std::string ProgressBarLine(const std::string& label, int done, int total, double elapsedSeconds,
                            int barWidth = 30);

// "LABEL: 35%", a line for a log or a pipe.
std::string ProgressPlainLine(const std::string& label, int percent);

// The progress of one phase of a run (a read, programming, the verifying read): steps done out
// of the phase's total, the percent and the time left from the pace so far. The programmer
// window's bar and the command-line progress line both show it.
class ProgressEstimate {
public:
    using Clock = std::chrono::steady_clock;

    // A new phase of total steps begins now.
    void Start(int total, Clock::time_point now = Clock::now());
    void Step() { ++done_; }
    int done() const { return done_; }
    int total() const { return total_; }
    int Percent() const { return ProgressPercent(done_, total_); }
    double ElapsedSeconds(Clock::time_point now = Clock::now()) const;
    // Negative while nothing is done yet.
    double SecondsLeft(Clock::time_point now = Clock::now()) const;

private:
    Clock::time_point started_ = Clock::now();
    int done_ = 0;
    int total_ = 0;
};

} // namespace prog
