#include "platform/legacydb/paradox_index.h"

#include <algorithm>
#include <cctype>

#include "platform/legacydb/legacy_error.h"

namespace tarnel::legacydb {

namespace {

// Bit of a composite index's header flags that makes it case-insensitive.
constexpr uint8_t kCaseInsensitiveFlag = 0x01;
// Bit of a key field number in a composite index that sorts that field descending.
constexpr uint16_t kDescendingField = 0x8000;
// Fields an index file of a table without a primary key adds after the key fields.
constexpr size_t kUnkeyedIndexExtraFields = 3;  // "Tup No", "Blk Num", "Tup Offset"

struct TIndexFile {
  bool Composite;
  int Number;
  std::string Name;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The index files among the names beginning with "<base>.X": "X" and two hex digits, or "XG"
// and one or two hex digits.
std::vector<TIndexFile> IndexFiles(const std::vector<std::string>& names, size_t baseLength) {
  std::vector<TIndexFile> files;
  for (const std::string& name : names) {
    std::string suffix = name.substr(baseLength + 2);
    bool composite = !suffix.empty() && std::toupper(static_cast<unsigned char>(suffix[0])) == 'G';
    std::string digits = composite ? suffix.substr(1) : suffix;
    if (digits.empty() || digits.size() > 2 || (!composite && digits.size() != 2)) continue;
    int number = 0;
    bool valid = true;
    for (char c : digits) {
      int value = HexValue(c);
      valid = valid && value >= 0;
      number = number * 16 + value;
    }
    if (valid) files.push_back({composite, number, name});
  }
  std::sort(files.begin(), files.end(), [](const TIndexFile& a, const TIndexFile& b) {
    return a.Composite != b.Composite ? !a.Composite : a.Number < b.Number;
  });
  return files;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ";") + name;
  return joined;
}

const std::string& FieldName(const TParadoxHeader& table, int fieldNumber, const std::string& path) {
  if (fieldNumber < 1 || static_cast<size_t>(fieldNumber) > table.FieldNames.size()) {
    throw ELegacyDbError(path, "the index names a field the table does not have");
  }
  return table.FieldNames[static_cast<size_t>(fieldNumber - 1)];
}

TSourceIndex ReadSecondaryIndex(const std::string& path, const TIndexFile& file, const TParadoxHeader& table) {
  TBinaryFile binary(path);
  TParadoxHeader header = ReadParadoxHeader(binary);
  TSourceIndex index;
  if ((header.IndexFlags & kCaseInsensitiveFlag) != 0) index.Options |= ixCaseInsensitive;
  if (!file.Composite) {
    if (header.FileType != pfSecondaryIndex && header.FileType != pfIncrementingSecondaryIndex) {
      binary.Fail("not a secondary index file");
    }
    int fieldNumber = header.IndexFieldNumber != 0 ? header.IndexFieldNumber : file.Number;
    index.Name = FieldName(table, fieldNumber, path);
    index.Fields = index.Name;
    return index;
  }
  if (header.FileType != pfCompositeIndex && header.FileType != pfIncrementingCompositeIndex) {
    binary.Fail("not a composite secondary index file");
  }
  // The index file's fields are the key fields, then the table's primary key fields and a
  // block number (keyed table) or three fields locating the record (table without key).
  size_t extra = table.KeyFieldCount > 0 ? static_cast<size_t>(table.KeyFieldCount) + 1
                                         : kUnkeyedIndexExtraFields;
  if (header.FieldNumbers.size() <= extra) binary.Fail("the index has no key fields");
  std::vector<std::string> names;
  for (size_t i = 0; i < header.FieldNumbers.size() - extra; ++i) {
    uint16_t number = header.FieldNumbers[i];
    if ((number & kDescendingField) != 0) index.Options |= ixDescending;
    names.push_back(FieldName(table, number & ~kDescendingField, path));
  }
  index.Name = header.IndexName;
  index.Fields = JoinNames(names);
  return index;
}

}  // namespace

std::vector<TSourceIndex> ReadParadoxIndexes(const std::string& directory, const std::string& baseName,
                                             const TParadoxHeader& table) {
  std::vector<TSourceIndex> indexes;
  if (table.KeyFieldCount > 0) {
    std::string primaryName = FindFileIgnoringCase(directory, baseName + ".PX");
    if (!primaryName.empty()) {
      TBinaryFile primary(JoinPath(directory, primaryName));
      TParadoxHeader header = ReadParadoxHeader(primary);
      if (header.FileType != pfPrimaryIndex || header.Fields.size() != static_cast<size_t>(table.KeyFieldCount)) {
        primary.Fail("the primary index does not belong to the table");
      }
    }
    std::vector<std::string> keyNames(table.FieldNames.begin(), table.FieldNames.begin() + table.KeyFieldCount);
    indexes.push_back({std::string(), JoinNames(keyNames), std::string(), std::string(), ixPrimary | ixUnique});
  }
  for (const TIndexFile& file : IndexFiles(FilesStartingWith(directory, baseName + ".X"), baseName.size())) {
    indexes.push_back(ReadSecondaryIndex(JoinPath(directory, file.Name), file, table));
  }
  return indexes;
}

}  // namespace tarnel::legacydb
