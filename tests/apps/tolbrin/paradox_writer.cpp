#include "paradox_writer.h"

extern "C" {
#include <paradox.h>
}

#include <gtest/gtest.h>

#include <cstring>

#include "support/temp_dir.h"

namespace tarnel::test {

namespace {

bool IsBlob(char type) {
  return type == pxfMemoBLOb || type == pxfBLOb || type == pxfFmtMemoBLOb || type == pxfOLE || type == pxfGraphic;
}

void PutValue(pxdoc_t* px, const TPxField& field, char* data, const TPxValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return;
  switch (field.Type) {
    case pxfShort: PX_put_data_short(px, data, 2, static_cast<short>(std::get<int64_t>(value))); break;
    case pxfLong:
    case pxfAutoInc:
    case pxfDate:
    case pxfTime: PX_put_data_long(px, data, 4, static_cast<int>(std::get<int64_t>(value))); break;
    case pxfLogical: PX_put_data_byte(px, data, 1, static_cast<char>(std::get<int64_t>(value))); break;
    case pxfNumber:
    case pxfCurrency:
    case pxfTimestamp: PX_put_data_double(px, data, 8, std::get<double>(value)); break;
    case pxfAlpha: {
      std::string text = std::get<std::string>(value);
      PX_put_data_alpha(px, data, field.Length, text.data());
      break;
    }
    case pxfBytes: {
      std::string bytes = std::get<std::string>(value);
      bytes.resize(static_cast<size_t>(field.Length), '\0');
      PX_put_data_bytes(px, data, field.Length, bytes.data());
      break;
    }
    case pxfBCD: {
      std::string text = std::get<std::string>(value);
      PX_put_data_bcd(px, data, field.Decimals, text.data());
      break;
    }
    default: {
      ASSERT_TRUE(IsBlob(field.Type)) << "type " << static_cast<int>(field.Type);
      std::string contents = std::get<std::string>(value);
      PX_put_data_blob(px, data, field.Length, contents.data(), static_cast<int>(contents.size()));
      break;
    }
  }
}

std::string BigEndian(uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
  return out;
}

}  // namespace

void WriteParadoxTable(const std::string& path, const std::vector<TPxField>& fields, const std::vector<TPxRow>& rows) {
  pxdoc_t* px = PX_new();
  int count = static_cast<int>(fields.size());
  auto* definitions = static_cast<pxfield_t*>(px->malloc(px, count * static_cast<int>(sizeof(pxfield_t)), "fields"));
  bool blobs = false;
  for (int i = 0; i < count; ++i) {
    const TPxField& field = fields[static_cast<size_t>(i)];
    definitions[i].px_fname = PX_strdup(px, field.Name.c_str());
    definitions[i].px_ftype = field.Type;
    definitions[i].px_flen = field.Length;
    definitions[i].px_fdc = field.Decimals;
    blobs = blobs || IsBlob(field.Type);
  }
  ASSERT_GE(PX_create_file(px, definitions, count, path.c_str(), pxfFileTypNonIndexDB), 0) << path;
  if (blobs) {
    std::string blobPath = path.substr(0, path.rfind('.')) + ".MB";
    ASSERT_GE(PX_set_blob_file(px, blobPath.c_str()), 0) << blobPath;
  }
  std::vector<char> record(static_cast<size_t>(PX_get_recordsize(px)));
  for (const TPxRow& row : rows) {
    std::fill(record.begin(), record.end(), 0);
    char* data = record.data();
    for (size_t i = 0; i < fields.size(); ++i) {
      PutValue(px, fields[i], data, row.at(i));
      data += fields[i].Length;
    }
    PX_put_record(px, record.data());
  }
  PX_close(px);
  PX_delete(px);
}

std::string PxLong(int32_t value) { return BigEndian(static_cast<uint32_t>(value) ^ 0x80000000u, 4); }

std::string PxShort(int16_t value) { return BigEndian(static_cast<uint16_t>(value) ^ 0x8000u, 2); }

std::string PxNumber(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = value >= 0 ? bits | (uint64_t{1} << 63) : ~bits;
  return BigEndian(bits, 8);
}

void WriteValidityChecks(const std::string& path, const std::vector<TPxField>& fields,
                         const std::vector<TPxCheck>& checks) {
  // Each check: a fixed part (field position, picture length, required flag, and a non-zero
  // marker at 0x0C, 0x10, 0x14 for each of minimum, maximum and default given), then the given
  // values in that order, each in the field's record form.
  std::string entries;
  for (const TPxCheck& check : checks) {
    std::string fixed(0x1C, '\0');
    fixed[0] = static_cast<char>(check.Position);
    fixed[2] = check.Required ? 1 : 0;
    std::string values;
    size_t size = static_cast<size_t>(fields.at(static_cast<size_t>(check.Position)).Length);
    for (auto [marker, value] :
         {std::pair{0x0C, &check.Minimum}, std::pair{0x10, &check.Maximum}, std::pair{0x14, &check.Default}}) {
      if (!value->has_value()) continue;
      fixed[static_cast<size_t>(marker)] = 0x6B;
      std::string bytes = value->value();
      bytes.resize(size, '\0');
      values += bytes;
    }
    entries += fixed + values;
  }
  std::string header(0x35, '\0');
  header[1] = 0x0B;
  header[2] = static_cast<char>(checks.size());
  uint32_t footer = static_cast<uint32_t>(header.size() + entries.size());
  for (int i = 0; i < 4; ++i) header[9 + static_cast<size_t>(i)] = static_cast<char>(footer >> (8 * i));
  WriteWholeFile(path, header + entries + std::string(6, '\0'));
}

}  // namespace tarnel::test
