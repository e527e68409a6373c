// The utility's about box, TAboutBox: made hidden with the main window and shown modally by
// its About button.
#pragma once

#include "platform/ui/about_dialog.h"

namespace tarnel::tolbrin {

class TAboutBox : public ui::TAboutDialog {
 public:
  explicit TAboutBox(QWidget* parent = nullptr) : ui::TAboutDialog(parent) {}

  // Takes the texts from the program's version information.
  void FormCreate(const ui::TInfoVersion& info) { SetVersionInfo(info); }
};

}  // namespace tarnel::tolbrin
