#include "platform/ui/reg_file.h"

#include <QSettings>
#include <QString>

namespace tarnel::ui {

namespace {

QString Key(const std::string& name) { return QString::fromStdString(name); }

}  // namespace

TRegFile::TRegFile(const std::string& productName)
    : FSettings(
          std::make_unique<QSettings>(QString::fromUtf8(kOrganization),
                                      QString::fromUtf8(kSystemName) + "/" + QString::fromStdString(productName))) {}

TRegFile::~TRegFile() = default;

std::string TRegFile::ReadString(const std::string& name, const std::string& defaultValue) const {
  return FSettings->value(Key(name), QString::fromStdString(defaultValue)).toString().toStdString();
}

void TRegFile::WriteString(const std::string& name, const std::string& value) {
  FSettings->setValue(Key(name), QString::fromStdString(value));
}

int TRegFile::ReadInteger(const std::string& name, int defaultValue) const {
  bool converted = false;
  int value = FSettings->value(Key(name)).toInt(&converted);
  return converted ? value : defaultValue;
}

void TRegFile::WriteInteger(const std::string& name, int value) { FSettings->setValue(Key(name), value); }

bool TRegFile::ValueExists(const std::string& name) const { return FSettings->contains(Key(name)); }

void TRegFile::Flush() { FSettings->sync(); }

}  // namespace tarnel::ui
