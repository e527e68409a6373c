#include "platform/legacydb/mdx_index.h"

#include <strings.h>

#include "platform/legacydb/binary_file.h"

namespace tarnel::legacydb {

namespace {

constexpr size_t kPage = 512;
constexpr size_t kTagTable = 544;
constexpr size_t kTagEntry = 32;
constexpr size_t kMaxTags = 47;
constexpr size_t kTagCount = 28;
constexpr size_t kTagNameBytes = 11;
constexpr size_t kKeyOptions = 8;
constexpr size_t kExpression = 24;
constexpr size_t kExpressionBytes = 220;
constexpr size_t kHasCondition = 245;
constexpr size_t kCondition = 762;
constexpr size_t kConditionBytes = 220;
constexpr uint8_t kDescendingKeys = 0x08;
constexpr uint8_t kUniqueKeys = 0x40;
constexpr size_t kNdxUnique = 23;
constexpr size_t kNdxExpressionBytes = 488;

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Fills Fields or Expression: a lone field name is that field's index.
void SetKey(TSourceIndex& index, const std::string& expression, const std::vector<TSourceField>& fields) {
  for (const TSourceField& field : fields) {
    if (::strcasecmp(field.Name.c_str(), expression.c_str()) == 0) {
      index.Fields = field.Name;
      return;
    }
  }
  index.Expression = expression;
  index.Options |= ixExpression;
}

std::string FileBaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

std::vector<TSourceIndex> ReadMdxIndexes(const std::string& path, const std::vector<TSourceField>& fields) {
  TBinaryFile file(path);
  TBytes start = file.Read(0, kTagCount + 2);
  size_t count = TByteView(start, path).U16(kTagCount);
  if (count > kMaxTags) file.Fail("the tag count is damaged");
  TBytes header = file.Read(0, kTagTable + kTagEntry * count);
  TByteView view(header, path);
  std::vector<TSourceIndex> indexes;
  for (size_t n = 0; n < count; ++n) {
    size_t entry = kTagTable + n * kTagEntry;
    uint32_t page = view.U32(entry);
    TBytes tag = file.ReadUpTo(uint64_t{page} * kPage, kCondition + kConditionBytes);
    TByteView tagView(tag, path);
    TSourceIndex index;
    index.Name = TrimBlanks(view.Text(entry + 4, kTagNameBytes));
    uint8_t options = tagView.U8(kKeyOptions);
    if ((options & kUniqueKeys) != 0) index.Options |= ixUnique;
    if ((options & kDescendingKeys) != 0) index.Options |= ixDescending;
    SetKey(index, TrimBlanks(tagView.Text(kExpression, kExpressionBytes)), fields);
    if (tagView.U8(kHasCondition) != 0) index.Condition = TrimBlanks(tagView.Text(kCondition, kConditionBytes));
    indexes.push_back(std::move(index));
  }
  return indexes;
}

TSourceIndex ReadNdxIndex(const std::string& path, const std::vector<TSourceField>& fields) {
  TBinaryFile file(path);
  TBytes header = file.Read(0, kPage);
  TByteView view(header, path);
  TSourceIndex index;
  index.Name = FileBaseName(path);
  if (view.U8(kNdxUnique) != 0) index.Options |= ixUnique;
  SetKey(index, TrimBlanks(view.Text(kExpression, kNdxExpressionBytes)), fields);
  return index;
}

}  // namespace tarnel::legacydb
