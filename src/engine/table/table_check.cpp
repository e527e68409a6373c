// The table check: the data file's header, records and free list here; the indexes and the BLOB
// file in index_check.cpp and blob_check.cpp, against what the scan of the records found.
#include "engine/table/table_check.h"

#include <strings.h>

#include <cstdlib>
#include <unordered_map>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/table/check_context.h"
#include "engine/table/data_file.h"
#include "engine/table/table_scan.h"
#include "engine/table/value_text.h"
#include "platform/rtl/format_settings.h"

namespace tarnel {

namespace {

// Holds the table's read lock while the check runs, so that no writer changes the files.
class TCheckLock {
 public:
  explicit TCheckLock(TDataFile& table) : FTable(table) { table.LockForRead(); }
  ~TCheckLock() {
    try {
      FTable.UnlockForRead();
    } catch (const EDatabaseError&) {
      // The lock goes with the file; the check's own outcome is what counts.
    }
  }
  TCheckLock(const TCheckLock&) = delete;
  TCheckLock& operator=(const TCheckLock&) = delete;

 private:
  TDataFile& FTable;
};

class TRecordScan {
 public:
  explicit TRecordScan(TCheckContext& context) : C(context), FTable(context.Table) {}

  void Run() {
    CheckDefinitions();
    TStoredRecords records(FTable);
    int32_t slots = FTable.RecordSlotCount();
    C.Slots = records.CompleteSlots();
    if (int64_t{slots + 1} * FTable.RecordSize() > TDataFile::kMaxRecordBytes) {
      C.Add(FTable, "header", "NextRecordNo " + std::to_string(slots + 1) + " of " + std::to_string(FTable.RecordSize()) +
                                  "-byte records passes the limit of " + std::to_string(TDataFile::kMaxRecordBytes) + " bytes");
    }
    if (C.Slots < slots) {
      C.Add(FTable, "header", "NextRecordNo " + std::to_string(slots + 1) + " counts " + std::to_string(slots) +
                                  " record slots, the file holds " + std::to_string(C.Slots) + " in full");
    }
    C.Live.assign(static_cast<size_t>(C.Slots), false);
    FLinks.assign(static_cast<size_t>(C.Slots), 0);
    records.ForEach(C.Slots, [this](int32_t recordNo, uint8_t* image) { Visit(recordNo, image); });
    C.Report.Slots = C.Slots;
    if (FHighestId > FTable.Header().LastAutoInc) {
      C.Add(FTable, "header", "LastAutoInc " + std::to_string(FTable.Header().LastAutoInc) +
                                  " is below the identifier " + std::to_string(FHighestId) + " a record holds");
    }
    CheckFreeList();
  }

 private:
  // What opening does not refuse: names, and the texts of defaults, minimums and maximums, which
  // the engine reads in the table's formats whenever it prepares or checks a record.
  void CheckDefinitions() {
    TLocaleFormatsGuard formats(FTable.LanguageId(), FTable.SortId());
    for (int fieldNo = 1; fieldNo <= FTable.FieldCount(); ++fieldNo) {
      const TFieldDesc& field = FTable.GetFieldDesc(false, fieldNo);
      std::string where = "field " + std::to_string(fieldNo);
      if (field.FieldName.empty()) C.Add(FTable, where, "no name");
      for (int other = 1; other < fieldNo; ++other) {
        const std::string& name = FTable.GetFieldDesc(false, other).FieldName;
        if (!name.empty() && name.size() == field.FieldName.size() && ::strcasecmp(name.c_str(), field.FieldName.c_str()) == 0) {
          C.Add(FTable, where, "the name of field " + std::to_string(other) + " again");
        }
      }
      for (auto [what, text] : {std::pair{"default", &field.DefaultValue}, {"minimum", &field.MinValue},
                                {"maximum", &field.MaxValue}}) {
        if (!ValueTextValid(*text, field.FieldType, FTable.LanguageId())) {
          C.Add(FTable, where, std::string(what) + " \"" + *text + "\" is no value of the field's type");
        }
      }
    }
  }

  void Visit(int32_t recordNo, const uint8_t* image) {
    std::string where = RecordLocation(recordNo);
    uint8_t deleted = image[kRecordDeleted];
    uint32_t link = GetU32(image + kRecordLink);
    int32_t id = GetI32(image + kRecordId);
    if (deleted > 1) C.Add(FTable, where, "Deleted byte " + std::to_string(deleted) + ", neither 0 nor 1");
    auto [first, inserted] = FIds.emplace(id, recordNo);
    if (!inserted) {
      C.Add(FTable, where, "identifier " + std::to_string(id) + " is also the identifier of record " +
                               std::to_string(first->second));
    }
    if (id > FHighestId) FHighestId = id;
    FLinks[static_cast<size_t>(recordNo - 1)] = link;
    if (deleted != 0) return;
    C.Live[static_cast<size_t>(recordNo - 1)] = true;
    ++C.Report.Records;
    if (link != static_cast<uint32_t>(recordNo)) {
      C.Add(FTable, where, "RecordLink " + std::to_string(link) + " in an active record, which links to itself");
    }
    for (int fieldNo = 1; fieldNo <= FTable.FieldCount(); ++fieldNo) {
      const TFieldDesc& field = FTable.GetFieldDesc(false, fieldNo);
      if (field.IsStored()) CheckField(recordNo, field, image + field.FieldOffset);
    }
  }

