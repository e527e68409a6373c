// The about box shows the version information and closes with OK.
#include "platform/ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "support/qt_application.h"

namespace tarnel::ui {
namespace {

TEST(AboutDialogTest, ShowsTheVersionInformationModally) {
  TInfoVersion info;
  info.ProductName = "Some Product";
  info.ProductVersion = "2.3.4";
  info.FileDescription = "Does things.";
  info.LegalCopyright = "Copyright Someone";
  info.Comments = "More words.";
  TAboutDialog dialog;
  dialog.SetVersionInfo(info);
  EXPECT_EQ(dialog.windowTitle(), "About Some Product");
  EXPECT_EQ(dialog.ProductName->text(), "Some Product");
  EXPECT_EQ(dialog.Version->text(), "Version 2.3.4");
  EXPECT_EQ(dialog.Description->text(), "Does things.");
  EXPECT_EQ(dialog.Copyright->text(), "Copyright Someone");
  EXPECT_EQ(dialog.Comments->text(), "More words.");
  test::TModalAnswerer answerer;
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(answerer.Boxes(), std::vector<std::string>{"AboutBox"});
}

}  // namespace
}  // namespace tarnel::ui
