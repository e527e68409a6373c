// The about box of a program: its icon, product name, version, description and legal notice
// from its version information, and an OK button. Shown modally.
#pragma once

#include <QDialog>

#include "platform/ui/info_version.h"

class QLabel;

namespace tarnel::ui {

class TAboutDialog : public QDialog {
 public:
  explicit TAboutDialog(QWidget* parent = nullptr);

  // Fills the texts from the version information; the caption is "About " and the product name,
  // the icon the application's.
  void SetVersionInfo(const TInfoVersion& info);

  QLabel* Icon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Description = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* Comments = nullptr;
};

}  // namespace tarnel::ui
