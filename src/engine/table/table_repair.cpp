#include "engine/table/table_repair.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/scramble.h"
#include "engine/blob/blob_file.h"
#include "engine/index/index_file.h"
#include "engine/table/check_context.h"
#include "engine/table/data_file.h"
#include "engine/table/table_scan.h"

namespace tarnel {

namespace {

std::string Physical(int32_t recordNo) { return "physical record # " + std::to_string(recordNo); }

// A BCD value read at the scale its last digit gives, stored again at `decimals`; false when
// that scale is not one a value can have or the value does not fit.
bool Rescale(int64_t bcd, int decimals, int64_t& result) {
  int scale = static_cast<int>(std::llabs(bcd % 10));
  if (scale > kMaxBCDDecimals || decimals > kMaxBCDDecimals) return false;
  int64_t amount = bcd / 10;
  for (int i = scale; i < decimals; ++i) {
    if (amount > INT64_MAX / 100 || amount < INT64_MIN / 100) return false;
    amount *= 10;
  }
  for (int i = decimals; i < scale; ++i) {
    int64_t rest = amount % 10;
    amount = amount / 10 + (rest >= 5 ? 1 : (rest <= -5 ? -1 : 0));
  }
  result = amount * 10 + (amount < 0 ? -decimals : decimals);
  return true;
}

class TRepairer {
 public:
  TRepairer(TDataFile& table, const TTableCheckReport& found, TRepairReport& report)
      : FTable(table), FFound(found), FReport(report) {}

  void Run() {
    if (!FTable.Exclusive()) RaiseEngineError(kErrMustBeExclusive, FTable.FileName());
    RepairSlotCount();
    RepairRecords();
    RepairFreeList();
    if (FTable.BlobFile() != nullptr) RepairBlobs();
    if (FRecordsChanged || Found(FTable.IndexFile())) RebuildIndexes();
    if (FLastAutoInc != FTable.Header().LastAutoInc) {
      Message("LastAutoInc raised from " + std::to_string(FTable.Header().LastAutoInc) + " to " +
              std::to_string(FLastAutoInc));
      FTable.SetLastAutoInc(FLastAutoInc);
    }
    FTable.InvalidateRecords();
    FTable.Flush(true, true, true);
    FTable.FlushToDisk();
  }

 private:
  void Message(const std::string& text) {
    ++FReport.Corrections;
    FTable.RepairMessage(text);
  }

  void Unrepaired(const TFileHandler& file, const std::string& location, const std::string& text) {
    FReport.Unrepaired.push_back({file.FileName(), location, text});
  }

  // Whether the check found a problem in `file` (at `location`, when one is given).
  bool Found(const TFileHandler& file, const std::string& location = std::string()) const {
    if (FFound.MoreProblems > 0) return true;
    for (const TTableProblem& problem : FFound.Problems) {
      if (problem.File == file.FileName() && (location.empty() || problem.Location == location)) return true;
    }
    return false;
  }

  void RepairSlotCount() {
    TStoredRecords records(FTable);
    int32_t slots = FTable.RecordSlotCount();
    FSlots = records.CompleteSlots();
    if (FSlots == slots) return;
    TDataHeader header = FTable.Header();
    header.NextRecordNo = FSlots + 1;
    header.HeaderModified = false;
    uint8_t image[TDataHeader::kDiskSize];
    header.Encode(image);
    FTable.Seek(0, 0);
    FTable.Write(image, TDataHeader::kDiskSize);
    FTable.ReadHeader();
    Message("NextRecordNo lowered from " + std::to_string(slots + 1) + " to " + std::to_string(FSlots + 1) +
            ": the data file holds " + std::to_string(FSlots) + " records in full");
  }