  void CheckField(int32_t recordNo, const TFieldDesc& field, const uint8_t* stored) {
    std::string where = RecordLocation(recordNo) + ", field " + field.FieldName;
    const uint8_t* value = stored + 1;
    if (stored[0] > 1) {
      C.Add(FTable, where, "null byte " + std::to_string(stored[0]) + ", neither 0 nor 1");
      return;
    }
    if (stored[0] == 0) return;
    switch (field.FieldType) {
      case dtString:
        if (value[field.PhysSize - 1] != 0) {
          C.Add(FTable, where, "text without its terminating zero");
        } else if (value[0] == 0) {
          C.Add(FTable, where, "empty text stored as a value; an empty text is null");
        }
        break;
      case dtBoolean:
        if (GetU16(value) > 1) C.Add(FTable, where, "Boolean value " + std::to_string(GetU16(value)));
        break;
      case dtBCD: {
        int64_t bcd = GetI64(value);
        int scale = static_cast<int>(std::llabs(bcd % 10));
        if (scale != field.Decimals) {
          C.Add(FTable, where, "BCD value " + std::to_string(bcd) + " ends in the digit " + std::to_string(scale) +
                                   ", the field has " + std::to_string(field.Decimals) + " decimals");
        }
        break;
      }
      case dtBlob: {
        int32_t reference = GetI32(value);
        if (reference <= 0) {
          C.Add(FTable, where, "BLOB field holds the reference " + std::to_string(reference));
        } else {
          C.Blobs.push_back({recordNo, field.FieldNo, static_cast<uint32_t>(reference)});
        }
        break;
      }
      default:
        break;
    }
  }

  // Deleted records are chained from FreeListHead through their RecordLink. A table with a
  // primary index chains every deleted slot, to reuse it; one without keeps only the last
  // deleted slot at the head, since it never reuses slots.
  void CheckFreeList() {
    const std::string where = "free list";
    std::vector<bool> listed(static_cast<size_t>(C.Slots), false);
    uint32_t n = FTable.Header().FreeListHead;
    while (n != 0) {
      if (n > static_cast<uint32_t>(C.Slots)) {
        C.Add(FTable, where, "leads to record " + std::to_string(n) + ", beyond the last record slot");
        break;
      }
      if (listed[n - 1]) {
        C.Add(FTable, where, "runs back to record " + std::to_string(n));
        break;
      }
      if (C.Live[n - 1]) {
        C.Add(FTable, where, "holds record " + std::to_string(n) + ", which is not deleted");
        break;
      }
      listed[n - 1] = true;
      n = FLinks[n - 1];
    }
    if (FTable.IndexFile().NoPrimaryIndex()) return;
    int32_t missing = 0;
    int32_t first = 0;
    for (int32_t slot = 1; slot <= C.Slots; ++slot) {
      if (C.Live[static_cast<size_t>(slot - 1)] || listed[static_cast<size_t>(slot - 1)]) continue;
      if (missing++ == 0) first = slot;
    }
    if (missing > 0) {
      C.Add(FTable, where, std::to_string(missing) + " deleted record" + (missing == 1 ? " is" : "s are") +
                               " not on it, the first is record " + std::to_string(first));
    }
  }

  TCheckContext& C;
  TDataFile& FTable;
  std::vector<uint32_t> FLinks;  // RecordLink of every slot as stored
  std::unordered_map<int32_t, int32_t> FIds;
  int32_t FHighestId = 0;
};

}  // namespace

void TCheckContext::Add(const TFileHandler& file, const std::string& location, const std::string& text) {
  if (Report.Problems.size() >= TTableCheckReport::kMaxProblems) {
    ++Report.MoreProblems;
    return;
  }
  Report.Problems.push_back({file.FileName(), location, text});
}

std::string RecordLocation(int32_t recordNo) { return "record " + std::to_string(recordNo); }

TTableCheckReport CheckTable(TDataFile& table) {
  TTableCheckReport report;
  TCheckLock lock(table);
  TCheckContext context(table, report);
  TRecordScan(context).Run();
  CheckIndexes(context);
  if (table.BlobFile() != nullptr) CheckBlobs(context);
  return report;
}

}  // namespace tarnel
