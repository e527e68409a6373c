// Bounds-checked access to the bytes of a source file: TBinaryFile reads ranges of an open file,
// TByteView decodes little- and big-endian integers from a buffer. Every read outside the data
// raises ELegacyDbError naming the file, so a truncated or damaged file can never be read past
// its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel::legacydb {

using TBytes = std::vector<uint8_t>;

class TByteView {
 public:
  TByteView(const uint8_t* data, size_t size, const std::string& fileName)
      : FData(data), FSize(size), FFileName(&fileName) {}
  TByteView(const TBytes& bytes, const std::string& fileName)
      : TByteView(bytes.data(), bytes.size(), fileName) {}

  size_t Size() const { return FSize; }
  const std::string& FileName() const { return *FFileName; }

  uint8_t U8(size_t offset) const;
  uint16_t U16(size_t offset) const;
  uint32_t U32(size_t offset) const;
  uint16_t U16BigEndian(size_t offset) const;
  uint32_t U32BigEndian(size_t offset) const;
  uint64_t U64BigEndian(size_t offset) const;
  // The `count` bytes at `offset`.
  const uint8_t* At(size_t offset, size_t count) const;
  TByteView Sub(size_t offset, size_t count) const;
  // The characters from `offset` up to the first zero byte or `maxLength` characters, whichever
  // comes first; the area must lie inside the data.
  std::string Text(size_t offset, size_t maxLength) const;
  // Like Text, but the terminating zero must come before the end of the data; answers the
  // offset after it in `next`.
  std::string ZeroTerminated(size_t offset, size_t* next) const;

  [[noreturn]] void Fail(const std::string& problem) const;

 private:
  void Check(size_t offset, size_t count) const;

  const uint8_t* FData;
  size_t FSize;
  const std::string* FFileName;
};

// An open source file, read by ranges.
class TBinaryFile {
 public:
  // Opens the file for reading; a missing or unreadable file raises ELegacyDbError.
  explicit TBinaryFile(const std::string& path);
  ~TBinaryFile();
  TBinaryFile(const TBinaryFile&) = delete;
  TBinaryFile& operator=(const TBinaryFile&) = delete;

  const std::string& Path() const { return FPath; }
  uint64_t Size() const { return FSize; }
  // The `count` bytes at `offset`; a range past the end of the file raises.
  TBytes Read(uint64_t offset, size_t count) const;
  // As many bytes as there are at `offset`, at most `count`.
  TBytes ReadUpTo(uint64_t offset, size_t count) const;

  [[noreturn]] void Fail(const std::string& problem) const;

 private:
  std::string FPath;
  int FFd = -1;
  uint64_t FSize = 0;
};

// The file of `directory` whose name equals `name` regardless of case ("" when there is none):
// tables copied from other systems come with their extensions in either case.
std::string FindFileIgnoringCase(const std::string& directory, const std::string& name);
// The files of `directory` whose names, ignoring case, begin with `prefix`, sorted by name.
std::vector<std::string> FilesStartingWith(const std::string& directory, const std::string& prefix);
// `directory` and `name` joined by "/".
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace tarnel::legacydb
