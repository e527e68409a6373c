// The records both engines are measured on: one table shape and a deterministic set of values,
// record by record, so that each engine stores, finds and changes exactly the same data. Record
// i (0-based) gets identifier i + 1 from the engine's auto-increment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel::bench {

// Field numbers of the table (1-based, in the order of the definition and the SQL columns).
enum : int { kId = 1, kNumber, kName, kText, kBorn, kAmount, kNotes };

constexpr int kNameSize = 20;
constexpr int kTextSize = 60;
constexpr int kMinMemo = 200;
constexpr int kMaxMemo = 2000;
// Dates are day numbers; they spread over about 120 years from this one.
constexpr int32_t kFirstDay = 693596;
constexpr int32_t kDaySpan = 45000;

// One record's values. The texts point into storage owned by TRecordSource and stay valid until
// its next call.
struct TBenchRecord {
  int32_t Number = 0;
  std::string_view Name;
  std::string_view Text;
  int32_t Born = 0;
  int64_t AmountCents = 0;
  std::string_view Memo;
};

// The values of record i of a table of `tableSize` records (before any change), and the values
// the benchmark's changes put in. Names are unique (also ignoring case) and start with a letter
// of either case; the integer repeats about 100 times per value.
class TRecordSource {
 public:
  explicit TRecordSource(int64_t tableSize);

  const TBenchRecord& Record(int64_t i);
  // The name of record i, which no change touches.
  std::string_view Name(int64_t i);
  // The integer and text a modification gives record i.
  int32_t ChangedNumber(int64_t i) const;
  std::string_view ChangedText(int64_t i);
  // A memo of another length and content for record i, for the k-th rewrite.
  std::string_view ChangedMemo(int64_t i, int64_t k) const;
  int32_t DistinctNumbers() const { return FDistinctNumbers; }

 private:
  std::string_view PoolText(uint64_t hash, int shortest, int longest, bool lettersOnly) const;

  int32_t FDistinctNumbers;
  std::string FPool;     // letters, digits and blanks that memos are cut from
  std::string FLetters;  // letters only, for the string fields (which drop trailing blanks)
  char FName[kNameSize + 1] = {};
  TBenchRecord FRecord;
};

// A step of a deterministic generator of 64-bit values.
uint64_t Mix(uint64_t value);

// The k-th of `count` distinct record indexes out of [0, tableSize), in a scattered order; the
// salt picks another order. REQUIRES: count <= tableSize.
int64_t Scattered(int64_t k, int64_t tableSize, uint64_t salt);

// An order-dependent checksum of values, equal for both engines when they read the same.
class TChecksum {
 public:
  void Add(uint64_t value) { FValue = Mix(FValue ^ value); }
  void Add(std::string_view text);
  uint64_t Value() const { return FValue; }

 private:
  uint64_t FValue = 0x9E3779B97F4A7C15ull;
};

}  // namespace tarnel::bench
