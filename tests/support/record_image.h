// A record image of a table for tests: fields set and read by number through the table.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/byte_order.h"
#include "engine/table/data_file.h"

namespace tarnel::test {

class TImage {
 public:
  explicit TImage(TDataFile& table) : FTable(table), FBytes(static_cast<size_t>(table.RecordBufferSize()), 0) {}

  uint8_t* Data() { return FBytes.data(); }
  void Init() { FTable.InitRecord(FBytes.data()); }
  void Clear() { std::fill(FBytes.begin(), FBytes.end(), 0); }

  TImage& Null(int field) {
    FTable.PutField(true, field, false, nullptr, FBytes.data());
    return *this;
  }
  TImage& Int(int field, int32_t value) {
    uint8_t bytes[4];
    PutI32(bytes, value);
    FTable.PutField(true, field, false, bytes, FBytes.data());
    return *this;
  }
  TImage& Small(int field, int16_t value) {
    uint8_t bytes[2];
    PutU16(bytes, static_cast<uint16_t>(value));
    FTable.PutField(true, field, false, bytes, FBytes.data());
    return *this;
  }
  TImage& Float(int field, double value) {
    uint8_t bytes[8];
    PutF64(bytes, value);
    FTable.PutField(true, field, false, bytes, FBytes.data());
    return *this;
  }
  TImage& Int64(int field, int64_t value) {
    uint8_t bytes[8];
    PutI64(bytes, value);
    FTable.PutField(true, field, false, bytes, FBytes.data());
    return *this;
  }
  TImage& Text(int field, const std::string& value) {
    std::vector<uint8_t> bytes(256, 0);
    std::memcpy(bytes.data(), value.data(), std::min<size_t>(value.size(), 255));
    FTable.PutField(true, field, false, bytes.data(), FBytes.data());
    return *this;
  }

  bool IsNull(int field) const {
    uint8_t value[256];
    return FTable.GetField(true, field, FBytes.data(), value);
  }
  int32_t GetInt(int field) const {
    uint8_t value[256];
    FTable.GetField(true, field, FBytes.data(), value);
    return GetI32(value);
  }
  int16_t GetSmall(int field) const {
    uint8_t value[256];
    FTable.GetField(true, field, FBytes.data(), value);
    return GetI16(value);
  }
  double GetFloat(int field) const {
    uint8_t value[256];
    FTable.GetField(true, field, FBytes.data(), value);
    return GetF64(value);
  }
  int64_t GetInt64(int field) const {
    uint8_t value[256];
    FTable.GetField(true, field, FBytes.data(), value);
    return GetI64(value);
  }
  std::string GetText(int field) const {
    uint8_t value[256] = {};
    FTable.GetField(true, field, FBytes.data(), value);
    return std::string(reinterpret_cast<const char*>(value));
  }
  int32_t RecordId() const { return GetI32(FBytes.data() + 5); }

 private:
  TDataFile& FTable;
  std::vector<uint8_t> FBytes;
};

}  // namespace tarnel::test
