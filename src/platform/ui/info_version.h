// A program's version information: the texts its build gives it (product name, version, legal
// notice and so on), which the window caption, the application title, the about box and the
// settings key take at run time.
#pragma once

#include <string>

namespace tarnel::ui {

struct TInfoVersion {
  std::string CompanyName;
  std::string ProductName;
  std::string ProductVersion;
  std::string FileDescription;
  std::string LegalCopyright;
  std::string Comments;

  // "Version " and the product version.
  std::string VersionText() const { return "Version " + ProductVersion; }
};

}  // namespace tarnel::ui
