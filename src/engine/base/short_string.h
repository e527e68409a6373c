// Texts that the engine keeps in fixed areas: a length byte and at most a given number of
// characters. Longer texts are cut, never refused.
#pragma once

#include <string>

namespace tarnel {

constexpr size_t kShortStringMax = 255;

inline std::string ShortString(const std::string& text, size_t maxLength = kShortStringMax) {
  return text.size() > maxLength ? text.substr(0, maxLength) : text;
}

// Removes leading and trailing blanks (spaces and control characters, as the class library's
// Trim does).
inline std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

}  // namespace tarnel
