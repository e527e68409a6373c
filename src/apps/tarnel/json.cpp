#include "apps/tarnel/json.h"

#include <cstdio>

namespace tarnel::cli {

void TJsonWriter::BeforeValue() {
  if (FAfterKey) {
    FAfterKey = false;
    return;
  }
  if (!FFirst.empty()) {
    if (!FFirst.back()) FText += ',';
    FFirst.back() = false;
  }
}

TJsonWriter& TJsonWriter::BeginObject() {
  BeforeValue();
  FText += '{';
  FFirst.push_back(true);
  return *this;
}

TJsonWriter& TJsonWriter::EndObject() {
  FText += '}';
  FFirst.pop_back();
  return *this;
}

TJsonWriter& TJsonWriter::BeginArray() {
  BeforeValue();
  FText += '[';
  FFirst.push_back(true);
  return *this;
}

TJsonWriter& TJsonWriter::EndArray() {
  FText += ']';
  FFirst.pop_back();
  return *this;
}

TJsonWriter& TJsonWriter::Key(const std::string& key) {
  String(key);
  FText += ':';
  FAfterKey = true;
  return *this;
}

TJsonWriter& TJsonWriter::String(const std::string& value) {
  BeforeValue();
  FText += '"';
  for (unsigned char c : value) {
    switch (c) {
      case '"': FText += "\\\""; break;
      case '\\': FText += "\\\\"; break;
      case '\n': FText += "\\n"; break;
      case '\r': FText += "\\r"; break;
      case '\t': FText += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          FText += escape;
        } else {
          FText += static_cast<char>(c);
        }
    }
  }
  FText += '"';
  return *this;
}

TJsonWriter& TJsonWriter::Number(int64_t value) {
  BeforeValue();
  FText += std::to_string(value);
  return *this;
}

TJsonWriter& TJsonWriter::Bool(bool value) {
  BeforeValue();
  FText += value ? "true" : "false";
  return *this;
}

TJsonWriter& TJsonWriter::Null() {
  BeforeValue();
  FText += "null";
  return *this;
}

}  // namespace tarnel::cli
