#include "platform/os/os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "platform/os/os_error.h"

namespace tarnel::os {

namespace {

// A lock on [kShareLockOffset + 1] held as a read lock marks an exclusive open that could only
// get a read-only descriptor (and so cannot hold a write lock on the share byte itself).
constexpr int64_t kExclusiveMarkerOffset = kShareLockOffset + 1;

bool SetLock(int fd, short type, int64_t offset, int64_t length) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = length;
  lock.l_pid = 0;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Whether an open other than `fd`'s own holds any lock overlapping the range.
bool OtherHolds(int fd, int64_t offset, int64_t length) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = length;
  lock.l_pid = 0;
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return true;
  return lock.l_type != F_UNLCK;
}

int OpenDescriptor(const std::string& path, int flags) {
  // Table files need no access times, and keeping them costs every read; only the file's owner
  // may ask for that, so others open without.
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOATIME, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0 || errno != EPERM) return fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Whether any open anywhere holds the file (its sharing lock).
int CheckUnused(const std::string& path) {
  int fd = OpenDescriptor(path, O_RDONLY);
  if (fd < 0) return ErrorFromErrno(errno, path);
  bool held = OtherHolds(fd, kShareLockOffset, 2);
  ::close(fd);
  return held ? kOsSharingViolation : kOsSuccess;
}

}  // namespace

TOsFile::~TOsFile() { Close(); }

bool TOsFile::SetError(int error) {
  FLastError = error;
  return false;
}

int TOsFile::Open(const std::string& path, TAccess access, TSharing sharing, bool writeThrough) {
  Close();
  int extra = writeThrough ? O_DSYNC : 0;
  // A writable descriptor is taken whenever the file allows it, also for reading, because only
  // a writable descriptor can hold the exclusive byte-range locks of the lock protocol.
  int fd = OpenDescriptor(path, O_RDWR | extra);
  bool fdWritable = fd >= 0;
  if (fd < 0) {
    int error = errno;
    if (access == TAccess::ReadWrite || (error != EACCES && error != EROFS && error != EPERM)) {
      return FLastError = ErrorFromErrno(error, path);
    }
    fd = OpenDescriptor(path, O_RDONLY);
    if (fd < 0) return FLastError = ErrorFromErrno(errno, path);
  }
  FFdWritable = fdWritable;
  return Finish(fd, access == TAccess::ReadWrite, sharing);
}

int TOsFile::Create(const std::string& path, TSharing sharing, bool writeThrough) {
  Close();
  int fd = OpenDescriptor(path, O_RDWR | O_CREAT | (writeThrough ? O_DSYNC : 0));
  if (fd < 0) return FLastError = ErrorFromErrno(errno, path);
  FFdWritable = true;
  int result = Finish(fd, true, sharing);
  if (result != kOsSuccess) return result;
  // Truncation only once the sharing lock shows that nobody else has the file open.
  if (::ftruncate(FFd, 0) != 0) {
    int error = ErrorFromErrno(errno, path);
    Close();
    return FLastError = error;
  }
  return kOsSuccess;
}

