// Settings survive the object that wrote them, under the organisation and application the
// programs share, and a missing value gives the default.
#include "platform/ui/reg_file.h"

#include <gtest/gtest.h>

#include <QFile>

#include "support/qt_application.h"
#include "support/temp_dir.h"

namespace tarnel::ui {
namespace {

TEST(RegFileTest, ValuesSurviveInTheProgramsOwnSettingsFile) {
  test::TTempDir folder;
  test::UseSettingsFolder(folder.Path());
  {
    TRegFile settings("Some Product");
    EXPECT_FALSE(settings.ValueExists("Source Directory"));
    EXPECT_EQ(settings.ReadString("Source Directory", "/fallback"), "/fallback");
    EXPECT_EQ(settings.ReadInteger("Left", -7), -7);
    settings.WriteString("Source Directory", "/data/tables");
    settings.WriteInteger("Left", 42);
  }
  TRegFile again("Some Product");
  EXPECT_EQ(again.ReadString("Source Directory", ""), "/data/tables");
  EXPECT_EQ(again.ReadInteger("Left", 0), 42);
  EXPECT_TRUE(
      QFile::exists(QString::fromStdString(folder.Path() + "/Corvane/TARNEL Database System/Some Product.conf")));
  TRegFile other("Other Product");
  EXPECT_EQ(other.ReadString("Source Directory", "none"), "none");
}

}  // namespace
}  // namespace tarnel::ui
