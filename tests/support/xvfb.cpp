// The private Xvfb (own_xvfb.h) as a test program's global environment.
#include "support/xvfb.h"

#include "support/own_xvfb.h"

XvfbEnvironment::XvfbEnvironment(std::string screen) : screen_(std::move(screen)) {}

void XvfbEnvironment::SetUp() {
  pid_ = startOwnXvfb(screen_);
  ASSERT_GT(pid_, 0) << "Xvfb did not start";
}

void XvfbEnvironment::TearDown() {
  stopOwnXvfb(pid_);
  pid_ = -1;
}

testing::Environment* useOwnXvfb(const std::string& screen) {
  return testing::AddGlobalTestEnvironment(new XvfbEnvironment(screen));
}