  void RepairRecords() {
    TStoredRecords records(FTable);
    FLastAutoInc = FTable.Header().LastAutoInc;
    records.ForEach(FSlots, [this](int32_t, uint8_t* image) {
      FLastAutoInc = std::max(FLastAutoInc, GetI32(image + kRecordId));
    });
    FLive.assign(static_cast<size_t>(FSlots), false);
    FLinks.assign(static_cast<size_t>(FSlots), 0);
    std::unordered_map<int32_t, int32_t> ids;
    records.ForEach(FSlots, [&](int32_t recordNo, uint8_t* image) {
      bool changed = false;
      if (image[kRecordDeleted] > 1) {
        Message(Physical(recordNo) + ": Deleted byte " + std::to_string(image[kRecordDeleted]) + " read as deleted");
        image[kRecordDeleted] = 1;
        changed = true;
        FDeletedChanged = true;
      }
      int32_t id = GetI32(image + kRecordId);
      auto [first, inserted] = ids.emplace(id, recordNo);
      if (!inserted) {
        int32_t fresh = ++FLastAutoInc;
        PutI32(image + kRecordId, fresh);
        ids.emplace(fresh, recordNo);
        Message(Physical(recordNo) + ": identifier " + std::to_string(id) + " is that of " + Physical(first->second) +
                " too; this record gets the identifier " + std::to_string(fresh));
        changed = true;
      }
      if (image[kRecordDeleted] == 0) {
        FLive[static_cast<size_t>(recordNo - 1)] = true;
        if (GetU32(image + kRecordLink) != static_cast<uint32_t>(recordNo)) {
          PutU32(image + kRecordLink, static_cast<uint32_t>(recordNo));
          Message(Physical(recordNo) + ": RecordLink set to the record's own number");
          changed = true;
        }
        for (int fieldNo = 1; fieldNo <= FTable.FieldCount(); ++fieldNo) {
          const TFieldDesc& field = FTable.GetFieldDesc(false, fieldNo);
          if (field.IsStored() && RepairField(recordNo, field, image + field.FieldOffset)) changed = true;
        }
      }
      FLinks[static_cast<size_t>(recordNo - 1)] = GetU32(image + kRecordLink);
      if (changed) {
        records.Write(recordNo, image);
        FRecordsChanged = true;
      }
    });
  }

  bool RepairField(int32_t recordNo, const TFieldDesc& field, uint8_t* stored) {
    std::string where = Physical(recordNo) + ", field " + field.FieldName;
    uint8_t* value = stored + 1;
    bool changed = false;
    if (stored[0] > 1) {
      Message(where + ": null byte " + std::to_string(stored[0]) + " read as holding a value");
      stored[0] = 1;
      changed = true;
    }
    if (stored[0] == 0) return changed;
    switch (field.FieldType) {
      case dtString:
        if (value[field.PhysSize - 1] != 0) {
          value[field.PhysSize - 1] = 0;
          Message(where + ": text given its terminating zero");
          changed = true;
        }
        if (value[0] == 0) {
          stored[0] = 0;
          Message(where + ": empty text stored as null");
          changed = true;
        }
        break;
      case dtBoolean:
        if (GetU16(value) > 1) {
          Message(where + ": Boolean value " + std::to_string(GetU16(value)) + " stored as 1");
          PutU16(value, 1);
          changed = true;
        }
        break;
      case dtBCD: {
        int64_t bcd = GetI64(value);
        if (std::llabs(bcd % 10) == field.Decimals) break;
        int64_t rescaled;
        if (!Rescale(bcd, field.Decimals, rescaled)) {
          Unrepaired(FTable, RecordLocation(recordNo) + ", field " + field.FieldName,
                     "BCD value " + std::to_string(bcd) + " cannot be read at " + std::to_string(field.Decimals) + " decimals");
          break;
        }
        PutI64(value, rescaled);
        Message(where + ": BCD value " + std::to_string(bcd) + " stored again at " + std::to_string(field.Decimals) +
                " decimals as " + std::to_string(rescaled));
        changed = true;
        break;
      }
      case dtBlob: {
        int32_t reference = GetI32(value);
        if (reference <= 0) {
          Message(where + ": BLOB reference " + std::to_string(reference) + " cleared");
          stored[0] = 0;
          PutI32(value, 0);
          changed = true;
        } else {
          FBlobs.push_back({recordNo, field.FieldNo, static_cast<uint32_t>(reference)});
        }
        break;
      }
      default:
        break;
    }
    return changed;
  }

