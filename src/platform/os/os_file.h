// One open operating-system file with the behaviour the engine was designed for: random access,
// open sharing (exclusive or shared) enforced across processes and across opens inside one
// process, byte-range locks that are not re-entrant and are removed only by their exact range.
//
// Locks are Linux open-file-description locks, so two opens of one file conflict even inside one
// process. Sharing is emulated with a lock far above the byte-range lock map: a shared open holds
// a read lock on kShareLockOffset, an exclusive open a write lock there.
//
// REQUIRES: external synchronization; one TOsFile is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel::os {

enum class TAccess { Read, ReadWrite };
enum class TSharing { Exclusive, Shared };

// Offsets at and above this one are reserved for the sharing emulation; the engine's lock map
// ends at 0x7FFFFFFF, far below.
constexpr int64_t kShareLockOffset = int64_t{1} << 32;

class TOsFile {
 public:
  TOsFile() = default;
  ~TOsFile();
  TOsFile(const TOsFile&) = delete;
  TOsFile& operator=(const TOsFile&) = delete;

  // Opens an existing file. Returns kOsSuccess or a TOsError (kOsSharingViolation when the
  // sharing of another open refuses this one).
  int Open(const std::string& path, TAccess access, TSharing sharing, bool writeThrough);
  // Creates the file, or truncates an existing one once this open holds it, for reading and
  // writing. Returns kOsSuccess or a TOsError.
  int Create(const std::string& path, TSharing sharing, bool writeThrough);
  void Close();
  bool IsOpen() const { return FFd >= 0; }

  // Read and Write work at the current position and advance it. Both answer the bytes moved or
  // -1 on failure (see LastError). Write refuses on a read-only open with kOsAccessDenied.
  int64_t Read(void* buffer, int64_t count);
  int64_t Write(const void* buffer, int64_t count);
  // Origin 0 from the start, 1 from the current position, 2 from the end. Answers the new
  // position; a position below 0 becomes 0.
  int64_t Seek(int64_t offset, int origin);
  int64_t Position() const { return FPosition; }
  // Cuts or extends the file to end at the current position.
  bool Truncate();
  // Writes the file's data to the disk.
  bool Flush();

  // Places a byte-range lock without waiting. Refused when the range overlaps one that this
  // open already holds, or when another open holds an overlapping lock.
  bool Lock(int64_t offset, int64_t length);
  // Removes a lock; the range must be exactly one that this open holds.
  bool Unlock(int64_t offset, int64_t length);

  int LastError() const { return FLastError; }

 private:
  struct TRange {
    int64_t Offset;
    int64_t Length;
  };

  int Finish(int fd, bool writable, TSharing sharing);
  bool SetError(int error);

  int FFd = -1;
  int64_t FPosition = 0;
  bool FWritable = false;   // the open allows writing
  bool FFdWritable = false; // the descriptor itself was opened for writing
  int FLastError = 0;
  std::vector<TRange> FLocks;
};

// True when a file (not a directory) of that name exists.
bool FileExists(const std::string& path);
// The read-only attribute: a file whose mode carries no write permission bit at all. This holds
// for every user, root included.
bool IsReadOnlyFile(const std::string& path, int* error);
// Deletes a file. Refused with kOsSharingViolation while any open holds the file.
int DeleteFile(const std::string& path);
// Renames a file. Refused with kOsSharingViolation while any open holds the file.
int RenameFile(const std::string& from, const std::string& to);
// The process's current directory.
std::string CurrentDirectory();

}  // namespace tarnel::os
