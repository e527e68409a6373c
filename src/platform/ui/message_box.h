// Message boxes with an OK button that wait until the user presses it. The caption is the
// application title (the application display name).
#pragma once

#include <string>

class QWidget;

namespace tarnel::ui {

// An information box ("ShowMessage"), as programs report what they do.
void ShowInformation(QWidget* parent, const std::string& text);
// An error box, as the default handling of an exception shows its message.
void ShowError(QWidget* parent, const std::string& text);

}  // namespace tarnel::ui
