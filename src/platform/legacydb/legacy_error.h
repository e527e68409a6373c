// The one exception of the Paradox and dBase readers: a table that cannot be opened or read
// (missing, truncated, damaged, wrong password, a value that does not decode). The message
// always names the file concerned.
#pragma once

#include <string>

#include "platform/rtl/exception.h"

namespace tarnel::legacydb {

class ELegacyDbError : public Exception {
 public:
  ELegacyDbError(const std::string& fileName, const std::string& problem)
      : Exception(fileName + ": " + problem), FFileName(fileName) {}
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
};

}  // namespace tarnel::legacydb
