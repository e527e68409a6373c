#include "support/fixtures.h"

#include <sys/stat.h>

#include <cstdlib>

namespace tarnel::test {

std::string FixturesDir() {
  const char* dir = std::getenv("TARNEL_FIXTURES");
  if (dir == nullptr || *dir == '\0') return std::string();
  struct stat info;
  if (::stat(dir, &info) != 0 || !S_ISDIR(info.st_mode)) return std::string();
  return dir;
}

}  // namespace tarnel::test
