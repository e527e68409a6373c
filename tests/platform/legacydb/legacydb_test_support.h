// Helpers of the reader tests: running the Python oracles and writers, and text helpers.
#pragma once

#include <string>
#include <vector>

namespace tarnel::test {

// Runs one of the Python scripts beside the tests with Debian's interpreter (where dbfread and
// dbf are installed) and answers its standard output; a failing script fails the test.
std::string RunPythonScript(const std::string& script, const std::vector<std::string>& arguments);
std::string Hex(const std::string& bytes);
std::vector<std::string> Split(const std::string& text, char separator);

}  // namespace tarnel::test
