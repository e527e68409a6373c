// Keeps a window's position and size among a program's settings (TRegFile): restored when the
// window is made, saved when it closes. Values live under the window's object name ("Left",
// "Top", "Width", "Height"), so that one program can keep several windows.
#pragma once

#include <string>

class QWidget;

namespace tarnel::ui {

class TRegFile;

class TFnpFormEnh {
 public:
  // `form` and `settings` must outlive this object.
  TFnpFormEnh(QWidget& form, TRegFile& settings);

  // Puts the window where it was saved, when a saved place lies on a screen; otherwise centres
  // it on the screen. A window of fixed size keeps its size. Answers whether a saved place was
  // used.
  bool Restore();
  void Save();

 private:
  std::string Name(const char* value) const;

  QWidget& FForm;
  TRegFile& FSettings;
};

}  // namespace tarnel::ui
