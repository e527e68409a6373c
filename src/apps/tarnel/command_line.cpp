#include "apps/tarnel/command_line.h"

#include <algorithm>

namespace tarnel::cli {

std::string TArguments::Value(const std::string& name, const std::string& fallback) const {
  auto it = Options.find(name);
  return it == Options.end() || it->second.empty() ? fallback : it->second.back();
}

const std::vector<std::string>& TArguments::Values(const std::string& name) const {
  static const std::vector<std::string> kNone;
  auto it = Options.find(name);
  return it == Options.end() ? kNone : it->second;
}

TArguments ParseArguments(int argc, char** argv, int first, const std::vector<TOptionRule>& options,
                          size_t positional) {
  TArguments arguments;
  bool optionsEnded = false;
  for (int i = first; i < argc; ++i) {
    std::string argument = argv[i];
    if (optionsEnded || argument.size() < 3 || argument.compare(0, 2, "--") != 0) {
      if (argument == "--") {
        optionsEnded = true;
        continue;
      }
      if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
        throw EUsageError("unknown option " + argument);
      }
      arguments.Positional.push_back(argument);
      continue;
    }
    std::string name = argument.substr(2);
    std::string value;
    bool hasValue = false;
    if (size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
      hasValue = true;
    }
    auto rule = std::find_if(options.begin(), options.end(), [&](const TOptionRule& o) { return name == o.Name; });
    if (rule == options.end()) throw EUsageError("unknown option --" + name);
    if (rule->TakesValue && !hasValue) {
      if (i + 1 >= argc) throw EUsageError("--" + name + " needs a value");
      value = argv[++i];
    } else if (!rule->TakesValue && hasValue) {
      throw EUsageError("--" + name + " takes no value");
    }
    std::vector<std::string>& values = arguments.Options[name];
    if (!values.empty() && !rule->Repeatable) throw EUsageError("--" + name + " is given twice");
    values.push_back(value);
  }
  if (arguments.Positional.size() < positional) throw EUsageError("missing arguments");
  if (arguments.Positional.size() > positional) throw EUsageError("unexpected argument " + arguments.Positional[positional]);
  return arguments;
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        parts.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        parts.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

}  // namespace tarnel::cli
