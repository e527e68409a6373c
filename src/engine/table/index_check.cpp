// The index file's part of the table check: the header and its descriptors against the table's
// fields, every tree through CheckTree, exactly one key per live record (and one "Sys Deleted"
// entry per slot of a table with a primary index) equal to the key built from the record, and
// every page of the file in exactly one tree or free list.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "engine/index/index_file.h"
#include "engine/index/tree_check.h"
#include "engine/table/check_context.h"
#include "engine/table/data_file.h"
#include "engine/table/table_scan.h"

namespace tarnel {

namespace {

constexpr int kDetailsPerIndex = 20;

std::string IndexName(const TIndexHeader& header, int number) {
  if (number == kPrimaryIndex) return kPrimaryIndexName;
  return header.Descriptors[static_cast<size_t>(number)].IndexName;
}

std::string IndexLocation(const TIndexHeader& header, int number) { return "index " + IndexName(header, number); }

class TIndexChecker {
 public:
  explicit TIndexChecker(TCheckContext& context)
      : C(context), FTable(context.Table), FFile(context.Table.IndexFile()), FHeader(FFile.Header()) {}

  void Run() {
    CheckHeader();
    std::vector<int> numbers;
    if (!FHeader.NoPrimaryIndex) numbers.push_back(kPrimaryIndex);
    for (int number = 1; number <= FHeader.SecondaryCount; ++number) numbers.push_back(number);
    numbers.push_back(kSysDeletedIndex);
    uint8_t saved = FFile.CurrentIndex();
    for (int number : numbers) CheckIndex(number);
    FFile.SelectIndex(saved);
    if (FAccountable) AccountForPages();
  }

 private:
  void CheckHeader() {
    FLength = FFile.Seek(0, 2);
    if (FLength < FHeader.EndOfFile) {
      C.Add(FFile, "header", "EndOfFile " + std::to_string(FHeader.EndOfFile) + ", the file holds only " +
                                 std::to_string(FLength) + " bytes");
    } else if (FLength > FHeader.EndOfFile) {
      C.Add(FFile, "header", "the file is " + std::to_string(FLength) + " bytes long, EndOfFile is " +
                                 std::to_string(FHeader.EndOfFile));
    }
    if (FHeader.RecordCount != C.Report.Records) {
      C.Add(FFile, "header", "RecordCount " + std::to_string(FHeader.RecordCount) + ", the table has " +
                                 std::to_string(C.Report.Records) + " live records");
    }
    if (FHeader.NoPrimaryIndex) {
      const TIndexDescriptor& primary = FHeader.Descriptors[kPrimaryIndex];
      if (primary.FieldCount != 0 || primary.KeyLength != 0 || primary.RootPage != 0 || primary.FreePage != 0) {
        C.Add(FFile, "index Primary", "the table has no primary index, yet its descriptor defines one");
      }
    }
    for (int number = FHeader.SecondaryCount + 1; number <= kMaxSecondaryIndexes; ++number) {
      const TIndexDescriptor& unused = FHeader.Descriptors[static_cast<size_t>(number)];
      if (!unused.IndexName.empty() || unused.KeyLength != 0 || unused.FieldCount != 0 || unused.RootPage != 0 ||
          unused.FreePage != 0) {
        C.Add(FFile, "descriptor " + std::to_string(number), "unused descriptor is not empty");
      }
    }
  }

  void CheckIndex(int number) {
    std::string where = IndexLocation(FHeader, number);
    std::string problem = IndexDescriptorProblem(FTable, number);
    if (!problem.empty()) {
      C.Add(FFile, where, problem);
      FAccountable = false;
      return;
    }
    // A table without a primary index keeps no slot-status entries; an empty tree is all there is
    // to check.
    bool maintained = number != kSysDeletedIndex || !FHeader.NoPrimaryIndex;
    TTreeReport tree = CheckTree(FFile, static_cast<uint8_t>(number), true);
    ++C.Report.Indexes;
    C.Report.Pages += tree.Pages;
    for (const std::string& text : tree.Problems) C.Add(FFile, where, text);
    for (uint32_t page : tree.TreePages) Claim(page, where);
    for (uint32_t page : tree.FreeList) Claim(page, "the free list of " + where);
    CompareWithRecords(number, where, maintained, tree.Entries);
  }

  void Claim(uint32_t page, const std::string& owner) {
    auto [it, inserted] = FOwners.emplace(page, owner);
    if (!inserted) C.Add(FFile, "page " + std::to_string(page), "in " + it->second + " and in " + owner);
  }

  using TEntries = std::vector<std::pair<std::vector<uint8_t>, uint32_t>>;

