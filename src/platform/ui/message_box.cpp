#include "platform/ui/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace tarnel::ui {

namespace {

void Show(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
  QMessageBox box(icon, QGuiApplication::applicationDisplayName(), QString::fromStdString(text), QMessageBox::Ok,
                  parent);
  box.setObjectName(icon == QMessageBox::Critical ? "ErrorBox" : "InformationBox");
  box.exec();
}

}  // namespace

void ShowInformation(QWidget* parent, const std::string& text) { Show(parent, QMessageBox::Information, text); }

void ShowError(QWidget* parent, const std::string& text) { Show(parent, QMessageBox::Critical, text); }

}  // namespace tarnel::ui
