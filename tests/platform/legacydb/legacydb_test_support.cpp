#include "legacydb_test_support.h"

#include <cstdio>

#include <gtest/gtest.h>

namespace tarnel::test {

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string RunPythonScript(const std::string& script, const std::vector<std::string>& arguments) {
  std::string command = "/usr/bin/python3 " + Quote(std::string(TARNEL_LEGACYDB_TEST_DIR) + "/" + script);
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return std::string();
  }
  std::string output;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  int status = ::pclose(pipe);
  EXPECT_EQ(status, 0) << command;
  return output;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

}  // namespace tarnel::test
