// The command line of one tarnel command: its positional arguments and its options, checked
// against what the command accepts. A usage error is EUsageError (exit status 2); everything the
// command then does fails with ECommandError or the engine's own errors (exit status 1).
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnel::cli {

// A command line the command does not accept.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failure of the command's operation that is not an engine error: a bad row, a table that
// already exists, a file that cannot be read.
class ECommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TOptionRule {
  const char* Name;  // without the leading "--"
  bool TakesValue;
  bool Repeatable;
};

struct TArguments {
  std::vector<std::string> Positional;
  std::map<std::string, std::vector<std::string>> Options;

  bool Has(const std::string& name) const { return Options.count(name) != 0; }
  // The value of a single-valued option, or `fallback` when it was not given.
  std::string Value(const std::string& name, const std::string& fallback = std::string()) const;
  // Every value of a repeatable option, in the order given.
  const std::vector<std::string>& Values(const std::string& name) const;
};

// Parses argv[first..argc): "--name value", "--name=value", flags, and positional arguments
// ("--" ends the options). `positional` is how many positional arguments the command takes.
TArguments ParseArguments(int argc, char** argv, int first, const std::vector<TOptionRule>& options,
                          size_t positional);

// Splits "a,b,c" at unquoted commas; a part may be double-quoted, with "" for a quote inside.
std::vector<std::string> SplitList(const std::string& text, char separator = ',');

}  // namespace tarnel::cli
