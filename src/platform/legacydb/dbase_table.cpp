#include "platform/legacydb/dbase_table.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/legacydb/code_page.h"
#include "platform/legacydb/legacy_error.h"
#include "platform/legacydb/mdx_index.h"

namespace tarnel::legacydb {

namespace {

constexpr size_t kHeaderBytes = 32;
constexpr size_t kDescriptorBytes = 32;
constexpr size_t kLevel7HeaderBytes = 68;
constexpr size_t kLevel7DescriptorBytes = 48;
constexpr size_t kDBase2Descriptors = 8;
constexpr size_t kDBase2DescriptorBytes = 16;
constexpr size_t kDBase2MaxFields = 32;
constexpr uint64_t kDBase2DataStart = 521;
constexpr uint8_t kTerminator = 0x0D;
constexpr uint8_t kVisualFoxProNullable = 0x02;
constexpr size_t kBufferBytes = 65536;
// The code page of tables that name none: the DOS code page of the US.
constexpr int kDefaultCodePage = 437;
// Julian day number of the day before 1 January 0001.
constexpr int64_t kJulianDayZero = 1721425;

bool IsFoxPro(uint8_t version) {
  return version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5 || version == 0xFB;
}

bool IsVisualFoxPro(uint8_t version) { return version == 0x30 || version == 0x31 || version == 0x32; }

bool IsLevel7(uint8_t version) { return (version & 0x07) == 4; }

std::string BaseName(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string TrimTrailing(std::string text) {
  size_t end = text.find_last_not_of(std::string(" \0", 2));
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

uint64_t BigEndian(const uint8_t* bytes, size_t count) {
  uint64_t value = 0;
  for (size_t i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

uint64_t LittleEndian(const uint8_t* bytes, size_t count) {
  uint64_t value = 0;
  for (size_t i = count; i > 0; --i) value = value << 8 | bytes[i - 1];
  return value;
}

bool AllZero(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

double BitsToDouble(uint64_t bits) {
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// dBase 7 stores doubles like Paradox: big-endian, top bit set when positive, every bit
// inverted when negative.
double SortableDouble(const uint8_t* bytes) {
  uint64_t bits = BigEndian(bytes, 8);
  return BitsToDouble((bits & (uint64_t{1} << 63)) != 0 ? bits ^ (uint64_t{1} << 63) : ~bits);
}

}  // namespace

TDbaseTable::TDbaseTable(const std::string& directory, const std::string& fileName, const TOpenOptions& options)
    : TSourceTable(JoinPath(directory, fileName), TTableFormat::DBase, options),
      FDirectory(directory),
      FFile(JoinPath(directory, fileName)) {
  TBytes header = FFile.Read(0, kHeaderBytes);
  TByteView view(header, FileName());
  FVersion = view.U8(0);
  int codePage = 0;
  std::vector<TSourceField> fields;
  if (FVersion == 0x02) {
    fields = ReadDBase2Descriptors();
  } else {
    FPhysicalCount = view.U32(4);
    FDataStart = view.U16(8);
    FRecordLength = view.U16(10);
    FHasMdx = !IsFoxPro(FVersion) && (view.U8(28) & 0x01) != 0;
    codePage = CodePageOfLanguageDriver(view.U8(29));
    if (codePage == 0 && IsLevel7(FVersion)) {
      TBytes driverName = FFile.Read(kHeaderBytes, 32);
      codePage = CodePageOfDriverName(TByteView(driverName, FileName()).Text(0, 32));
    }
    fields = ReadDescriptors();
  }
  SetDefinitions(std::move(fields), codePage != 0 ? codePage : kDefaultCodePage);
  if (FRecordLength == 0) Fail("the record length is damaged");
  if (FDataStart + static_cast<uint64_t>(FPhysicalCount) * FRecordLength > FFile.Size()) {
    Fail("the file is truncated: it holds fewer records than its header counts");
  }
  std::string baseName = BaseName(fileName);
  for (const TSourceField& field : Fields()) {
    if (IsBlobType(field.DataType)) {
      FMemoName = baseName + (IsFoxPro(FVersion) ? ".FPT" : ".DBT");
      break;
    }
  }
  ReadIndexes(baseName);
  CountLiveRecords();
  First();
}

std::vector<TSourceField> TDbaseTable::ReadDescriptors() {
  if (FDataStart < kHeaderBytes + 1 || FDataStart > FFile.Size()) Fail("the header length is damaged");
  TBytes header = FFile.Read(0, static_cast<size_t>(FDataStart));
  TByteView view(header, FileName());
  bool level7 = IsLevel7(FVersion);
  size_t size = level7 ? kLevel7DescriptorBytes : kDescriptorBytes;
  size_t nameBytes = level7 ? 32 : 11;
  std::vector<TSourceField> fields;
  size_t offset = 1;  // the deletion flag
  int nullBit = 0;
  for (size_t at = level7 ? kLevel7HeaderBytes : kHeaderBytes; at < header.size() && view.U8(at) != kTerminator;
       at += size) {
    TByteView descriptor = view.Sub(at, size);
    TLayout layout{};
    layout.Type = static_cast<char>(descriptor.U8(level7 ? 32 : 11));
    layout.Length = descriptor.U8(level7 ? 33 : 16);
    layout.Decimals = descriptor.U8(level7 ? 34 : 17);
    layout.Offset = offset;
    layout.NullBit = -1;
    if (layout.Length == 0) Fail("a field descriptor is damaged");
    offset += layout.Length;
    if (IsVisualFoxPro(FVersion) && layout.Type == '0') {
      FNullFlagsOffset = layout.Offset;
      FNullFlagsLength = layout.Length;
      continue;
    }
    if (IsVisualFoxPro(FVersion) && (descriptor.U8(18) & kVisualFoxProNullable) != 0) layout.NullBit = nullBit++;
    TFieldType type = TypeOf(layout);
    int reported = type == ftString ? static_cast<int>(layout.Length) : 0;
    fields.push_back({descriptor.Text(0, nameBytes), type, reported, static_cast<int>(fields.size()) + 1});
    FLayouts.push_back(layout);
  }
  if (offset > FRecordLength) Fail("the fields do not fit the record length");
  return fields;
}

std::vector<TSourceField> TDbaseTable::ReadDBase2Descriptors() {
  TBytes header = FFile.Read(0, static_cast<size_t>(kDBase2DataStart));
  TByteView view(header, FileName());
  FPhysicalCount = view.U16(1);
  FRecordLength = view.U16(6);
  FDataStart = kDBase2DataStart;
  std::vector<TSourceField> fields;
  size_t offset = 1;
  for (size_t n = 0; n < kDBase2MaxFields; ++n) {
    size_t at = kDBase2Descriptors + n * kDBase2DescriptorBytes;
    if (view.U8(at) == kTerminator) break;
    TLayout layout{static_cast<char>(view.U8(at + 11)), offset, view.U8(at + 12), view.U8(at + 15), -1};
    if (layout.Length == 0) Fail("a field descriptor is damaged");
    offset += layout.Length;
    TFieldType type = TypeOf(layout);
    fields.push_back({view.Text(at, 11), type, type == ftString ? static_cast<int>(layout.Length) : 0,
                      static_cast<int>(fields.size()) + 1});
    FLayouts.push_back(layout);
  }
  if (offset > FRecordLength) Fail("the fields do not fit the record length");
  return fields;
}

TFieldType TDbaseTable::TypeOf(const TLayout& layout) const {
  bool level7 = IsLevel7(FVersion);
  switch (layout.Type) {
    case 'C': return ftString;
    case 'N':
      if (layout.Decimals == 0 && layout.Length <= 4) return ftSmallint;
      if (layout.Decimals == 0 && layout.Length <= 9) return ftInteger;
      return ftFloat;
    case 'F': return ftFloat;
    case 'D': return ftDate;
    case 'L': return ftBoolean;
    case 'M': return ftMemo;
    case 'B':
      if (!IsVisualFoxPro(FVersion)) return ftBlob;
      return layout.Length == 8 ? ftFloat : ftUnknown;
    case 'G': return ftDBaseOle;
    case 'P': return ftBlob;
    case 'I': return layout.Length == 4 ? ftInteger : ftUnknown;
    case '+': return level7 && layout.Length == 4 ? ftAutoInc : ftUnknown;
    case 'O': return layout.Length == 8 ? ftFloat : ftUnknown;
    case '@': return level7 && layout.Length == 8 ? ftDateTime : ftUnknown;
    case 'T': return layout.Length == 8 ? ftDateTime : ftUnknown;
    case 'Y': return layout.Length == 8 ? ftCurrency : ftUnknown;
    default: return ftUnknown;
  }
}

void TDbaseTable::ReadIndexes(const std::string& baseName) {
  // A production index that has gone missing leaves the table readable, as dBase itself
  // offers; the table then has no indexes from it.
  std::string production = FHasMdx ? FindFileIgnoringCase(FDirectory, baseName + ".MDX") : std::string();
  if (!production.empty()) FIndexes = ReadMdxIndexes(JoinPath(FDirectory, production), Fields());
  // The .INF file lists further index files, one "NDXn=" or "MDXn=" line each.
  std::string inf = FindFileIgnoringCase(FDirectory, baseName + ".INF");
  if (inf.empty()) return;
  TBinaryFile file(JoinPath(FDirectory, inf));
  TBytes bytes = file.Read(0, static_cast<size_t>(std::min<uint64_t>(file.Size(), kBufferBytes)));
  std::string text(bytes.begin(), bytes.end());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    std::string line = Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = end == std::string::npos ? text.size() : end + 1;
    size_t equals = line.find('=');
    if (equals == std::string::npos || line.size() < 4) continue;
    bool ndx = ::strncasecmp(line.c_str(), "NDX", 3) == 0;
    bool mdx = ::strncasecmp(line.c_str(), "MDX", 3) == 0;
    if (!ndx && !mdx) continue;
    std::string name = Trim(line.substr(equals + 1));
    std::string found = FindFileIgnoringCase(FDirectory, name);
    if (found.empty()) Fail("the index file " + name + " listed in " + inf + " is missing");
    std::string path = JoinPath(FDirectory, found);
    if (ndx) {
      FIndexes.push_back(ReadNdxIndex(path, Fields()));
    } else {
      for (TSourceIndex& index : ReadMdxIndexes(path, Fields())) FIndexes.push_back(std::move(index));
    }
  }
}

void TDbaseTable::CountLiveRecords() {
  FLiveCount = 0;
  for (FRecord = 0; FRecord < FPhysicalCount; ++FRecord) {
    if (Record()[0] != '*') ++FLiveCount;
  }
}

const uint8_t* TDbaseTable::Record() const {
  if (FRecord < FBufferStart || static_cast<uint64_t>(FRecord - FBufferStart) * FRecordLength >= FBuffer.size() ||
      FBuffer.empty()) {
    int64_t count = std::max<int64_t>(1, static_cast<int64_t>(kBufferBytes / FRecordLength));
    count = std::min(count, FPhysicalCount - FRecord);
    FBufferStart = FRecord;
    FBuffer = FFile.Read(FDataStart + static_cast<uint64_t>(FRecord) * FRecordLength,
                         static_cast<size_t>(count) * FRecordLength);
  }
  return FBuffer.data() + static_cast<size_t>(FRecord - FBufferStart) * FRecordLength;
}

void TDbaseTable::SkipDeleted() {
  while (!Eof() && Record()[0] == '*') ++FRecord;
}

void TDbaseTable::First() {
  FRecord = 0;
  SkipDeleted();
}

void TDbaseTable::Next() {
  if (Eof()) return;
  ++FRecord;
  SkipDeleted();
}

std::string TDbaseTable::FieldText(int field) const {
  CheckField(field);
  const TLayout& layout = FLayouts[static_cast<size_t>(field)];
  return std::string(reinterpret_cast<const char*>(Record() + layout.Offset), layout.Length);
}

bool TDbaseTable::FlaggedNull(int field) const {
  const TLayout& layout = FLayouts[static_cast<size_t>(field)];
  if (layout.NullBit < 0 || FNullFlagsLength == 0) return false;
  size_t byte = static_cast<size_t>(layout.NullBit) / 8;
  if (byte >= FNullFlagsLength) return false;
  return (Record()[FNullFlagsOffset + byte] >> (layout.NullBit % 8) & 1) != 0;
}

uint32_t TDbaseTable::MemoBlock(int field) const {
  std::string text = FieldText(field);
  const TLayout& layout = FLayouts[static_cast<size_t>(field)];
  if (layout.Length == 4) return static_cast<uint32_t>(LittleEndian(reinterpret_cast<const uint8_t*>(text.data()), 4));
  std::string digits = Trim(std::string(text.c_str()));
  if (digits.empty()) return 0;
  uint32_t block = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), block);
  if (error != std::errc() || end != digits.data() + digits.size()) {
    Fail("field " + Fields()[static_cast<size_t>(field)].Name + " holds a damaged memo reference");
  }
  return block;
}

bool TDbaseTable::IsNull(int field) const {
  if (IsBlobType(CheckField(field).DataType)) {
    return FlaggedNull(field) || MemoBlock(field) == 0;
  }
  return Value(field).IsNull();
}

TFieldValue TDbaseTable::Value(int field) const {
  const TSourceField& definition = CheckField(field);
  const TLayout& layout = FLayouts[static_cast<size_t>(field)];
  TFieldType type = definition.DataType;
  if (IsBlobType(type)) Fail("field " + definition.Name + " is a BLOB field");
  std::string text = FieldText(field);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
  TFieldValue value(type);
  auto damaged = [&]() { Fail("field " + definition.Name + " holds a damaged value: \"" + Trim(text) + "\""); };
  std::string trimmed = Trim(text);
  bool blank = trimmed.empty() || AllZero(bytes, text.size());
  if (FlaggedNull(field) || type == ftUnknown) return value.From(Origin(field));
  switch (layout.Type) {
    case 'C': {
      std::string stored = TrimTrailing(text);
      if (!stored.empty()) value = TFieldValue::Bytes(type, stored);
      break;
    }
    case 'N':
    case 'F': {
      if (blank) break;
      const char* begin = trimmed.data() + (trimmed[0] == '+' ? 1 : 0);
      double number = 0;
      auto [end, error] = std::from_chars(begin, trimmed.data() + trimmed.size(), number);
      if (error != std::errc() || end != trimmed.data() + trimmed.size() || !std::isfinite(number)) damaged();
      if (type == ftFloat) {
        value = TFieldValue::Float(type, number);
      } else {
        double limit = type == ftSmallint ? 32767 : 2147483647;
        if (number != std::floor(number) || std::fabs(number) > limit) damaged();
        value = TFieldValue::Integer(type, static_cast<int64_t>(number));
      }
      break;
    }
    case 'D': {
      if (blank || trimmed == "00000000") break;
      if (text.size() != 8) damaged();
      int parts[3] = {0, 0, 0};
      const int widths[3] = {4, 2, 2};
      size_t at = 0;
      for (int i = 0; i < 3; ++i) {
        auto [end, error] = std::from_chars(text.data() + at, text.data() + at + widths[i], parts[i]);
        if (error != std::errc() || end != text.data() + at + widths[i]) damaged();
        at += static_cast<size_t>(widths[i]);
      }
      if (!IsValidDate(parts[0], parts[1], parts[2])) damaged();
      value = TFieldValue::Integer(type, EncodeDate(parts[0], parts[1], parts[2]));
      break;
    }
    case 'L': {
      char c = text.empty() ? ' ' : text[0];
      if (std::strchr("TtYy", c) != nullptr && c != 0) value = TFieldValue::Integer(type, 1);
      else if (std::strchr("FfNn", c) != nullptr && c != 0) value = TFieldValue::Integer(type, 0);
      else if (c != ' ' && c != '?' && c != 0) damaged();
      break;
    }
    case 'I':
    case '+':
      if (IsLevel7(FVersion)) {
        if (!AllZero(bytes, 4)) value = TFieldValue::Integer(type, static_cast<int32_t>(BigEndian(bytes, 4) ^ 0x80000000u));
      } else {
        value = TFieldValue::Integer(type, static_cast<int32_t>(LittleEndian(bytes, 4)));
      }
      break;
    case 'O':
    case '@':
      if (!AllZero(bytes, 8)) value = TFieldValue::Float(type, SortableDouble(bytes));
      break;
    case 'B':
      value = TFieldValue::Float(type, BitsToDouble(LittleEndian(bytes, 8)));
      break;
    case 'Y':
      value = TFieldValue::Float(type, static_cast<double>(static_cast<int64_t>(LittleEndian(bytes, 8))) / 10000.0);
      break;
    case 'T': {
      if (blank) break;
      int64_t julian = static_cast<int64_t>(LittleEndian(bytes, 4));
      int64_t milliseconds = static_cast<int64_t>(LittleEndian(bytes + 4, 4));
      if (julian <= kJulianDayZero || milliseconds >= 86400000) damaged();
      value = TFieldValue::Float(type, static_cast<double>((julian - kJulianDayZero) * 86400000 + milliseconds));
      break;
    }
    default:
      break;
  }
  return value.From(Origin(field));
}

std::string TDbaseTable::ReadBlob(int field) const {
  if (FlaggedNull(field)) return std::string();
  uint32_t block = MemoBlock(field);
  if (block == 0) return std::string();
  if (!FMemoFile) {
    std::string name = FindFileIgnoringCase(FDirectory, FMemoName);
    if (name.empty()) Fail("the memo file " + FMemoName + " is missing");
    TMemoFormat format = IsFoxPro(FVersion) ? TMemoFormat::FoxPro
                         : FVersion == 0x83 ? TMemoFormat::DBase3
                                            : TMemoFormat::DBase4;
    FMemoFile = std::make_unique<TDbaseMemoFile>(JoinPath(FDirectory, name), format);
  }
  return FMemoFile->Read(block);
}

}  // namespace tarnel::legacydb
