// The real Paradox and dBase tables the readers are checked against. Tests that need them call
// FixturesOrSkip(), which skips the test when $TARNEL_FIXTURES is not set or not a folder.
#pragma once

#include <string>

#include <gtest/gtest.h>

namespace tarnel::test {

// The fixtures folder, or an empty text when it is not available.
std::string FixturesDir();


}  // namespace tarnel::test

// Declares `dir` as the fixtures folder or skips the current test.
#define TARNEL_REQUIRE_FIXTURES(dir)                                     \
  std::string dir = ::tarnel::test::FixturesDir();                       \
  if (dir.empty()) GTEST_SKIP() << "TARNEL_FIXTURES is not set or absent"
