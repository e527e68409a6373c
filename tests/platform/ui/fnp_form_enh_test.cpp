// A window comes back where it was closed; without a saved place, or with one off every
// screen, it is centred.
#include "platform/ui/fnp_form_enh.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <memory>

#include "platform/ui/reg_file.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"

namespace tarnel::ui {
namespace {

class FnpFormEnhTest : public ::testing::Test {
 protected:
  void SetUp() override { test::UseSettingsFolder(FFolder.Path()); }

  static std::unique_ptr<QWidget> NewForm(QSize size) {
    auto form = std::make_unique<QWidget>();
    form->setObjectName("MainForm");
    form->resize(size);
    return form;
  }

  QPoint CentredPlace(QWidget& form) {
    QRect frame = form.frameGeometry();
    frame.moveCenter(QGuiApplication::primaryScreen()->availableGeometry().center());
    return frame.topLeft();
  }

  test::TTempDir FFolder;
};

TEST_F(FnpFormEnhTest, SavedPlaceAndSizeComeBack) {
  TRegFile settings("Window Test");
  {
    std::unique_ptr<QWidget> form = NewForm(QSize(300, 200));
    TFnpFormEnh place(*form, settings);
    EXPECT_FALSE(place.Restore());
    EXPECT_EQ(form->pos(), CentredPlace(*form));
    form->move(40, 30);
    form->resize(320, 210);
    place.Save();
  }
  std::unique_ptr<QWidget> form = NewForm(QSize(100, 100));
  TFnpFormEnh place(*form, settings);
  EXPECT_TRUE(place.Restore());
  EXPECT_EQ(form->pos(), QPoint(40, 30));
  EXPECT_EQ(form->size(), QSize(320, 210));

  QWidget fixed;
  fixed.setObjectName("MainForm");
  fixed.setFixedSize(100, 80);
  TFnpFormEnh fixedPlace(fixed, settings);
  EXPECT_TRUE(fixedPlace.Restore());
  EXPECT_EQ(fixed.size(), QSize(100, 80));
}

TEST_F(FnpFormEnhTest, APlaceOffEveryScreenIsCentred) {
  TRegFile settings("Window Test");
  settings.WriteInteger("MainForm/Left", -100000);
  settings.WriteInteger("MainForm/Top", -100000);
  std::unique_ptr<QWidget> form = NewForm(QSize(300, 200));
  TFnpFormEnh place(*form, settings);
  EXPECT_FALSE(place.Restore());
  EXPECT_EQ(form->pos(), CentredPlace(*form));
}

}  // namespace
}  // namespace tarnel::ui
