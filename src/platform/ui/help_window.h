// A program's help: one HTML file beside the program, shown whole in a help window (the
// contents) or one topic at a time in a pop-up by help context number ("What's This ?").
//
// The file marks each pop-up topic as <section id="context-N"> ... </section>, N being the
// context number that controls carry as their tag.
#pragma once

#include <QPointer>
#include <QString>

class QPoint;
class QTextBrowser;
class QWidget;

namespace tarnel::ui {

class THelpFile {
 public:
  explicit THelpFile(QString fileName);

  const QString& FileName() const { return FFileName; }
  // The HTML of topic `context`, or an empty text when the file has none (or cannot be read).
  QString Topic(int context) const;

  // Opens the help window (made on first use as a window of `owner`) at the beginning of the
  // file. An unreadable file is reported in an error box.
  void ShowContents(QWidget* owner);
  // Shows topic `context` in a pop-up at `globalPos`; it closes with the next click.
  void ShowContextPopup(int context, const QPoint& globalPos, QWidget* owner);

  // The help window, while it exists.
  QWidget* Window() const { return FWindow; }

 private:
  QString ReadAll() const;

  QString FFileName;
  QPointer<QWidget> FWindow;
  QPointer<QTextBrowser> FBrowser;
};

}  // namespace tarnel::ui
