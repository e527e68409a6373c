#include "engine/base/paths.h"

#include "engine/base/short_string.h"

namespace tarnel {

namespace {

std::string::size_type LastDelimiter(const std::string& name) {
  return name.find_last_of("/\\");
}

}  // namespace

std::string AddPathDelimiter(const std::string& directory) {
  std::string result = Trim(directory);
  if (!result.empty() && !IsPathDelimiter(result.back())) result += '/';
  return result;
}

std::string RemoveExtension(const std::string& fileName) {
  std::string::size_type dot = fileName.find_last_of('.');
  if (dot == std::string::npos) return fileName;
  std::string::size_type delimiter = LastDelimiter(fileName);
  if (delimiter != std::string::npos && dot < delimiter) return fileName;
  return fileName.substr(0, dot);
}

std::string ExtractFileName(const std::string& fileName) {
  std::string::size_type delimiter = LastDelimiter(fileName);
  return delimiter == std::string::npos ? fileName : fileName.substr(delimiter + 1);
}

std::string NativePath(const std::string& fileName) {
  std::string result = fileName;
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

}  // namespace tarnel
