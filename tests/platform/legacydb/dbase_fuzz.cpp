// Fuzz target of the dBase reader: the input holds a table's .DBF, memo (written both as .DBT
// and .FPT), .MDX, .NDX and .INF files, separated by kFuzzFileSeparator.
#include "fuzz_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnel::legacydb;
  std::string folder = WriteFuzzFiles(data, size, {"T.DBF", "T.DBT", "T.MDX", "T.NDX", "T.INF"});
  std::string memo = folder + "/T.DBT";
  std::string foxPro = folder + "/T.FPT";
  std::remove(foxPro.c_str());
  if (std::FILE* file = std::fopen(memo.c_str(), "rb")) {
    std::fclose(file);
    std::rename(memo.c_str(), foxPro.c_str());
    ReadEverything(folder, "T.DBF");
    std::rename(foxPro.c_str(), memo.c_str());
  }
  ReadEverything(folder, "T.DBF");
  return 0;
}