int TOsFile::Finish(int fd, bool writable, TSharing sharing) {
  bool granted;
  if (sharing == TSharing::Shared) {
    granted = SetLock(fd, F_RDLCK, kShareLockOffset, 1) &&
              !OtherHolds(fd, kExclusiveMarkerOffset, 1);
  } else if (FFdWritable) {
    granted = SetLock(fd, F_WRLCK, kShareLockOffset, 1);
  } else {
    granted = !OtherHolds(fd, kShareLockOffset, 2) && SetLock(fd, F_RDLCK, kShareLockOffset, 2);
  }
  if (!granted) {
    ::close(fd);
    return FLastError = kOsSharingViolation;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  FFd = fd;
  FPosition = 0;
  FWritable = writable;
  FLastError = kOsSuccess;
  FLocks.clear();
  return kOsSuccess;
}

void TOsFile::Close() {
  if (FFd >= 0) {
    ::close(FFd);
    FFd = -1;
  }
  FLocks.clear();
  FPosition = 0;
  FWritable = false;
  FFdWritable = false;
}

int64_t TOsFile::Read(void* buffer, int64_t count) {
  if (FFd < 0) {
    SetError(kOsInvalidHandle);
    return -1;
  }
  auto* bytes = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t got = ::pread(FFd, bytes + done, static_cast<size_t>(count - done), FPosition + done);
    if (got < 0) {
      if (errno == EINTR) continue;
      FPosition += done;
      SetError(ErrorFromErrno(errno));
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  FPosition += done;
  return done;
}

int64_t TOsFile::Write(const void* buffer, int64_t count) {
  if (FFd < 0) {
    SetError(kOsInvalidHandle);
    return -1;
  }
  if (!FWritable) {
    SetError(kOsAccessDenied);
    return -1;
  }
  const auto* bytes = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t put = ::pwrite(FFd, bytes + done, static_cast<size_t>(count - done), FPosition + done);
    if (put < 0) {
      if (errno == EINTR) continue;
      FPosition += done;
      SetError(ErrorFromErrno(errno));
      return -1;
    }
    done += put;
  }
  FPosition += done;
  return done;
}

int64_t TOsFile::Seek(int64_t offset, int origin) {
  if (FFd < 0) return 0;
  int64_t base = 0;
  if (origin == 1) {
    base = FPosition;
  } else if (origin == 2) {
    struct stat info;
    base = ::fstat(FFd, &info) == 0 ? info.st_size : 0;
  }
  FPosition = base + offset < 0 ? 0 : base + offset;
  return FPosition;
}

bool TOsFile::Truncate() {
  if (FFd < 0) return SetError(kOsInvalidHandle);
  if (!FWritable) return SetError(kOsAccessDenied);
  if (::ftruncate(FFd, FPosition) != 0) return SetError(ErrorFromErrno(errno));
  return true;
}

bool TOsFile::Flush() {
  if (FFd < 0) return SetError(kOsInvalidHandle);
  if (::fdatasync(FFd) != 0 && errno != EINVAL && errno != EROFS) {
    return SetError(ErrorFromErrno(errno));
  }
  return true;
}

bool TOsFile::Lock(int64_t offset, int64_t length) {
  if (FFd < 0) return SetError(kOsInvalidHandle);
  if (length <= 0 || offset < 0 || offset + length > kShareLockOffset) {
    return SetError(kOsLockViolation);
  }
  for (const TRange& held : FLocks) {
    if (offset < held.Offset + held.Length && held.Offset < offset + length) {
      return SetError(kOsLockViolation);
    }
  }
  // A read-only descriptor cannot hold write locks; its read locks still exclude every writer.
  if (!SetLock(FFd, FFdWritable ? F_WRLCK : F_RDLCK, offset, length)) {
    return SetError(kOsLockViolation);
  }
  FLocks.push_back({offset, length});
  return true;
}

bool TOsFile::Unlock(int64_t offset, int64_t length) {
  if (FFd < 0) return SetError(kOsInvalidHandle);
  for (auto it = FLocks.begin(); it != FLocks.end(); ++it) {
    if (it->Offset == offset && it->Length == length) {
      if (!SetLock(FFd, F_UNLCK, offset, length)) return SetError(ErrorFromErrno(errno));
      FLocks.erase(it);
      return true;
    }
  }
  return SetError(kOsLockViolation);
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool IsReadOnlyFile(const std::string& path, int* error) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    if (error) *error = ErrorFromErrno(errno, path);
    return false;
  }
  if (error) *error = kOsSuccess;
  return (info.st_mode & 0222) == 0;
}

int DeleteFile(const std::string& path) {
  int unused = CheckUnused(path);
  if (unused != kOsSuccess) return unused;
  if (::unlink(path.c_str()) != 0) return ErrorFromErrno(errno, path);
  return kOsSuccess;
}

int RenameFile(const std::string& from, const std::string& to) {
  int unused = CheckUnused(from);
  if (unused != kOsSuccess) return unused;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return kOsSuccess;
  }
  if (errno != EINVAL && errno != ENOSYS) return ErrorFromErrno(errno, to);
  // File systems without the no-replace flag: refuse an existing target, then rename.
  if (FileExists(to)) return kOsAccessDenied;
  if (::rename(from.c_str(), to.c_str()) != 0) return ErrorFromErrno(errno, to);
  return kOsSuccess;
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return std::string();
  return buffer;
}

}  // namespace tarnel::os
