#include "platform/os/os_error.h"

#include <cerrno>
#include <sys/stat.h>

namespace tarnel::os {

namespace {

bool DirectoryOfExists(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;
  std::string directory = slash == 0 ? std::string("/") : path.substr(0, slash);
  struct stat info;
  return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int ErrorFromErrno(int errnoValue, const std::string& path) {
  switch (errnoValue) {
    case 0:
      return kOsSuccess;
    case ENOENT:
      return DirectoryOfExists(path) ? kOsFileNotFound : kOsPathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kOsPathNotFound;
    case EMFILE:
    case ENFILE:
      return kOsTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return kOsAccessDenied;
    case EBADF:
      return kOsInvalidHandle;
    case ENOMEM:
      return kOsNotEnoughMemory;
    case ENODEV:
    case ENXIO:
      return kOsInvalidDrive;
    case EXDEV:
      return kOsNotSameDevice;
    case EAGAIN:
      return kOsLockViolation;
    default:
      return kOsGeneralFailure;
  }
}

}  // namespace tarnel::os
