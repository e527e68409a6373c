// Named string values that a program keeps for its user between runs, under the organisation
// "Corvane" and the application "TARNEL Database System/<product name>" (QSettings in the
// user's configuration folder). Each program has its own set, named by its product name.
#pragma once

#include <memory>
#include <string>

class QSettings;

namespace tarnel::ui {

constexpr char kOrganization[] = "Corvane";
constexpr char kSystemName[] = "TARNEL Database System";

class TRegFile {
 public:
  explicit TRegFile(const std::string& productName);
  ~TRegFile();
  TRegFile(const TRegFile&) = delete;
  TRegFile& operator=(const TRegFile&) = delete;

  // The value stored under `name`, or `defaultValue` when there is none.
  std::string ReadString(const std::string& name, const std::string& defaultValue) const;
  void WriteString(const std::string& name, const std::string& value);
  int ReadInteger(const std::string& name, int defaultValue) const;
  void WriteInteger(const std::string& name, int value);
  bool ValueExists(const std::string& name) const;
  // Writes what was changed to the settings file now rather than when the object goes.
  void Flush();

 private:
  std::unique_ptr<QSettings> FSettings;
};

}  // namespace tarnel::ui
