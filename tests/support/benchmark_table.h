// The table a benchmark run (--benchmark) prints, read back from the
// program's output and checked for what every run's table must show.
#pragma once

#include <map>
#include <string>

// The lines by their first word ("scene", "window", ...: the rest of the
// line; "first" and "second": the shadow modes' figures).
using BenchmarkTable = std::map<std::string, std::string>;

// A run of `seconds` that started in startMode (0 or 1): to its end, both
// modes drew for half the time each; closed early, only startMode drew, and
// the first line says so. Every line is there, and each row's frames, mean
// rate, median and 95th percentile agree with each other.
BenchmarkTable expectBenchmarkTable(const std::string& output, double seconds, bool closedEarly,
                                    int startMode);
