#pragma once

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

// "LABEL [#######.............]  35%  0:12 left": a bar barWidth characters wide, the percent
// and the time left as minutes:seconds ("--:--" while unknown, nothing once finished).
std::string ProgressBarLine(const std::string& label, int done, int total, double elapsedSeconds,
                            int barWidth = 30);

// "LABEL: 35%", a line for a log or a pipe.
std::string ProgressPlainLine(const std::string& label, int percent);

} // namespace prog