  // A table with a primary index chains every deleted slot, in slot order; a table without one
  // keeps only a head that names a deleted slot, every link 0 (it never reuses slots).
  void RepairFreeList() {
    bool primary = !FTable.IndexFile().NoPrimaryIndex();
    if (!FDeletedChanged && !Found(FTable, "free list")) return;
    std::vector<int32_t> deleted;
    for (int32_t slot = 1; slot <= FSlots; ++slot) {
      if (!FLive[static_cast<size_t>(slot - 1)]) deleted.push_back(slot);
    }
    uint32_t head = FTable.Header().FreeListHead;
    if (primary) {
      head = deleted.empty() ? 0 : static_cast<uint32_t>(deleted.front());
    } else if (head > static_cast<uint32_t>(FSlots) || (head != 0 && FLive[head - 1])) {
      head = 0;
    }
    TStoredRecords records(FTable);
    std::vector<uint8_t> image(static_cast<size_t>(FTable.RecordBufferSize()));
    for (size_t i = 0; i < deleted.size(); ++i) {
      uint32_t link = primary && i + 1 < deleted.size() ? static_cast<uint32_t>(deleted[i + 1]) : 0;
      int32_t slot = deleted[i];
      if (FLinks[static_cast<size_t>(slot - 1)] == link) continue;
      records.Read(slot, image.data());
      PutU32(image.data() + kRecordLink, link);
      records.Write(slot, image.data());
    }
    FTable.SetFreeListHead(head);
    Message("free list of deleted records rebuilt: " + std::to_string(primary ? deleted.size() : (head != 0 ? 1 : 0)) +
            " records on it");
  }

  void RepairBlobs() {
    TBlobFile& file = *FTable.BlobFile();
    TStoredBlocks blocks(FTable);
    std::vector<int32_t> owner(blocks.BlockCount(), 0);
    auto ownerOf = [&](uint32_t offset) -> int32_t& { return owner[static_cast<size_t>(blocks.IndexOf(offset))]; };
    bool chainsChanged = false;
    TStoredRecords records(FTable);
    std::vector<uint8_t> image(static_cast<size_t>(FTable.RecordBufferSize()));
    for (const TBlobReference& blob : FBlobs) {
      const TFieldDesc& field = FTable.GetFieldDesc(false, blob.FieldNo);
      std::string where = Physical(blob.RecordNo) + ", field " + field.FieldName;
      TChainWalk walk = WalkChain(blocks, blob.FirstBlock, blob.RecordNo, [&](uint32_t offset) { return ownerOf(offset); });
      if (walk.Damage == TChainDamage::Reference || walk.Blocks.empty()) {
        records.Read(blob.RecordNo, image.data());
        image[field.FieldOffset] = 0;
        PutI32(image.data() + field.FieldOffset + 1, 0);
        records.Write(blob.RecordNo, image.data());
        Message(where + ": " + walk.Problem + "; the field is set to null");
        continue;
      }
      for (uint32_t offset : walk.Blocks) ownerOf(offset) = blob.RecordNo;
      for (size_t i = 0; i < walk.Blocks.size(); ++i) {
        bool fix = std::find(walk.HeaderFixes.begin(), walk.HeaderFixes.end(), walk.Blocks[i]) != walk.HeaderFixes.end();
        if (!fix) continue;
        TBlock block = blocks.Read(walk.Blocks[i]);
        block.Header.PrevBlock = i == 0 ? 0 : walk.Blocks[i - 1];
        if (i > 0) block.Header.TotalLength = 0;
        blocks.Write(block);
        Message(where + ": the header of block " + std::to_string(walk.Blocks[i]) + " corrected");
      }
      if (walk.Sound()) continue;
      chainsChanged = true;
      TBlock last = blocks.Read(walk.Blocks.back());
      last.Header.NextBlock = 0;
      if (walk.Blocks.size() == 1) last.Header.TotalLength = static_cast<uint32_t>(walk.Bytes);
      blocks.Write(last);
      if (walk.Blocks.size() > 1) {
        TBlock first = blocks.Read(walk.Blocks.front());
        first.Header.TotalLength = static_cast<uint32_t>(walk.Bytes);
        blocks.Write(first);
      }
      if (walk.Damage == TChainDamage::Loop) {
        Message(BlobRepairMessage(kRecursivePointerRepair, blob.RecordNo));
      } else if (walk.Damage == TChainDamage::Link) {
        Message(BlobRepairMessage(kInvalidPointerRepair, blob.RecordNo));
      } else {
        Message(where + ": " + walk.Problem + "; the BLOB is cut to " + std::to_string(walk.Bytes) + " of its " +
                std::to_string(walk.TotalLength) + " bytes");
      }
    }
    TBlobHeader header = file.Header();
    if (chainsChanged || Found(file)) {
      std::vector<uint32_t> free;
      for (uint32_t index = 0; index < owner.size(); ++index) {
        if (owner[index] == 0) free.push_back(blocks.OffsetOf(index));
      }
      bool changed = (free.empty() ? 0 : free.front()) != (header.FreeBlock == header.EndOfFile ? 0 : header.FreeBlock);
      for (size_t i = 0; i < free.size(); ++i) {
        TBlock block = blocks.Read(free[i]);
        uint32_t next = i + 1 < free.size() ? free[i + 1] : 0;
        if (block.Header.NextBlock == next) continue;
        block.Header.NextBlock = next;
        blocks.Write(block);
        changed = true;
      }
      header.FreeBlock = free.empty() ? 0 : free.front();
      if (changed) Message("BLOB free list rebuilt: " + std::to_string(free.size()) + " free blocks");
    }
    uint32_t end = blocks.OffsetOf(blocks.BlockCount());
    if (file.Seek(0, 2) != end) blocks.Truncate(blocks.BlockCount());
    if (header.EndOfFile != end) {
      Message("BLOB file EndOfFile set from " + std::to_string(header.EndOfFile) + " to " + std::to_string(end));
      header.EndOfFile = end;
    }
    header.HeaderModified = false;
    uint8_t stored[kBlobHeaderSize];
    header.Encode(stored);
    if (FTable.Scrambled()) ScrambleBlock(stored, kBlobHeaderSize, kBlockKey1, kBlockKey2);
    file.Seek(0, 0);
    file.Write(stored, kBlobHeaderSize);
    file.InvalidateBlocks();
    file.ReadHeader();
  }

