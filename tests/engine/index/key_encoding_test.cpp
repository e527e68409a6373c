#include "engine/index/key_encoding.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/index/key.h"
#include "engine/table/data_file.h"
#include "platform/locale/language_table.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Field;
using test::Index;

Bytes Encode(uint8_t type, const Bytes& value, bool invert = false, bool caseInsensitive = false,
             uint8_t size = 0) {
  TFieldDesc field = Field(1, "F", type, size);
  field.PhysSize = PhysSizeOf(type, size);
  Bytes key(static_cast<size_t>(field.PhysSize) + 1, 0);
  EncodeKeyField(field, value.empty() ? nullptr : value.data(), invert, caseInsensitive, TKeyLanguage{}, key.data());
  return key;
}

Bytes Int32(int32_t v) {
  Bytes b(4);
  PutI32(b.data(), v);
  return b;
}

Bytes Double(double v) {
  Bytes b(8);
  PutF64(b.data(), v);
  return b;
}

TEST(KeyEncodingTest, NumbersEncodeSoThatBytesOrderLikeValues) {
  struct Case {
    const char* What;
    Bytes Key;
    Bytes Expected;
  };
  const Case cases[] = {
      {"-1", Encode(dtInteger, Int32(-1)), {1, 0x7F, 0xFF, 0xFF, 0xFF}},
      {"0", Encode(dtInteger, Int32(0)), {1, 0x80, 0x00, 0x00, 0x00}},
      {"1", Encode(dtInteger, Int32(1)), {1, 0x80, 0x00, 0x00, 0x01}},
      {"0.0", Encode(dtFloat, Double(0.0)), {1, 0x80, 0, 0, 0, 0, 0, 0, 0}},
      {"-0.0", Encode(dtFloat, Double(-0.0)), {1, 0x80, 0, 0, 0, 0, 0, 0, 0}},
      {"-2.5", Encode(dtFloat, Double(-2.5)), {1, 0x3F, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"small -2", Encode(dtSmallInt, {0xFE, 0xFF}), {1, 0x7F, 0xFE}},
      {"word 258", Encode(dtWord, {0x02, 0x01}), {1, 0x01, 0x02}},
      {"null", Encode(dtInteger, {}), {0, 0, 0, 0, 0}},
      {"descending 1", Encode(dtInteger, Int32(1), true), {0xFE, 0x7F, 0xFF, 0xFF, 0xFE}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.Key, c.Expected) << c.What;
  // Nulls come first, then numbers in order, for integers and doubles alike.
  std::vector<Bytes> ordered = {Encode(dtFloat, {}), Encode(dtFloat, Double(-1e300)), Encode(dtFloat, Double(-2.5)),
                                Encode(dtFloat, Double(0)), Encode(dtFloat, Double(1e-300)), Encode(dtFloat, Double(3))};
  EXPECT_TRUE(std::is_sorted(ordered.begin(), ordered.end()));
  std::vector<Bytes> integers = {Encode(dtInteger, Int32(INT32_MIN)), Encode(dtInteger, Int32(-7)),
                                 Encode(dtInteger, Int32(0)), Encode(dtInteger, Int32(INT32_MAX))};
  EXPECT_TRUE(std::is_sorted(integers.begin(), integers.end()));
}

TEST(KeyEncodingTest, StringsWithoutALanguageAreUpperCasedOnlyForAsciiLetters) {
  Bytes lower = Encode(dtString, {'a', 'b', 'c', 0xE4, 0}, false, true, 5);
  Bytes upper = Encode(dtString, {'A', 'B', 'C', 0xE4, 0}, false, true, 5);
  EXPECT_EQ(lower, upper);
  EXPECT_EQ(lower, (Bytes{1, 'A', 'B', 'C', 0xE4, 0, 0}));
  EXPECT_EQ(Encode(dtString, {'a', 'b', 0, 0, 0}, false, false, 5), (Bytes{1, 'a', 'b', 0, 0, 0, 0}));
  // A descending string inverts its flag and all but the last value byte.
  EXPECT_EQ(Encode(dtString, {'a', 0}, true, false, 1), (Bytes{0xFE, static_cast<uint8_t>(~'a'), 0}));
}

TEST(KeyRoutinesTest, IncrementDecrementAndTails) {
  Bytes key = {0x00, 0xFF, 0xFF};
  IncrementKey(key.data(), 3);
  EXPECT_EQ(key, (Bytes{0x01, 0x00, 0x00}));
  DecrementKey(key.data(), 3);
  EXPECT_EQ(key, (Bytes{0x00, 0xFF, 0xFF}));
  Bytes top(3, 0xFF);
  IncrementKey(top.data(), 3);
  EXPECT_EQ(top, Bytes(3, 0xFF));
  Bytes bottom(3, 0);
  DecrementKey(bottom.data(), 3);
  EXPECT_EQ(bottom, Bytes(3, 0));
  FillKeyTail(key.data(), 1, 3, 0xAB);
  EXPECT_EQ(key, (Bytes{0x00, 0xAB, 0xAB}));
  EXPECT_EQ(CompareBytes(key.data(), top.data(), 0, false), 0);
  EXPECT_EQ(CompareBytes(key.data(), top.data(), 3, true), 1);
}

// The order a table's language gives its string keys, against plain byte order.
class CollatedKeysTest : public test::TEngineTest {
 protected:
  std::vector<std::string> Order(uint16_t language, const std::vector<std::string>& names) {
    TTableDefinition definition = test::Definition(
        {Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Name", dtString, 20), Field(3, "N", dtInteger)}, {1});
    definition.LanguageId = language;
    definition.Indexes.push_back(Index("ByName", {2, 3}, {.Descending = false}));
    TDataFile table;
    table.SetFileName(FDir.File("L" + std::to_string(language)));
    table.SetExclusive(true);
    table.CreateTable(definition);
    table.Open();
    test::TImage image(table);
    for (const std::string& name : names) {
      image.Init();
      image.Text(2, name).Int(3, 1);
      table.InsertRecord(image.Data());
    }
    table.SetIndexName("ByName");
    std::vector<std::string> order;
    table.SetToBegin();
    while (table.GetNextRecord(image.Data()) == 0) order.push_back(image.GetText(2));
    return order;
  }
};

TEST_F(CollatedKeysTest, LanguagesOrderTheirLettersTheirOwnWay) {
  // In code page 1252: a with diaeresis E4, a with ring E5, n with tilde F1.
  const std::string ae = "\xE4";
  const std::string aa = "\xE5";
  const std::string ny = "\xF1";
  std::vector<std::string> names = {"z", "a" + ae, "ab", "a" + aa, "an", "a" + ny, "ao"};
  uint16_t german = locale::MakeLangId(0x07, 0x01);
  uint16_t swedish = locale::MakeLangId(0x1D, 0x01);
  uint16_t spanish = locale::MakeLangId(0x0A, 0x03);
  // German sorts the umlaut with its base letter, Swedish as letters after z.
  std::vector<std::string> inGerman = Order(german, names);
  std::vector<std::string> inSwedish = Order(swedish, names);
  std::vector<std::string> inSpanish = Order(spanish, names);
  std::vector<std::string> bytes = Order(0, names);
  auto before = [](const std::vector<std::string>& order, const std::string& a, const std::string& b) {
    return std::find(order.begin(), order.end(), a) < std::find(order.begin(), order.end(), b);
  };
  EXPECT_TRUE(before(inGerman, "a" + ae, "ab"));
  EXPECT_TRUE(before(inGerman, "a" + aa, "ab"));
  EXPECT_TRUE(before(inSwedish, "ao", "a" + aa));
  EXPECT_TRUE(before(inSwedish, "a" + aa, "a" + ae));
  // Spanish sorts the n with tilde between n and o.
  EXPECT_TRUE(before(inSpanish, "an", "a" + ny));
  EXPECT_TRUE(before(inSpanish, "a" + ny, "ao"));
  // Without a language the bytes decide: every accented letter after the plain ones.
  EXPECT_TRUE(before(bytes, "ao", "a" + ae));
  EXPECT_TRUE(before(bytes, "a" + ae, "a" + aa));
  EXPECT_EQ(bytes.front(), "ab");
}

}  // namespace
}  // namespace tarnel
