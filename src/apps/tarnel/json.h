// A small writer of JSON text for the commands' --json output: objects, arrays, strings (UTF-8,
// escaped as JSON needs), integers and Booleans, with the commas put where they belong.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel::cli {

class TJsonWriter {
 public:
  TJsonWriter& BeginObject();
  TJsonWriter& EndObject();
  TJsonWriter& BeginArray();
  TJsonWriter& EndArray();
  // The key of the next member of the current object.
  TJsonWriter& Key(const std::string& key);
  TJsonWriter& String(const std::string& value);
  TJsonWriter& Number(int64_t value);
  TJsonWriter& Bool(bool value);
  TJsonWriter& Null();

  const std::string& Text() const { return FText; }

 private:
  void BeforeValue();

  std::string FText;
  std::vector<bool> FFirst;  // per open object or array: no member written yet
  bool FAfterKey = false;
};

}  // namespace tarnel::cli
