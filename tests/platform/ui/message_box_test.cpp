// Message boxes wait for OK and carry the application title as their caption.
#include "platform/ui/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "support/qt_application.h"

namespace tarnel::ui {
namespace {

TEST(MessageBoxTest, BoxesWaitForOkWithTheApplicationTitle) {
  QGuiApplication::setApplicationDisplayName("Box Test");
  std::vector<std::string> captions;
  std::vector<int> icons;
  test::TModalAnswerer answerer([&](QWidget& box) {
    captions.push_back(box.windowTitle().toStdString());
    icons.push_back(static_cast<int>(static_cast<QMessageBox&>(box).icon()));
  });
  ShowInformation(nullptr, "First message.");
  // The call returned only once the box was answered.
  ASSERT_EQ(answerer.Texts().size(), 1u);
  ShowError(nullptr, "Second message.");
  EXPECT_EQ(answerer.Texts(), (std::vector<std::string>{"First message.", "Second message."}));
  EXPECT_EQ(answerer.Boxes(), (std::vector<std::string>{"InformationBox", "ErrorBox"}));
  EXPECT_EQ(captions, (std::vector<std::string>{"Box Test", "Box Test"}));
  EXPECT_EQ(icons, (std::vector<int>{QMessageBox::Information, QMessageBox::Critical}));
}

}  // namespace
}  // namespace tarnel::ui
