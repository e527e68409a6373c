#include "platform/ui/help_window.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/ui/message_box.h"

namespace tarnel::ui {

namespace {

constexpr char kSectionEnd[] = "</section>";

}  // namespace

THelpFile::THelpFile(QString fileName) : FFileName(std::move(fileName)) {}

QString THelpFile::ReadAll() const {
  QFile file(FFileName);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

QString THelpFile::Topic(int context) const {
  QString html = ReadAll();
  QString start = QString("<section id=\"context-%1\">").arg(context);
  qsizetype from = html.indexOf(start);
  if (from < 0) return QString();
  from += start.size();
  qsizetype to = html.indexOf(kSectionEnd, from);
  if (to < 0) return QString();
  return html.mid(from, to - from).trimmed();
}

void THelpFile::ShowContents(QWidget* owner) {
  if (!QFile::exists(FFileName)) {
    ShowError(owner, "Cannot open the help file " + FFileName.toStdString() + ".");
    return;
  }
  if (FWindow == nullptr) {
    FWindow = new QWidget(owner, Qt::Window);
    FWindow->setObjectName("HelpWindow");
    FWindow->setWindowTitle(QGuiApplication::applicationDisplayName() + " Help");
    FBrowser = new QTextBrowser(FWindow);
    FBrowser->setObjectName("HelpBrowser");
    FBrowser->setOpenExternalLinks(true);
    QVBoxLayout* layout = new QVBoxLayout(FWindow);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FBrowser);
    FWindow->resize(560, 480);
  }
  FBrowser->setSource(QUrl::fromLocalFile(FFileName));
  FBrowser->scrollToAnchor("contents");
  FWindow->show();
  FWindow->raise();
  FWindow->activateWindow();
}

void THelpFile::ShowContextPopup(int context, const QPoint& globalPos, QWidget* owner) {
  QString topic = Topic(context);
  if (topic.isEmpty()) topic = QString("No help is available for this item (context %1).").arg(context);
  QLabel* popup = new QLabel(owner, Qt::Popup);
  popup->setObjectName("HelpPopupTopic");
  popup->setAttribute(Qt::WA_DeleteOnClose);
  popup->setTextFormat(Qt::RichText);
  popup->setWordWrap(true);
  popup->setFrameShape(QFrame::Box);
  popup->setMargin(8);
  popup->setMaximumWidth(360);
  popup->setAutoFillBackground(true);
  popup->setBackgroundRole(QPalette::ToolTipBase);
  popup->setForegroundRole(QPalette::ToolTipText);
  popup->setText(topic);
  popup->adjustSize();
  popup->move(globalPos);
  popup->show();
}

}  // namespace tarnel::ui
