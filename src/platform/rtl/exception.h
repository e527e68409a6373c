// The class library's exception family: every failure the library itself reports (a list index
// out of bounds, a text that does not convert) is an Exception carrying only its message.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnel {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A list operation with an index or capacity outside its bounds.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// A text that does not convert to the value asked for.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// The value `attempt(value)` gives, or EConvertError "'<text>' is not a valid <what>" when it
// gives none: the raising form of a Try conversion.
template <typename T, typename Attempt>
T ConvertOrRaise(std::string_view text, const char* what, Attempt attempt) {
  T value{};
  if (!attempt(value)) {
    throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
  }
  return value;
}

// A locale or code page that is not installed, or a request the locale layer does not support.
class ELocaleError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace tarnel
