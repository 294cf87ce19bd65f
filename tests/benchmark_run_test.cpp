// The benchmark table's figures from the frame times as drawn: the mean rate
// over the whole time, the median (of the middle two for an even count) and
// the 95th percentile as the nearest rank.
#include "app/benchmark_run.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

// The library's start-up calls these; each program defines them.
void firstStartUpStep(WindowHandle) {}
void onClose(WindowHandle) {}

TEST(BenchmarkRun, FiguresAreTheRateOverTheTimeTheMedianAndTheNearestRank) {
  // n frames of n, n - 1, ..., 1 ms: the figures must not take the order drawn.
  for (const FrameTimes& expected : {FrameTimes{0, 0.0, 0.0, 0.0},
                                     FrameTimes{20, 20000.0 / 210.0, 10.5, 19.0},
                                     FrameTimes{21, 21000.0 / 231.0, 11.0, 20.0}}) {
    std::vector<double> ms(static_cast<size_t>(expected.frames));
    std::iota(ms.rbegin(), ms.rend(), 1.0);
    const FrameTimes times = summarizeFrameTimes(ms);
    EXPECT_EQ(times.frames, expected.frames);
    EXPECT_DOUBLE_EQ(times.meanRate, expected.meanRate);
    EXPECT_DOUBLE_EQ(times.medianMs, expected.medianMs);
    EXPECT_DOUBLE_EQ(times.slowestTwentiethMs, expected.slowestTwentiethMs);
  }
}
