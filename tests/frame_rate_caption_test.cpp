// The frame-rate caption against a scripted millisecond clock of the test's
// own (this program's timeGetTime replaces the platform's), on a real window
// under a private Xvfb: when the caption changes, what it says, how often the
// clock is read, and the clock's wrap-around.
#include <cmath>
#include <cstdint>
#include <deque>
#include <string>

#include <unistd.h>

#include "app/frame_rate_caption.h"
#include "support/x11_client.h"
#include "support/xvfb.h"

static auto* const xvfb = useOwnXvfb();

namespace {

// Readings handed out one per call, in order; running out is a test failure
// (the caption read the clock more often than it should).
std::deque<uint32_t> readings;
int clockReads = 0;

}  // namespace

uint32_t timeGetTime() {
  ++clockReads;
  if (readings.empty()) {
    ADD_FAILURE() << "the clock was read more often than scripted";
    return 0;
  }
  uint32_t now = readings.front();
  readings.pop_front();
  return now;
}

namespace {

intptr_t quietProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

const char* const initialCaption = "Shadow Volume";

class FrameRateCaption : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    registerClass(WindowClass{0, quietProcedure, currentInstance(), "Caption Test"});
    window = createWindow("Caption Test", initialCaption, 320, 240, currentInstance());
    showWindow(window, SW_SHOWNORMAL);
  }

  void SetUp() override {
    ASSERT_NE(window, nullptr);
    setWindowText(window, initialCaption);
    frameCounter = 0.0f;
    startTime = 0;
    framesPerSecond = 0.0f;
    readings.clear();
    clockReads = 0;
  }

  void TearDown() override { EXPECT_TRUE(readings.empty()) << "scripted readings left unread"; }

  static void frames(int count) {
    for (int i = 0; i < count; ++i) updateFrameRateCaption(window);
  }

  static WindowHandle window;
};

WindowHandle FrameRateCaption::window = nullptr;

}  // namespace

TEST_F(FrameRateCaption, NineFramesChangeNothingAndTheTenthWritesTheRate) {
  readings = {1000, 1250, 1250};
  for (int i = 1; i <= 9; ++i) {
    updateFrameRateCaption(window);
    EXPECT_STREQ(windowText(window), initialCaption) << "after frame " << i;
    EXPECT_EQ(clockReads, 1) << "ordinary frames read no clock; frame " << i;
  }
  updateFrameRateCaption(window);
  EXPECT_STREQ(windowText(window), "40.000000");
  EXPECT_EQ(framesPerSecond, 40.0f);
  EXPECT_EQ(clockReads, 3);
}

TEST_F(FrameRateCaption, EachRunStartsAtTheFreshReadingAfterTheLastUpdate) {
  // The update reads 1250 for the elapsed time, then 1300 as the next start:
  // the 50 ms between the two readings count for neither run.
  readings = {1000, 1250, 1300};
  frames(10);
  EXPECT_STREQ(windowText(window), "40.000000");
  readings = {1400, 1400};
  frames(9);
  EXPECT_STREQ(windowText(window), "40.000000");  // kept between updates
  frames(1);
  EXPECT_STREQ(windowText(window), "100.000000");
  EXPECT_EQ(clockReads, 5);
}

TEST_F(FrameRateCaption, TheClockWrappingAroundInsideARunIsMeasuredAcrossTheWrap) {
  readings = {0xFFFFFFF0u, 234, 240};  // 234 is 0xFFFFFFF0 + 250, wrapped
  frames(10);
  EXPECT_STREQ(windowText(window), "40.000000");
}

TEST_F(FrameRateCaption, ARunEndingOnTheWrapItselfIsMeasuredInFull) {
  // The next start is read as 1: a reading of exactly 0 would mean "not
  // taken yet" and be taken again at the next frame.
  readings = {0xFFFFFF06u, 0, 1};
  frames(10);
  EXPECT_STREQ(windowText(window), "40.000000");
  EXPECT_EQ(framesPerSecond, 40.0f);
}

TEST_F(FrameRateCaption, TenFramesInsideOneMillisecondShowALowerBound) {
  readings = {500, 500, 500};
  frames(10);
  EXPECT_STREQ(windowText(window), ">10000.000000");
  EXPECT_TRUE(std::isinf(framesPerSecond));
}

TEST_F(FrameRateCaption, TheLongestAndShortestMeasurableRunsFitTheCaption) {
  readings = {7, 8, 8};  // one millisecond: the largest finite rate
  frames(10);
  EXPECT_STREQ(windowText(window), "10000.000000");
  readings = {7, 7};  // from 8 round to 7: the longest run the clock can measure
  frames(10);
  EXPECT_STREQ(windowText(window), "0.000002");
}

TEST_F(FrameRateCaption, TheRateReachesTheWindowsTitleOnTheXServer) {
  X11Client client;
  ASSERT_TRUE(openX11Client(client));
  Window xWindow = waitForWindow(client, "Caption Test", 5000);
  ASSERT_NE(xWindow, 0u);
  EXPECT_EQ(windowName(client, xWindow), initialCaption);
  readings = {2000, 2250, 2250};
  frames(10);
  std::string seen;
  for (int tries = 0; tries < 100 && seen != "40.000000"; ++tries) {
    seen = windowName(client, xWindow);
    if (seen != "40.000000") usleep(20000);
  }
  EXPECT_EQ(seen, "40.000000");
  closeX11Client(client);
}
