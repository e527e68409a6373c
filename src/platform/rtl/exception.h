// The class library's exception family: every failure the library itself reports (a list index
// out of bounds, a text that does not convert) is an Exception carrying only its message.
#pragma once

#include <stdexcept>
#include <string>

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

// A locale or code page that is not installed, or a request the locale layer does not support.
class ELocaleError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace tarnel
