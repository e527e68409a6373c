// Fuzz target: a table's three files, damaged at will, are opened, read through the cursor with
// their BLOBs, checked and repaired. Every failure must be an engine error: no crash, no hang, no
// sanitizer report. Input: a 4-byte little-endian length and that many bytes of the .DAT file,
// another length and the .IDX file, then the .BLB file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/base/errors.h"
#include "engine/base/session.h"
#include "engine/table/data_file.h"
#include "engine/table/table_check.h"
#include "engine/table/table_repair.h"
#include "platform/rtl/exception.h"

namespace {

// The password of the protected seed tables.
constexpr char kPassword[] = "fuzz";

// In memory where the machine offers it: a repair asks for its writes to reach the disk.
const std::string& Directory() {
  static std::string directory = [] {
    std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/tarnel-fuzz-XXXXXX" : "/tmp/tarnel-fuzz-XXXXXX";
    return std::string(::mkdtemp(pattern.data()));
  }();
  return directory;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

// Splits off a part that a 4-byte length announces (cut to what is there).
size_t Part(const uint8_t*& data, size_t& size) {
  if (size < 4) {
    size = 0;
    return 0;
  }
  size_t length = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<size_t>(data[3]) << 24);
  data += 4;
  size -= 4;
  return length < size ? length : size;
}

// Every record the cursor shows, with the contents of its BLOB fields.
void ReadEverything(tarnel::TDataFile& table) {
  std::vector<uint8_t> image(static_cast<size_t>(table.RecordBufferSize()));
  std::vector<uint8_t> contents;
  table.SetToBegin();
  for (int32_t steps = 0; steps <= table.RecordSlotCount() && table.GetNextRecord(image.data()) == 0; ++steps) {
    for (int fieldNo = 1; fieldNo <= table.FieldCount(); ++fieldNo) {
      if (table.GetFieldDesc(false, fieldNo).FieldType != tarnel::dtBlob) continue;
      if (table.OpenBlob(false, fieldNo, 0, image.data()) != 0) continue;
      int32_t size = 0;
      table.GetBlobSize(false, fieldNo, image.data(), size);
      contents.resize(static_cast<size_t>(size));
      int32_t read = 0;
      table.ReadBlob(false, fieldNo, 0, size, contents.data(), image.data(), read);
      table.CloseBlob(false, fieldNo, image.data());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string base = Directory() + "/F";
  size_t datLength = Part(data, size);
  WriteFile(base + ".DAT", data, datLength);
  data += datLength;
  size -= datLength;
  size_t idxLength = Part(data, size);
  WriteFile(base + ".IDX", data, idxLength);
  WriteFile(base + ".BLB", data + idxLength, size - idxLength);

  tarnel::InitializeEngine();
  tarnel::AddPassword(tarnel::CurrentSession(), kPassword);
  for (bool exclusive : {false, true}) {
    try {
      tarnel::TDataFile table;
      table.SetFileName(base);
      table.SetExclusive(exclusive);
      table.SetRepairMode(true);
      table.SetOnPassword([] { return false; });
      table.Open();
      tarnel::TTableCheckReport report = tarnel::CheckTable(table);
      if (exclusive && !report.Clean()) {
        table.SetOnRepairMessage([](const std::string&) {});
        tarnel::RepairTable(table, report);
        tarnel::CheckTable(table);
      }
      table.SetRepairMode(false);
      ReadEverything(table);
      table.Close();
    } catch (const tarnel::EDBEngineError&) {
    } catch (const tarnel::EConvertError&) {
      // A damaged default text: the engine raises the conversion error when it prepares a record.
    }
  }
  tarnel::ShutdownEngine();
  return 0;
}
