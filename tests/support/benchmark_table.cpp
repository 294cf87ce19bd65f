// Reading back the benchmark table (see benchmark_table.h).
#include "support/benchmark_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

BenchmarkTable expectBenchmarkTable(const std::string& output, double seconds, bool closedEarly,
                                    int startMode) {
  BenchmarkTable table;
  std::istringstream in(output.substr(std::min(output.find(" --benchmark "), output.size())));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t space = line.find(' ');
    if (space != std::string::npos)
      table[line.substr(0, space)] = line.substr(line.find_first_not_of(' ', space));
  }
  EXPECT_EQ(output.find("ended early by a close") != std::string::npos, closedEarly) << output;
  for (const char* name : {"scene", "texture", "window", "renderer", "version"})
    EXPECT_FALSE(table[name].empty()) << name << " missing:\n" << output;
  const char* const modes[2] = {"first", "second"};
  for (int mode = 0; mode < 2; ++mode) {
    int frames = -1;
    double rate = 0.0, median = 0.0, slowest = 0.0;
    EXPECT_EQ(std::sscanf(table[modes[mode]].c_str(), "(%*[a-z ]) %d %lf %lf %lf", &frames, &rate,
                          &median, &slowest),
              4)
        << modes[mode] << " row missing:\n"
        << output;
    if (closedEarly && mode != startMode) {
      EXPECT_EQ(frames, 0) << output;
      continue;
    }
    EXPECT_GT(frames, 0) << output;
    EXPECT_GT(median, 0.0);
    EXPECT_LE(median, slowest);
    // Each half ends with the frame that reaches half the seconds.
    if (!closedEarly) {
      EXPECT_NEAR(frames / rate, seconds / 2.0, 0.5) << output;
    }
  }
  return table;
}
