// Fuzz target: a table's data and index files, damaged at will, are opened and walked. Every
// failure must be an engine error. Input: a 4-byte little-endian length, that many bytes of the
// .DAT file, then the .IDX file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/base/errors.h"
#include "engine/base/session.h"
#include "engine/table/data_file.h"

namespace {

const std::string& Directory() {
  static std::string directory = [] {
    char pattern[] = "/tmp/tarnel-fuzz-XXXXXX";
    return std::string(::mkdtemp(pattern));
  }();
  return directory;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  size_t datLength = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<size_t>(data[3]) << 24);
  if (datLength > size - 4) datLength = size - 4;
  std::string base = Directory() + "/F";
  WriteFile(base + ".DAT", data + 4, datLength);
  WriteFile(base + ".IDX", data + 4 + datLength, size - 4 - datLength);

  tarnel::InitializeEngine();
  for (bool exclusive : {false, true}) {
    try {
      tarnel::TDataFile table;
      table.SetFileName(base);
      table.SetExclusive(exclusive);
      table.SetOnPassword([] { return false; });
      table.Open();
      for (int field = 1; field <= table.FieldCount(); ++field) table.GetFieldDesc(false, field);
      tarnel::TIndexFile& index = table.IndexFile();
      for (int number = 0; number <= index.SecondaryCount(); ++number) {
        index.SelectIndex(static_cast<uint8_t>(number));
        uint32_t root = index.GetDescriptor(number).RootPage;
        if (tarnel::TPage* page = index.GetPage(root, false)) index.ReleasePage(page);
      }
      table.Close();
    } catch (const tarnel::EDBEngineError&) {
    }
  }
  tarnel::ShutdownEngine();
  return 0;
}
