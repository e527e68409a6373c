#include "support/qt_application.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QSettings>

namespace tarnel::test {

namespace {

class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { FApplication = new QApplication(FArgumentCount, FArguments); }
  void TearDown() override {
    delete FApplication;
    FApplication = nullptr;
  }

 private:
  char FName[16] = "tarnel_test";
  char* FArguments[2] = {FName, nullptr};
  int FArgumentCount = 1;
  QApplication* FApplication = nullptr;
};

const ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace

void UseSettingsFolder(const std::string& folder) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(folder));
}

TModalAnswerer::TModalAnswerer(std::function<void(QWidget& box)> onShown) : FOnShown(std::move(onShown)) {
  FTimer.setInterval(5);
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Answer(); });
  FTimer.start();
}

TModalAnswerer::~TModalAnswerer() { FTimer.stop(); }

void TModalAnswerer::Answer() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible()) return;
  FBoxes.push_back(modal->objectName().toStdString());
  if (FOnShown) FOnShown(*modal);
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    FTexts.push_back(box->text().toStdString());
    box->button(QMessageBox::Ok)->click();
  } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
    dialog->accept();
  }
}

}  // namespace tarnel::test
