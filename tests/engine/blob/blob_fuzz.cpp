// Fuzz target: a BLOB file as it may be found on disk, however damaged. Opening it, loading
// every BLOB whose first block it holds, storing over the chains and freeing them (with and
// without repair mode), then writing it back must end in engine errors only: never a crash, a
// hang or a sanitizer report. Block size 64, so that small inputs hold long chains; each input
// is tried plain and shared, and scrambled and exclusive.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/base/errors.h"
#include "engine/base/file_handler.h"
#include "engine/base/scramble.h"
#include "engine/base/session.h"
#include "engine/blob/blob_block.h"
#include "engine/blob/blob_file.h"
#include "fake_table.h"

namespace tarnel {
namespace {

constexpr uint32_t kBlockSize = 64;
constexpr int kMaxChains = 16;
// Flushing is skipped when the header claims a larger file: the in-memory file would grow to it.
constexpr uint32_t kMaxFlushedEnd = 1 << 20;
const char kFileName[] = "FUZZ.BLB";

// Runs one step as the table does: an engine error ends the step, and the table's clean-up
// follows (pins dropped, the record's BLOBs closed).
template <typename Step>
void Attempt(TBlobFile& file, Step step) {
  try {
    step();
  } catch (const EDBEngineError&) {
    file.UnpinAllBlocks();
    file.CloseAllBlobs();
  }
}

void Exercise(const uint8_t* data, size_t size, bool scrambled) {
  bool exclusive = scrambled;
  {
    TFileHandler raw;
    raw.SetInMemory(true);
    raw.SetFileName(kFileName);
    raw.SetExclusive(true);
    raw.CreateNew();
    if (size > 0) raw.Write(data, static_cast<int32_t>(size));
  }
  test::TFakeTable table;
  table.Scramble = scrambled;
  TBlobFile file(table, kBlockSize);
  table.Blob = &file;
  file.SetInMemory(true);
  file.SetFileName(kFileName);
  file.SetExclusive(exclusive);
  try {
    file.Open();
  } catch (const EDBEngineError&) {
    return;
  }
  int chains = 0;
  for (size_t offset = 512; offset + kBlockSize <= size && chains < kMaxChains; offset += kBlockSize) {
    uint8_t image[kBlockHeaderSize];
    std::copy(data + offset, data + offset + kBlockHeaderSize, image);
    if (scrambled) ScrambleBlock(image, kBlockHeaderSize, kBlockKey1, kBlockKey2);
    TBlockHeader header = TBlockHeader::Decode(image);
    if (header.PrevBlock != 0 || header.TotalLength == 0) continue;
    ++chains;
    int32_t first = static_cast<int32_t>(offset);
    int32_t record = header.OwnerRecord;
    Attempt(file, [&] {
      int32_t handle = 0;
      if (file.OpenBlob(first, 1, record, handle) != 0) return;
      int32_t length = 0;
      file.GetBlobSize(handle, length);
      std::string contents(static_cast<size_t>(length) + 8, '\0');
      int32_t got = 0;
      file.ReadBlob(handle, 0, length + 8, contents.data(), got);
      // Grows or shortens the BLOB, so that the old chain is reused, extended or cut.
      std::string more(static_cast<size_t>(chains) * 40, 'z');
      if (chains % 2 == 0) {
        file.WriteBlob(handle, length, static_cast<int32_t>(more.size()), more.data());
      } else {
        file.TruncateBlob(handle, length / 2);
      }
      file.SaveBlobs();
      file.CloseBlob(handle, first);
    });
    table.Repair = chains % 3 != 0;
    Attempt(file, [&] {
      int32_t handle = 0;
      if (file.OpenBlob(first, 1, record, handle) != 0) return;
      file.TruncateBlob(handle, 0);
      file.SaveBlobs();
      file.CloseAllBlobs();
    });
    table.Repair = false;
  }
  Attempt(file, [&] {
    // A new BLOB takes its blocks from the free list, however damaged.
    int32_t handle = 0;
    std::string contents(300, 'n');
    if (file.OpenBlob(0, 2, 99, handle) != 0) return;
    file.WriteBlob(handle, 0, static_cast<int32_t>(contents.size()), contents.data());
    file.SaveBlobs();
    file.CloseAllBlobs();
  });
  Attempt(file, [&] {
    if (file.Header().EndOfFile <= kMaxFlushedEnd) {
      file.FlushBlocks();
      file.WriteHeader(true);
    }
    file.HeaderChanged();
  });
  file.Close();
}

}  // namespace
}  // namespace tarnel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  tarnel::InitializeEngine();
  for (bool scrambled : {false, true}) tarnel::Exercise(data, size, scrambled);
  tarnel::ShutdownEngine();
  return 0;
}
