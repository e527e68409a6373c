// A test with a started engine and a fresh temporary directory; the engine is shut down after
// the test, also when it fails.
#pragma once

#include <gtest/gtest.h>

#include "engine/base/errors.h"
#include "engine/base/session.h"
#include "support/temp_dir.h"

namespace tarnel::test {

class TEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeEngine(); }
  void TearDown() override { ShutdownEngine(); }

  TTempDir FDir;
};

// The engine code of a failing call, or 0 when it did not raise EDBEngineError.
template <typename Call>
uint16_t EngineCodeOf(Call call) {
  try {
    call();
  } catch (const EDBEngineError& error) {
    return error.ErrorCode();
  }
  return 0;
}

}  // namespace tarnel::test