  void CompareWithRecords(int number, const std::string& where, bool maintained, TEntries& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    uint16_t keyLength = FHeader.Descriptors[static_cast<size_t>(number)].KeyLength;
    int details = 0;
    int64_t more = 0;
    auto problem = [&](const std::string& text) {
      if (details++ < kDetailsPerIndex) {
        C.Add(FFile, where, text);
      } else {
        ++more;
      }
    };
    size_t next = 0;
    for (; next < entries.size() && entries[next].second == 0; ++next) problem("a key for record 0");
    std::vector<uint8_t> key(kKeyBufferSize, 0);
    TStoredRecords records(FTable);
    records.ForEach(C.Slots, [&](int32_t recordNo, uint8_t* image) {
      bool live = C.Live[static_cast<size_t>(recordNo - 1)];
      bool expected = number == kSysDeletedIndex ? maintained : live;
      if (expected) FTable.BuildKey(image, static_cast<uint8_t>(number), key.data());
      int count = 0;
      bool matched = false;
      for (; next < entries.size() && entries[next].second == static_cast<uint32_t>(recordNo); ++next) {
        ++count;
        if (expected && std::memcmp(entries[next].first.data(), key.data(), keyLength) == 0) matched = true;
      }
      C.Report.Keys += count;
      std::string record = RecordLocation(recordNo);
      if (!expected && count > 0) {
        problem(record + (live ? " has an entry, but this table keeps none" : " is deleted, yet has a key"));
      } else if (expected && count == 0) {
        problem(record + " has no key");
      } else if (expected && count > 1) {
        problem(record + " has " + std::to_string(count) + " keys");
      } else if (expected && !matched) {
        problem(record + (number == kSysDeletedIndex ? ": its entry does not give its Deleted byte and identifier"
                                                     : ": its key does not match its fields"));
      }
    });
    for (; next < entries.size(); ++next) {
      problem("a key for record " + std::to_string(entries[next].second) + ", beyond the last record slot");
    }
    if (more > 0) C.Add(FFile, where, std::to_string(more) + " further records with such problems");
  }

  void AccountForPages() {
    uint32_t end = static_cast<uint32_t>(std::min<int64_t>(FLength, FHeader.EndOfFile));
    int64_t lost = 0;
    uint32_t first = 0;
    for (uint32_t page = kPageSize; page + kPageSize <= end; page += kPageSize) {
      if (FOwners.count(page) != 0) continue;
      if (lost++ == 0) first = page;
    }
    if (lost > 0) {
      C.Add(FFile, "pages", std::to_string(lost) + " page" + (lost == 1 ? " is" : "s are") +
                                " in no tree and on no free list, the first is page " + std::to_string(first));
    }
  }

  TCheckContext& C;
  TDataFile& FTable;
  TIndexFile& FFile;
  const TIndexHeader FHeader;  // a copy: selecting indexes and reading pages leave it as it is
  int64_t FLength = 0;
  std::map<uint32_t, std::string> FOwners;  // page -> the tree or free list that holds it
  bool FAccountable = true;
};

}  // namespace

std::string IndexDescriptorProblem(TDataFile& table, int number) {
  const TIndexHeader& header = table.IndexFile().Header();
  const TIndexDescriptor& desc = header.Descriptors[static_cast<size_t>(number)];
  if (number == kSysDeletedIndex) {
    bool valid = desc.IndexName == kSysDeletedName && desc.KeyLength == 5 && desc.FieldCount == 0 &&
                 desc.Compression == cmNone && !desc.Unique && !desc.Descending && !desc.CaseInsensitive;
    return valid ? "" : "not the slot-status descriptor (\"Sys Deleted\", key length 5, no fields)";
  }
  if (desc.FieldCount == 0 || desc.FieldCount > kMaxKeyFields) {
    return "FieldCount " + std::to_string(desc.FieldCount);
  }
  int keyLength = 0;
  for (int i = 0; i < kMaxKeyFields; ++i) {
    uint16_t fieldNo = desc.FieldNumbers[static_cast<size_t>(i)];
    if (i >= desc.FieldCount) {
      if (fieldNo != 0) return "field numbers beyond its FieldCount " + std::to_string(desc.FieldCount);
      continue;
    }
    const TFieldDesc* field = table.StoredField(fieldNo);
    if (field == nullptr) return "key field " + std::to_string(fieldNo) + " is not a field of the table";
    if (field->FieldType == dtBlob) return "key field " + field->FieldName + " is a BLOB field";
    keyLength += field->PhysSize + 1;
  }
  if (number != kPrimaryIndex && !desc.Unique) keyLength += kKeySuffixLength;
  if (keyLength != desc.KeyLength) {
    return "KeyLength " + std::to_string(desc.KeyLength) + ", its fields make " + std::to_string(keyLength);
  }
  if (desc.Compression > cmBoth) return "compression mode " + std::to_string(desc.Compression);
  if (number == kPrimaryIndex) return desc.IndexName.empty() ? "" : "the primary index has a name";
  if (desc.IndexName.empty()) return "a secondary index without a name";
  for (int other = 1; other < number; ++other) {
    const std::string& name = header.Descriptors[static_cast<size_t>(other)].IndexName;
    if (name.size() == desc.IndexName.size() &&
        std::equal(name.begin(), name.end(), desc.IndexName.begin(),
                   [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) ==
                                               std::toupper(static_cast<unsigned char>(b)); })) {
      return "the name of index " + std::to_string(other) + " again";
    }
  }
  return "";
}

void CheckIndexes(TCheckContext& context) { TIndexChecker(context).Run(); }

}  // namespace tarnel
