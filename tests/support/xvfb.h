// A private X server for test programs that open windows: Xvfb on a display
// number of its own, 16 bits deep by default, so tests need no desktop and
// several test programs can run side by side.
#pragma once

#include <gtest/gtest.h>

#include <string>

class XvfbEnvironment : public testing::Environment {
 public:
  explicit XvfbEnvironment(std::string screen = "1024x768x16");
  void SetUp() override;
  void TearDown() override;

 private:
  std::string screen_;
  int pid_ = -1;
};

// Registers a private Xvfb for the whole test program; call from a static
// initialiser: `static auto* const xvfb = useOwnXvfb();`
testing::Environment* useOwnXvfb(const std::string& screen = "1024x768x16");
