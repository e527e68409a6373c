// Operating-system error numbers as the engine knows them. The file layer reports failures with
// these numbers so that the engine can map them onto its own codes without knowing errno.
#pragma once

#include <string>

namespace tarnel::os {

enum TOsError : int {
  kOsSuccess = 0,
  kOsFileNotFound = 2,
  kOsPathNotFound = 3,
  kOsTooManyOpenFiles = 4,
  kOsAccessDenied = 5,
  kOsInvalidHandle = 6,
  kOsNotEnoughMemory = 8,
  kOsInvalidDrive = 15,
  kOsNotSameDevice = 17,
  kOsSharingViolation = 32,
  kOsLockViolation = 33,
  kOsNetworkAccessDenied = 65,
  kOsGeneralFailure = 31,
};

// Translates an errno value of a failed call on `path` into a TOsError. ENOENT becomes
// kOsPathNotFound when the directory part of `path` does not exist either.
int ErrorFromErrno(int errnoValue, const std::string& path = std::string());

}  // namespace tarnel::os
