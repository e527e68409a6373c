// Window tests: one QApplication for the whole test program (made before the first test and
// freed after the last, under the offscreen platform the test main selects), settings written
// into a temporary folder, and a helper that answers the modal boxes a test provokes.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Qt texts in test failures as texts, not as arrays of characters.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << '{' << texts.join(", ").toStdString() << '}';
}

class QWidget;

namespace tarnel::test {

// Sends QSettings' user files into `folder` (for the rest of the program).
void UseSettingsFolder(const std::string& folder);

// While it exists, presses OK on every modal box that opens (message boxes and dialogs) and
// keeps their texts, in order. `onShown` runs while each box is open, before it is closed.
class TModalAnswerer {
 public:
  explicit TModalAnswerer(std::function<void(QWidget& box)> onShown = nullptr);
  ~TModalAnswerer();
  TModalAnswerer(const TModalAnswerer&) = delete;
  TModalAnswerer& operator=(const TModalAnswerer&) = delete;

  // The texts of the message boxes answered, and the object names of the boxes.
  const std::vector<std::string>& Texts() const { return FTexts; }
  const std::vector<std::string>& Boxes() const { return FBoxes; }

 private:
  void Answer();

  QTimer FTimer;
  std::function<void(QWidget& box)> FOnShown;
  std::vector<std::string> FTexts;
  std::vector<std::string> FBoxes;
};

}  // namespace tarnel::test
