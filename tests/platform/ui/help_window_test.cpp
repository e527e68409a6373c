// The help file's topics by context number, the contents window and the pop-up topic.
#include "platform/ui/help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTextBrowser>

#include "support/qt_application.h"
#include "support/temp_dir.h"

namespace tarnel::ui {
namespace {

constexpr char kHelp[] =
    "<html><body><h1 id=\"contents\">Help</h1><p>Overview text.</p>\n"
    "<section id=\"context-1\"><p><b>First</b> control.</p></section>\n"
    "<section id=\"context-12\">\n<p>Twelfth.</p>\n</section>\n"
    "<section id=\"context-127\"><p>The window.</p></section></body></html>";

QLabel* TopicPopup() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == "HelpPopupTopic" && widget->isVisible()) return static_cast<QLabel*>(widget);
  }
  return nullptr;
}

TEST(HelpWindowTest, TopicsByContextNumber) {
  test::TTempDir folder;
  test::WriteWholeFile(folder.File("program.html"), kHelp);
  THelpFile help(QString::fromStdString(folder.File("program.html")));
  EXPECT_EQ(help.Topic(1), "<p><b>First</b> control.</p>");
  EXPECT_EQ(help.Topic(12), "<p>Twelfth.</p>");
  EXPECT_EQ(help.Topic(127), "<p>The window.</p>");
  EXPECT_EQ(help.Topic(2), "");
  EXPECT_EQ(THelpFile(QString::fromStdString(folder.File("missing.html"))).Topic(1), "");
}

TEST(HelpWindowTest, ContentsOpenInAHelpWindowAndTopicsInAPopup) {
  test::TTempDir folder;
  test::WriteWholeFile(folder.File("program.html"), kHelp);
  QWidget owner;
  THelpFile help(QString::fromStdString(folder.File("program.html")));
  help.ShowContents(&owner);
  ASSERT_NE(help.Window(), nullptr);
  EXPECT_TRUE(help.Window()->isVisible());
  auto* browser = help.Window()->findChild<QTextBrowser*>("HelpBrowser");
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->toPlainText().contains("Overview text."));
  QWidget* first = help.Window();
  help.ShowContents(&owner);
  EXPECT_EQ(help.Window(), first);

  help.ShowContextPopup(12, QPoint(10, 10), &owner);
  QLabel* popup = TopicPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->text(), "<p>Twelfth.</p>");
  popup->close();
  QApplication::processEvents();
  help.ShowContextPopup(99, QPoint(10, 10), &owner);
  popup = TopicPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->text().contains("context 99"));
  popup->close();
}

TEST(HelpWindowTest, AMissingHelpFileIsReported) {
  test::TTempDir folder;
  QWidget owner;
  THelpFile help(QString::fromStdString(folder.File("missing.html")));
  test::TModalAnswerer answerer;
  help.ShowContents(&owner);
  ASSERT_EQ(answerer.Texts().size(), 1u);
  EXPECT_NE(answerer.Texts()[0].find("missing.html"), std::string::npos);
  EXPECT_EQ(help.Window(), nullptr);
}

}  // namespace
}  // namespace tarnel::ui
