#include "platform/legacydb/binary_file.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/legacydb/legacy_error.h"

namespace tarnel::legacydb {

void TByteView::Fail(const std::string& problem) const { throw ELegacyDbError(*FFileName, problem); }

void TByteView::Check(size_t offset, size_t count) const {
  if (offset > FSize || count > FSize - offset) Fail("the file is truncated or damaged");
}

uint8_t TByteView::U8(size_t offset) const {
  Check(offset, 1);
  return FData[offset];
}

uint16_t TByteView::U16(size_t offset) const {
  Check(offset, 2);
  return static_cast<uint16_t>(FData[offset] | FData[offset + 1] << 8);
}

uint32_t TByteView::U32(size_t offset) const {
  Check(offset, 4);
  return static_cast<uint32_t>(FData[offset]) | static_cast<uint32_t>(FData[offset + 1]) << 8 |
         static_cast<uint32_t>(FData[offset + 2]) << 16 |
         static_cast<uint32_t>(FData[offset + 3]) << 24;
}

uint16_t TByteView::U16BigEndian(size_t offset) const {
  Check(offset, 2);
  return static_cast<uint16_t>(FData[offset] << 8 | FData[offset + 1]);
}

uint32_t TByteView::U32BigEndian(size_t offset) const {
  Check(offset, 4);
  return static_cast<uint32_t>(FData[offset]) << 24 | static_cast<uint32_t>(FData[offset + 1]) << 16 |
         static_cast<uint32_t>(FData[offset + 2]) << 8 | static_cast<uint32_t>(FData[offset + 3]);
}

uint64_t TByteView::U64BigEndian(size_t offset) const {
  return static_cast<uint64_t>(U32BigEndian(offset)) << 32 | U32BigEndian(offset + 4);
}

const uint8_t* TByteView::At(size_t offset, size_t count) const {
  Check(offset, count);
  return FData + offset;
}

TByteView TByteView::Sub(size_t offset, size_t count) const {
  Check(offset, count);
  return TByteView(FData + offset, count, *FFileName);
}

std::string TByteView::Text(size_t offset, size_t maxLength) const {
  const uint8_t* text = At(offset, maxLength);
  size_t length = 0;
  while (length < maxLength && text[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(text), length);
}

std::string TByteView::ZeroTerminated(size_t offset, size_t* next) const {
  Check(offset, 0);
  const uint8_t* start = FData + offset;
  const void* zero = std::memchr(start, 0, FSize - offset);
  if (zero == nullptr) Fail("a name runs past the end of the header");
  size_t length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
  *next = offset + length + 1;
  return std::string(reinterpret_cast<const char*>(start), length);
}

TBinaryFile::TBinaryFile(const std::string& path) : FPath(path) {
  FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (FFd < 0) Fail(errno == ENOENT ? "the file does not exist" : std::strerror(errno));
  struct stat info;
  if (::fstat(FFd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(FFd);
    FFd = -1;
    Fail("not a readable file");
  }
  FSize = static_cast<uint64_t>(info.st_size);
}

TBinaryFile::~TBinaryFile() {
  if (FFd >= 0) ::close(FFd);
}

void TBinaryFile::Fail(const std::string& problem) const { throw ELegacyDbError(FPath, problem); }

TBytes TBinaryFile::Read(uint64_t offset, size_t count) const {
  if (offset > FSize || count > FSize - offset) Fail("the file is truncated or damaged");
  return ReadUpTo(offset, count);
}

TBytes TBinaryFile::ReadUpTo(uint64_t offset, size_t count) const {
  if (offset >= FSize) return TBytes();
  count = static_cast<size_t>(std::min<uint64_t>(count, FSize - offset));
  TBytes bytes(count);
  size_t done = 0;
  while (done < count) {
    ssize_t got = ::pread(FFd, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) Fail(got < 0 ? std::strerror(errno) : "the file is truncated or damaged");
    done += static_cast<size_t>(got);
  }
  return bytes;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

namespace {

std::vector<std::string> DirectoryNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator it(directory.empty() ? "." : directory, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string FindFileIgnoringCase(const std::string& directory, const std::string& name) {
  std::string found;
  for (const std::string& candidate : DirectoryNames(directory)) {
    if (candidate == name) return candidate;
    if (found.empty() && ::strcasecmp(candidate.c_str(), name.c_str()) == 0) found = candidate;
  }
  return found;
}

std::vector<std::string> FilesStartingWith(const std::string& directory, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& candidate : DirectoryNames(directory)) {
    if (candidate.size() >= prefix.size() &&
        ::strncasecmp(candidate.c_str(), prefix.c_str(), prefix.size()) == 0) {
      found.push_back(candidate);
    }
  }
  return found;
}

}  // namespace tarnel::legacydb