  void RebuildIndexes() {
    TIndexFile& index = FTable.IndexFile();
    bool primary = !index.NoPrimaryIndex();
    std::vector<uint8_t> numbers;
    if (primary) numbers.push_back(kPrimaryIndex);
    for (int number = 1; number <= index.SecondaryCount(); ++number) numbers.push_back(static_cast<uint8_t>(number));
    for (int number : numbers) {
      std::string problem = IndexDescriptorProblem(FTable, number);
      if (!problem.empty()) {
        Unrepaired(index, "index " + Name(number), problem + "; the indexes cannot be rebuilt");
        return;
      }
    }
    index.EmptyIndexes();
    index.InvalidatePages();
    std::vector<int64_t> keys(TIndexHeader::kDescriptorCount, 0);
    std::vector<uint8_t> key(kKeyBufferSize, 0);
    TStoredRecords records(FTable);
    records.ForEach(FSlots, [&](int32_t recordNo, uint8_t* image) {
      if (FLive[static_cast<size_t>(recordNo - 1)]) {
        index.IncrementRecordCount();
        for (uint8_t number : numbers) {
          index.SelectIndex(number);
          FTable.BuildKey(image, number, key.data());
          bool unique = number == kPrimaryIndex || index.Current().Unique;
          if (unique && index.KeyExists(key.data())) {
            Unrepaired(index, "index " + Name(number),
                       RecordLocation(recordNo) + ": its key duplicates another record's; it is left out of the index");
            continue;
          }
          index.InsertKey(key.data(), static_cast<uint32_t>(recordNo));
          ++keys[number];
        }
      }
      if (primary) {
        index.SelectIndex(kSysDeletedIndex);
        FTable.BuildStatusKey(image, key.data());
        index.InsertKey(key.data(), static_cast<uint32_t>(recordNo));
        ++keys[kSysDeletedIndex];
      }
    });
    index.SelectIndex(kPrimaryIndex);
    if (primary) numbers.push_back(kSysDeletedIndex);
    for (uint8_t number : numbers) {
      Message("index " + Name(number) + " rebuilt with " + std::to_string(keys[number]) + " keys");
    }
  }

  std::string Name(int number) {
    return number == kPrimaryIndex ? kPrimaryIndexName : FTable.IndexFile().GetDescriptor(number).IndexName;
  }

  TDataFile& FTable;
  const TTableCheckReport& FFound;
  TRepairReport& FReport;
  int32_t FSlots = 0;
  int32_t FLastAutoInc = 0;
  std::vector<bool> FLive;
  std::vector<uint32_t> FLinks;
  std::vector<TBlobReference> FBlobs;
  bool FRecordsChanged = false;
  bool FDeletedChanged = false;
};

}  // namespace

TRepairReport RepairTable(TDataFile& table, const TTableCheckReport& found) {
  TRepairReport report;
  TRepairer(table, found, report).Run();
  return report;
}

}  // namespace tarnel
