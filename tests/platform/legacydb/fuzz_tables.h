// What the reader fuzz targets share: an input split into the files of one table, written into
// a scratch folder, and a walk that asks the opened table for everything it can answer.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/legacydb/legacy_error.h"
#include "platform/legacydb/source_table.h"

namespace tarnel::legacydb {

// Header only: each fuzz target is built from one source file.

// Parts of a fuzz input are separated by this marker.
constexpr char kFuzzFileSeparator[] = "\n--next file--\n";

namespace {

constexpr int kMaxRecords = 2000;

// Kept for the whole run and removed at exit (so never destroyed before the exit handler).
const std::string& ScratchFolder() {
  static const std::string* folder = [] {
    auto* path = new std::string(
        (std::filesystem::temp_directory_path() / ("tarnel-fuzz-" + std::to_string(::getpid()))).string());
    std::filesystem::create_directories(*path);
    std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
    return path;
  }();
  return *folder;
}

template <typename TRead>
void Try(TRead read) {
  try {
    read();
  } catch (const ELegacyDbError&) {
  }
}

}  // namespace

// Writes the parts of `data` as the files `names` (a missing part removes its file) into the
// process's scratch folder, which it answers.
inline std::string WriteFuzzFiles(const uint8_t* data, size_t size, const std::vector<std::string>& names) {
  std::string input(reinterpret_cast<const char*>(data), size);
  const std::string separator = kFuzzFileSeparator;
  size_t start = 0;
  for (const std::string& name : names) {
    std::string path = ScratchFolder() + "/" + name;
    if (start > input.size()) {
      std::filesystem::remove(path);
      continue;
    }
    size_t end = input.find(separator, start);
    std::string part = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? input.size() + 1 : end + separator.size();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(part.data(), 1, part.size(), file);
    std::fclose(file);
  }
  return ScratchFolder();
}

// Opens `fileName` in `directory` and reads every definition and, for at most a few thousand
// records, every value in every form. Errors of the readers are expected and ignored; any
// other failure escapes.
inline void ReadEverything(const std::string& directory, const std::string& fileName) {
  std::unique_ptr<TSourceTable> table;
  try {
    table = OpenSourceTable(directory, fileName);
  } catch (const ELegacyDbError&) {
    return;
  }
  for (const TValidityCheck& check : table->ValidityChecks()) {
    for (const TCheckValue* value : {&check.Minimum, &check.Maximum, &check.Default}) {
      Try([&] { value->Value.AsBytes(); });
    }
  }
  int records = 0;
  Try([&] {
    for (table->First(); !table->Eof() && records < kMaxRecords; table->Next(), ++records) {
      for (int field = 0; field < static_cast<int>(table->Fields().size()); ++field) {
        Try([&] { table->IsNull(field); });
        Try([&] { table->Text(field, false); });
        Try([&] { table->Text(field, true); });
        Try([&] { table->Blob(field, true); });
        Try([&] {
          TFieldValue value = table->Value(field);
          Try([&] { value.AsBytes(); });
          Try([&] { value.AsCurrency(); });
          Try([&] { value.AsFloat(); });
          Try([&] { value.AsBcd().ToText(); });
        });
      }
    }
  });
}

}  // namespace tarnel::legacydb
