// The text forms of every field type: what each text stores, the canonical text of each stored
// value, what is accepted and how a refusal is worded.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "apps/tarnel/field_text.h"
#include "engine/base/byte_order.h"

namespace tarnel::cli {
namespace {

constexpr int kWestern = 1252;

TFieldDesc Field(uint8_t type, uint8_t size = 0, uint8_t subType = stNone, uint8_t decimals = 0) {
  TFieldDesc field;
  field.FieldNo = 1;
  field.FieldName = "F";
  field.FieldType = type;
  field.SubType = subType;
  field.FieldSize = size;
  field.Decimals = decimals;
  field.PhysSize = PhysSizeOf(type, size);
  return field;
}

std::string Parsed(const TFieldDesc& field, const std::string& text, std::vector<uint8_t>* stored = nullptr) {
  std::vector<uint8_t> value(256, 0xAA);
  std::string error;
  if (!ParseValue(field, text, kWestern, value.data(), error)) return "error: " + error;
  if (stored != nullptr) stored->assign(value.begin(), value.begin() + field.PhysSize);
  int unmappable = 0;
  return FormatValue(field, value.data(), kWestern, unmappable);
}

struct TFormCase {
  TFieldDesc Field;
  std::string Text;
  std::string Written;  // the canonical text it is written back as
};

TEST(FieldTextTest, EveryTypeReadsAndWritesItsForm) {
  const TFormCase kCases[] = {
      {Field(dtString, 10), "hello", "hello"},
      {Field(dtString, 10), "\xC3\x84pfel \xE2\x82\xAC", "\xC3\x84pfel \xE2\x82\xAC"},  // Äpfel € in 1252
      {Field(dtDate), "0001-01-01", "0001-01-01"},
      {Field(dtDate), "1899-12-30", "1899-12-30"},
      {Field(dtDate), "2024-02-29", "2024-02-29"},
      {Field(dtDate), "9999-12-31", "9999-12-31"},
      {Field(dtTime), "00:00:00", "00:00:00"},
      {Field(dtTime), "23:59:59.999", "23:59:59.999"},
      {Field(dtTime), "08:30:00.5", "08:30:00.500"},
      {Field(dtTimeStamp), "2024-01-02 03:04:05.678", "2024-01-02 03:04:05.678"},
      {Field(dtTimeStamp), "2024-01-02T03:04:05", "2024-01-02 03:04:05"},
      {Field(dtTimeStamp), "2024-01-02", "2024-01-02 00:00:00"},
      {Field(dtBoolean), "true", "true"},
      {Field(dtBoolean), "FALSE", "false"},
      {Field(dtSmallInt), "-32768", "-32768"},
      {Field(dtSmallInt), "32767", "32767"},
      {Field(dtInteger), "-2147483648", "-2147483648"},
      {Field(dtInteger, 0, stAutoInc), "17", "17"},
      {Field(dtWord), "65535", "65535"},
      {Field(dtFloat), "0.1", "0.1"},
      {Field(dtFloat), "-2.5", "-2.5"},
      {Field(dtFloat), "1E3", "1000"},
      {Field(dtFloat), "5e-324", "5e-324"},
      {Field(dtFloat), "-0", "-0"},
      {Field(dtFloat, 0, stMoney), "12.34", "12.34"},
      {Field(dtBCD, 0, stNone, 2), "-1.5", "-1.50"},
      {Field(dtBCD, 0, stNone, 2), "1.500", "1.50"},
      {Field(dtBCD, 0, stNone, 2), "0", "0.00"},
      {Field(dtBCD, 0, stNone, 2), "-0.05", "-0.05"},
      {Field(dtBCD, 0, stNone, 0), "7", "7"},
      {Field(dtBCD, 0, stNone, 4), "922337203685.4775", "922337203685.4775"},
      {Field(dtBytes, 4), "AAECAw==", "AAECAw=="},
      {Field(dtBytes, 4), "AQ==", "AQAAAA=="},
      {Field(dtVarBytes, 3), "AQID", "AQID"},
  };
  for (const TFormCase& c : kCases) {
    EXPECT_EQ(Parsed(c.Field, c.Text), c.Written) << TypeName(c.Field) << " " << c.Text;
    EXPECT_EQ(Parsed(c.Field, c.Written), c.Written) << "the written form reads back: " << c.Written;
  }
}

TEST(FieldTextTest, StoredFormsAreTheEngines) {
  std::vector<uint8_t> stored;
  Parsed(Field(dtDate), "1899-12-30", &stored);
  EXPECT_EQ(GetI32(stored.data()), 693594);
  Parsed(Field(dtDate), "0001-01-01", &stored);
  EXPECT_EQ(GetI32(stored.data()), 1);
  Parsed(Field(dtTime), "23:59:59.999", &stored);
  EXPECT_EQ(GetI32(stored.data()), 86399999);
  Parsed(Field(dtTimeStamp), "1899-12-31 00:00:01", &stored);
  EXPECT_EQ(GetF64(stored.data()), 693595.0 * 86400000 + 1000);
  Parsed(Field(dtBCD, 0, stNone, 2), "1.5", &stored);
  EXPECT_EQ(GetI64(stored.data()), 1502);
  Parsed(Field(dtBCD, 0, stNone, 2), "-1.5", &stored);
  EXPECT_EQ(GetI64(stored.data()), -1502);
  Parsed(Field(dtBCD, 0, stNone, 0), "2", &stored);
  EXPECT_EQ(GetI64(stored.data()), 20);
  Parsed(Field(dtBoolean), "true", &stored);
  EXPECT_EQ(GetU16(stored.data()), 1);
  Parsed(Field(dtString, 5), "abc", &stored);
  EXPECT_EQ(stored, (std::vector<uint8_t>{'a', 'b', 'c', 0, 0, 0}));
}

TEST(FieldTextTest, TextsThatAreNoValueOfTheFieldAreRefused) {
  const std::pair<TFieldDesc, std::string> kRefused[] = {
      {Field(dtDate), "2023-02-29"},      {Field(dtDate), "1990-13-01"},     {Field(dtDate), "90-01-01"},
      {Field(dtDate), "2024-1-1"},        {Field(dtDate), "0000-01-01"},     {Field(dtDate), "2024-01-01 "},
      {Field(dtTime), "24:00:00"},        {Field(dtTime), "12:60:00"},       {Field(dtTime), "12:00"},
      {Field(dtTime), "12:00:00.1234"},   {Field(dtTime), "-01:00:00"},      {Field(dtTimeStamp), "2024-01-02 25:00:00"},
      {Field(dtTimeStamp), "2024-01-02X03:04:05"},
      {Field(dtSmallInt), "32768"},       {Field(dtWord), "-1"},             {Field(dtInteger), "1.5"},
      {Field(dtInteger), " 5"},           {Field(dtInteger), "+5"},          {Field(dtInteger), "0x10"},
      {Field(dtBoolean), "yes"},          {Field(dtBoolean), "1"},
      {Field(dtBCD, 0, stNone, 2), "1.005"}, {Field(dtBCD, 0, stNone, 2), "1e3"}, {Field(dtBCD, 0, stNone, 2), "."},
      {Field(dtBCD, 0, stNone, 4), "922337203685477.5807"},
      {Field(dtFloat), "1,5"},            {Field(dtFloat), "1e999"},         {Field(dtFloat), "abc"},
      {Field(dtString, 3), "abcd"},       {Field(dtString, 10), "\xC5\x82\xC3\xB3" "d\xC5\xBA"},  // łódź
      {Field(dtString, 10), std::string("a\0b", 3)}, {Field(dtString, 10), "\xFF\xFE"},
      {Field(dtBytes, 4), "AAAAAAAA"},    {Field(dtBytes, 4), "A==="},        {Field(dtBytes, 4), "AA"},
  };
  for (const auto& [field, text] : kRefused) {
    EXPECT_EQ(Parsed(field, text).rfind("error: ", 0), 0u) << TypeName(field) << " '" << text << "'";
  }
  EXPECT_EQ(Parsed(Field(dtDate), "1990-13-01"), "error: '1990-13-01' is not a date (yyyy-mm-dd)");
  EXPECT_EQ(Parsed(Field(dtBCD, 0, stNone, 2), "1.005"), "error: '1.005' is not a number with at most 2 decimals");
  EXPECT_EQ(Parsed(Field(dtString, 3), "abcd"), "error: takes 4 bytes in the table's code page, the field holds 3");
}

TEST(FieldTextTest, StoredValuesOutsideTheCalendarStillHaveATextBack) {
  uint8_t value[8] = {};
  int unmappable = 0;
  PutI32(value, 0);
  EXPECT_EQ(FormatValue(Field(dtDate), value, kWestern, unmappable), "0000-12-31");
  PutI32(value, 90000000);
  EXPECT_EQ(FormatValue(Field(dtTime), value, kWestern, unmappable), "25:00:00");
  PutI64(value, 1509);  // a BCD value stored at 9 decimals reads at its own scale
  EXPECT_EQ(FormatValue(Field(dtBCD, 0, stNone, 2), value, kWestern, unmappable), "0.000000150");
  // 0x81 has no letter in code page 1252; it reads as the control character U+0081 and back.
  const uint8_t unassigned[5] = {'a', 0x81, 'b', 0, 0};
  std::string text = FormatValue(Field(dtString, 4), unassigned, kWestern, unmappable);
  EXPECT_EQ(text, "a\xC2\x81" "b");
  EXPECT_EQ(unmappable, 0);
  uint8_t back[5];
  std::string error;
  ASSERT_TRUE(ParseValue(Field(dtString, 4), text, kWestern, back, error));
  EXPECT_EQ(std::vector<uint8_t>(back, back + 5), std::vector<uint8_t>(unassigned, unassigned + 5));
}

TEST(FieldTextTest, MemosAreTextOtherBlobsBase64) {
  TFieldDesc memo = Field(dtBlob, 0, stMemo);
  TFieldDesc graphic = Field(dtBlob, 0, stGraphic);
  std::vector<uint8_t> contents;
  std::string error;
  int unmappable = 0;
  ASSERT_TRUE(ParseBlob(memo, "line\r\nbreak, \"quoted\" \xC3\xA9", kWestern, contents, error));
  EXPECT_EQ(contents, (std::vector<uint8_t>{'l', 'i', 'n', 'e', '\r', '\n', 'b', 'r', 'e', 'a', 'k', ',', ' ', '"',
                                            'q', 'u', 'o', 't', 'e', 'd', '"', ' ', 0xE9}));
  EXPECT_EQ(FormatBlob(memo, contents, kWestern, unmappable), "line\r\nbreak, \"quoted\" \xC3\xA9");
  ASSERT_TRUE(ParseBlob(graphic, "AAEC/w==", kWestern, contents, error));
  EXPECT_EQ(contents, (std::vector<uint8_t>{0, 1, 2, 255}));
  EXPECT_EQ(FormatBlob(graphic, contents, kWestern, unmappable), "AAEC/w==");
  EXPECT_FALSE(ParseBlob(graphic, "not base64", kWestern, contents, error));
  EXPECT_EQ(error, "is not base64");
  EXPECT_FALSE(ParseBlob(memo, "\xE4\xB8\xAD", kWestern, contents, error));  // a Chinese character
}

TEST(FieldTextTest, Base64) {
  const std::pair<std::string, std::string> kCases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {std::string("\0\xFF", 2), "AP8="},
  };
  for (const auto& [bytes, text] : kCases) {
    EXPECT_EQ(EncodeBase64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), text);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(DecodeBase64(text, decoded)) << text;
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), bytes);
  }
  std::vector<uint8_t> decoded;
  for (const char* bad : {"Zg=", "Z===", "Zg==Zg==", "Zm9v!", "Zm=v", "===="}) {
    EXPECT_FALSE(DecodeBase64(bad, decoded)) << bad;
  }
}

TEST(FieldTextTest, TypeNames) {
  const char* kNames[] = {"string", "date",    "blob",  "memo",  "graphic", "boolean", "smallint", "integer", "autoinc",
                          "float",  "money",   "bcd",   "bytes", "time",    "timestamp", "word",   "varbytes"};
  for (const char* name : kNames) {
    TFieldDesc field;
    ASSERT_TRUE(TypeFromName(name, field.FieldType, field.SubType)) << name;
    EXPECT_EQ(TypeName(field), name);
  }
  uint8_t type;
  uint8_t subType;
  EXPECT_FALSE(TypeFromName("number", type, subType));
}

}  // namespace
}  // namespace tarnel::cli
