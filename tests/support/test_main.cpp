// The main of every test executable: pins the environment that results may depend on (time zone,
// the user's locale, Qt's platform) before any test runs.
#include <cstdlib>

#include <gtest/gtest.h>

extern "C" const char* __asan_default_options() {
  // Tests provoke allocation failures on purpose; they must come back as null, not abort.
  return "allocator_may_return_null=1";
}

int main(int argc, char** argv) {
  ::setenv("TZ", "UTC", 1);
  ::setenv("LANG", "C.UTF-8", 1);
  ::unsetenv("LC_ALL");
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
#ifdef TARNEL_DEFAULT_FIXTURES
  ::setenv("TARNEL_FIXTURES", TARNEL_DEFAULT_FIXTURES, 0);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
