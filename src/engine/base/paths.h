// Path helpers. Both "\" and "/" separate directories in names the engine is given; the engine
// itself writes "/".
#pragma once

#include <string>

namespace tarnel {

inline bool IsPathDelimiter(char c) { return c == '/' || c == '\\'; }

// Trims blanks; a non-empty result that does not end in a separator gets one.
std::string AddPathDelimiter(const std::string& directory);
// Cuts the name before its last "." when that dot lies after the last separator.
std::string RemoveExtension(const std::string& fileName);
// The part of the name after its last separator.
std::string ExtractFileName(const std::string& fileName);
// The name with "\" separators written as "/".
std::string NativePath(const std::string& fileName);

}  // namespace tarnel
