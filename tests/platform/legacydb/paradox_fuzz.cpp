// Fuzz target of the Paradox reader: the input holds a table's .DB, .MB, .PX, .VAL, .X02 and
// .XG0 files, separated by kFuzzFileSeparator.
#include "fuzz_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnel::legacydb;
  std::string folder = WriteFuzzFiles(data, size, {"T.DB", "T.MB", "T.PX", "T.VAL", "T.X02", "T.XG0"});
  ReadEverything(folder, "T.DB");
  return 0;
}
