#include "bench_data.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tarnel::bench {

namespace {

constexpr size_t kPoolBytes = 65536;
constexpr uint64_t kRecordSalt = 0x51ED2701A3C45B89ull;
constexpr uint64_t kChangeSalt = 0x2C1B3C6D8E9FA0B1ull;
constexpr uint64_t kMemoSalt = 0x7A5F3E1D9B8C6A4Full;

}  // namespace

uint64_t Mix(uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

int64_t Scattered(int64_t k, int64_t tableSize, uint64_t salt) {
  // k * step + start modulo the size runs through every index once when the step and the size
  // have no common divisor.
  static const int64_t kSteps[] = {2654435761, 2246822519, 3266489917, 668265263, 374761393};
  int64_t step = kSteps[salt % 5];
  while (std::gcd(step, tableSize) != 1) step += 2;
  int64_t start = static_cast<int64_t>(Mix(salt) % static_cast<uint64_t>(tableSize));
  // k and the size stay below 2^31 and the step below 2^32, so the product fits.
  uint64_t size = static_cast<uint64_t>(tableSize);
  return static_cast<int64_t>((static_cast<uint64_t>(k) * static_cast<uint64_t>(step) % size +
                               static_cast<uint64_t>(start)) % size);
}

void TChecksum::Add(std::string_view text) {
  // Eight bytes at a step, so that summing what was read costs little beside reading it.
  uint64_t h = text.size();
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    h = (h ^ word) * 0x100000001B3ull;
  }
  for (; i < text.size(); ++i) h = (h ^ static_cast<unsigned char>(text[i])) * 0x100000001B3ull;
  Add(h);
}

TRecordSource::TRecordSource(int64_t tableSize)
    : FDistinctNumbers(static_cast<int32_t>(std::max<int64_t>(tableSize / 100, 1))) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  static const char kPoolChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789      ";
  uint64_t state = 12345;
  FPool.resize(kPoolBytes + kMaxMemo);
  FLetters.resize(kPoolBytes + kMaxMemo);
  for (size_t i = 0; i < FPool.size(); ++i) {
    state = Mix(state);
    FPool[i] = kPoolChars[state % (sizeof kPoolChars - 1)];
    FLetters[i] = kLetters[(state >> 20) % (sizeof kLetters - 1)];
  }
}

std::string_view TRecordSource::PoolText(uint64_t hash, int shortest, int longest, bool lettersOnly) const {
  size_t length = static_cast<size_t>(shortest) + hash % static_cast<uint64_t>(longest - shortest + 1);
  size_t offset = (hash >> 16) % kPoolBytes;
  return std::string_view(lettersOnly ? FLetters : FPool).substr(offset, length);
}

std::string_view TRecordSource::Name(int64_t i) {
  uint64_t h = Mix(static_cast<uint64_t>(i) ^ kRecordSalt);
  int n = 0;
  FName[n++] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"[h % 52];
  int letters = 4 + static_cast<int>((h >> 8) % 5);
  uint64_t more = Mix(h);
  for (int k = 0; k < letters; ++k, more /= 26) FName[n++] = static_cast<char>('a' + more % 26);
  // The record's number makes the name unique.
  int64_t rest = i;
  for (int k = 6; k >= 0; --k, rest /= 10) FName[n + k] = static_cast<char>('0' + rest % 10);
  n += 7;
  return std::string_view(FName, static_cast<size_t>(n));
}

const TBenchRecord& TRecordSource::Record(int64_t i) {
  uint64_t h = Mix(static_cast<uint64_t>(i) ^ kRecordSalt);
  uint64_t h2 = Mix(h ^ 1);
  uint64_t h3 = Mix(h ^ 2);
  FRecord.Number = static_cast<int32_t>(h2 % static_cast<uint64_t>(FDistinctNumbers));
  FRecord.Name = Name(i);
  FRecord.Text = PoolText(h3, 30, kTextSize, true);
  FRecord.Born = kFirstDay + static_cast<int32_t>((h2 >> 32) % kDaySpan);
  FRecord.AmountCents = static_cast<int64_t>((h3 >> 24) % 100000000);
  FRecord.Memo = PoolText(Mix(h ^ 3), kMinMemo, kMaxMemo, false);
  return FRecord;
}

int32_t TRecordSource::ChangedNumber(int64_t i) const {
  return static_cast<int32_t>(Mix(static_cast<uint64_t>(i) ^ kChangeSalt) % static_cast<uint64_t>(FDistinctNumbers));
}

std::string_view TRecordSource::ChangedText(int64_t i) {
  return PoolText(Mix(static_cast<uint64_t>(i) ^ kChangeSalt ^ 1), 30, kTextSize, true);
}

std::string_view TRecordSource::ChangedMemo(int64_t i, int64_t k) const {
  return PoolText(Mix(static_cast<uint64_t>(i) ^ kMemoSalt ^ static_cast<uint64_t>(k << 40)), kMinMemo, kMaxMemo,
               false);
}

}  // namespace tarnel::bench
