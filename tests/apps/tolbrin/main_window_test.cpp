// The utility's window under Qt's offscreen platform: its controls, captions and tags, the
// version edits, the remembered directories and position, help and the about box, and a
// transfer driven through the widgets with its boxes, disabled window and progress gauge.
// Screenshots of the window go beside the test program.
#include "apps/tolbrin/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <set>

#include "apps/tolbrin/about_box.h"
#include "apps/tolbrin/program_version.h"
#include "apps/tolbrin/transfer_structure.h"
#include "platform/locale/language_table.h"
#include "platform/ui/file_controls.h"
#include "support/fixtures.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "transfer_test_support.h"

namespace tarnel::tolbrin {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { test::UseSettingsFolder(FSettings.Path()); }

  std::unique_ptr<TMainForm> NewForm() {
    auto form = std::make_unique<TMainForm>(ProgramVersion(), TOLBRIN_HELP_FILE);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
  }

  static QString Path(const std::string& path) { return QString::fromStdString(path); }

  static void Select(TMainForm& form, const QStringList& names) {
    ui::TFileListBox& list = *form.FilesListBox;
    Qt::KeyboardModifiers modifiers;
    for (const QString& name : names) {
      QListWidgetItem* item = list.findItems(name, Qt::MatchExactly).value(0);
      ASSERT_NE(item, nullptr) << name.toStdString();
      QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, list.visualItemRect(item).center());
      modifiers = Qt::ControlModifier;
    }
  }

  static void Screenshot(QWidget& window, const char* name) {
    QImage image = window.grab().toImage();
    EXPECT_EQ(image.size(), QSize(TMainForm::kClientWidth, TMainForm::kClientHeight));
    EXPECT_TRUE(image.save(QString(TOLBRIN_SCREENSHOT_DIR) + "/" + name));
  }

  test::TTempDir FSettings;
};

TEST_F(MainWindowTest, TheWindowHasItsControlsCaptionsAndTags) {
  std::unique_ptr<TMainForm> form = NewForm();
  EXPECT_EQ(form->windowTitle(), "TARNEL Table Transfer Utility");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "TARNEL Table Transfer Utility");
  EXPECT_EQ(form->size(), QSize(625, 371));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  Qt::WindowFlags flags = form->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

  EXPECT_EQ(form->Label1->text(),
            "This utility will copy all structures and existing data in the selected Paradox or dBase tables to the "
            "equivalent TARNEL table in the destintation directory specified.");
  EXPECT_EQ(form->Label9->text(), "Version #");
  EXPECT_EQ(form->Label7->text(), "Language");
  EXPECT_EQ(form->Label8->text(), "Sort");
  EXPECT_EQ(form->TransliterateCheckBox->text(),
            "Transliterate Source Table Fields Before Transferring to TARNEL Format");
  EXPECT_EQ(form->GroupBox1->title(), "Select Source Drive and Directory");
  EXPECT_EQ(form->FilesGroupBox->title(), "Select Paradox / dBase Tables (*.DB *.DBF)");
  EXPECT_EQ(form->GroupBox2->title(), "Select Dest Drive and Directory");
  EXPECT_EQ(form->BeginButton->text(), "&Begin Transfer...");
  EXPECT_EQ(form->CloseButton->text(), "&Close");
  EXPECT_EQ(form->UsageButton->text(), "&Help...");
  EXPECT_EQ(form->AboutButton->text(), "&About...");
  EXPECT_EQ(form->WhatsThisItem->text(), "What's This ?");
  EXPECT_EQ(form->FilesListBox->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(form->FilesListBox->Mask(), "*.DB;*.DBF");

  ASSERT_EQ(form->LanguageComboBox->count(), 106);
  for (int i = 0; i < 106; ++i) {
    EXPECT_EQ(form->LanguageComboBox->itemText(i), locale::Languages()[static_cast<size_t>(i)].Name);
  }
  ASSERT_EQ(form->SortComboBox->count(), 1);
  EXPECT_EQ(form->SortComboBox->itemText(0), "Default Order");

  // What the window shows when it opens.
  EXPECT_EQ(form->UserMajorVersionEdit->text(), "1");
  EXPECT_EQ(form->UserMinorVersionEdit->text(), "0");
  EXPECT_EQ(form->LanguageComboBox->currentText(), "Machine ASCII");
  EXPECT_EQ(form->SortComboBox->currentText(), "Default Order");
  EXPECT_TRUE(form->TransliterateCheckBox->isChecked());
  EXPECT_EQ(form->StatusBar->text(), "");
  EXPECT_FALSE(form->ProgressBar->isVisible());
  EXPECT_EQ(form->ProgressBar->value(), 0);

  std::set<int> tags;
  for (QWidget* widget : form->findChildren<QWidget*>()) {
    if (widget->property("Tag").isValid()) tags.insert(widget->property("Tag").toInt());
  }
  tags.insert(form->property("Tag").toInt());
  std::set<int> expected{127};
  for (int tag = 1; tag <= 15; ++tag) expected.insert(tag);
  EXPECT_EQ(tags, expected);
}

TEST_F(MainWindowTest, TheVersionEditsTakeOnlyDigitsBackspaceAndEnter) {
  std::unique_ptr<TMainForm> form = NewForm();
  for (QLineEdit* edit : {form->UserMajorVersionEdit, form->UserMinorVersionEdit}) {
    edit->clear();
    QTest::keyClicks(edit, "1a2.b3 -4");
    EXPECT_EQ(edit->text(), "1234");
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "123");
  }
}

TEST_F(MainWindowTest, DirectoriesAndTheWindowsPlaceAreRemembered) {
  test::TTempDir source;
  test::TTempDir destination;
  {
    std::unique_ptr<TMainForm> form = NewForm();
    EXPECT_EQ(form->SourceDirectoryListBox->Directory(), QDir::currentPath());
    EXPECT_EQ(form->DestDirectoryListBox->Directory(), QDir::currentPath());
    form->SourceDirectoryListBox->SetDirectory(Path(source.Path()));
    form->DestDirectoryListBox->SetDirectory(Path(destination.Path()));
    form->move(50, 60);
    QTest::mouseClick(form->CloseButton, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
  }
  std::unique_ptr<TMainForm> form = NewForm();
  EXPECT_EQ(form->SourceDirectoryListBox->Directory(), QDir(Path(source.Path())).canonicalPath());
  EXPECT_EQ(form->DestDirectoryListBox->Directory(), QDir(Path(destination.Path())).canonicalPath());
  EXPECT_EQ(form->pos(), QPoint(50, 60));
}

TEST_F(MainWindowTest, HelpContentsWhatsThisAndTheAboutBox) {
  std::unique_ptr<TMainForm> form = NewForm();
  QTest::mouseClick(form->UsageButton, Qt::LeftButton);
  ASSERT_NE(form->HelpFile().Window(), nullptr);
  EXPECT_TRUE(form->HelpFile().Window()->isVisible());
  EXPECT_TRUE(form->HelpFile().Window()->grab().save(QString(TOLBRIN_SCREENSHOT_DIR) + "/tolbrin_help.png"));
  form->HelpFile().Window()->close();

  for (auto [control, tag] : {std::pair<QWidget*, int>{form->LanguageComboBox, 3},
                              {form->FilesListBox, 8},
                              {form->BeginButton, 11},
                              {form.get(), 127}}) {
    QWidget* target = control == form->FilesListBox ? form->FilesListBox->viewport() : control;
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), target->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(target, &event);
    EXPECT_TRUE(form->HelpPopup->isVisible());
    EXPECT_EQ(form->PopupComponent(), control);
    form->WhatsThisItem->trigger();
    form->HelpPopup->close();
    QLabel* topic = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == "HelpPopupTopic" && widget->isVisible()) topic = static_cast<QLabel*>(widget);
    }
    ASSERT_NE(topic, nullptr) << tag;
    EXPECT_EQ(topic->text(), form->HelpFile().Topic(tag)) << tag;
    EXPECT_FALSE(topic->text().isEmpty()) << tag;
    if (tag == 3) {
      EXPECT_TRUE(topic->grab().save(QString(TOLBRIN_SCREENSHOT_DIR) + "/tolbrin_whats_this.png"));
    }
    topic->close();
    QApplication::processEvents();
  }

  std::vector<std::string> about;
  test::TModalAnswerer answerer([&](QWidget& box) {
    auto& dialog = static_cast<TAboutBox&>(box);
    about = {dialog.windowTitle().toStdString(), dialog.ProductName->text().toStdString(),
             dialog.Version->text().toStdString()};
    EXPECT_TRUE(dialog.grab().save(QString(TOLBRIN_SCREENSHOT_DIR) + "/tolbrin_about_box.png"));
  });
  QTest::mouseClick(form->AboutButton, Qt::LeftButton);
  EXPECT_EQ(answerer.Boxes(), std::vector<std::string>{"AboutBox"});
  EXPECT_EQ(about, (std::vector<std::string>{"About TARNEL Table Transfer Utility", "TARNEL Table Transfer Utility",
                                             "Version " TARNEL_VERSION}));
}

TEST_F(MainWindowTest, ATransferDrivenThroughTheWidgets) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir root;
  test::TTempDir destination;
  std::filesystem::create_directory(root.File("tables"));
  for (const char* name : {"DIGITS.DB", "KEYED.DB", "KEYED.PX", "TYPES.DB", "TYPES.MB"}) {
    std::filesystem::copy_file(fixtures + "/paradox/generated/" + name, root.File("tables/") + name);
  }
  std::unique_ptr<TMainForm> form = NewForm();
  form->SourceDirectoryListBox->SetDirectory(Path(root.Path()));
  form->DestDirectoryListBox->SetDirectory(Path(destination.Path()));
  ui::TDirectoryListBox& directories = *form->SourceDirectoryListBox;
  QListWidgetItem* tables = directories.findItems("tables", Qt::MatchExactly).value(0);
  ASSERT_NE(tables, nullptr);
  QPoint place = directories.visualItemRect(tables).center();
  QTest::mouseClick(directories.viewport(), Qt::LeftButton, {}, place);
  QTest::mouseDClick(directories.viewport(), Qt::LeftButton, {}, place);
  QApplication::processEvents();
  ASSERT_EQ(directories.Directory(), QDir(Path(root.File("tables"))).canonicalPath());
  EXPECT_EQ(form->FilesListBox->count(), 3);
  Select(*form, {"DIGITS.DB", "KEYED.DB"});
  form->UserMajorVersionEdit->clear();
  QTest::keyClicks(form->UserMajorVersionEdit, "2");

  struct TSeen {
    std::string Text;
    bool BeginEnabled;
    bool Waiting;
    std::string Status;
    bool Gauge;
  };
  std::vector<TSeen> seen;
  bool screenshotTaken = false;
  test::TModalAnswerer answerer([&](QWidget& box) {
    const QCursor* cursor = QApplication::overrideCursor();
    seen.push_back({static_cast<QMessageBox&>(box).text().toStdString(), form->BeginButton->isEnabled(),
                    cursor != nullptr && cursor->shape() == Qt::WaitCursor, form->StatusBar->text().toStdString(),
                    form->ProgressBar->isVisible()});
    if (!screenshotTaken) {
      Screenshot(*form, "tolbrin_main_window_transferring.png");
      screenshotTaken = true;
    }
  });
  QTest::mouseClick(form->BeginButton, Qt::LeftButton);

  std::string status = " Transferring table DIGITS.DB to TARNEL table...";
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0].Text, FieldRenamedMessage("1STNAME", "DIGITS.DB"));
  EXPECT_EQ(seen[3].Text, RecordIdAddedMessage("DIGITS.DB"));
  EXPECT_EQ(seen[4].Text, "Transfer completed successfully.");
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(seen[i].BeginEnabled);
    EXPECT_TRUE(seen[i].Waiting);
    EXPECT_EQ(seen[i].Status, status);
    EXPECT_TRUE(seen[i].Gauge);
  }
  EXPECT_FALSE(seen[4].BeginEnabled);
  EXPECT_EQ(seen[4].Status, "");
  EXPECT_FALSE(seen[4].Gauge);
  EXPECT_EQ(answerer.Boxes(), std::vector<std::string>(5, "InformationBox"));
  EXPECT_TRUE(form->BeginButton->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(form->ProgressBar->isVisible());
  EXPECT_EQ(form->StatusBar->text(), "");

  std::string source = root.File("tables");
  test::ExpectSameValues(source, "DIGITS.DB", destination.Path(), true);
  test::ExpectSameValues(source, "KEYED.DB", destination.Path(), true);
  test::TTransferredTable keyed(destination.Path(), "KEYED.DB");
  EXPECT_EQ(keyed.Table().Header().UserMajorVersion, 2);
}

TEST_F(MainWindowTest, RefusalsAndFailuresAreShownInErrorBoxes) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  std::unique_ptr<TMainForm> form = NewForm();
  form->SourceDirectoryListBox->SetDirectory(Path(fixtures + "/paradox/generated"));
  form->DestDirectoryListBox->SetDirectory(Path(destination.Path()));
  Select(*form, {"TYPES.DB"});
  form->UserMinorVersionEdit->setText("99999");
  {
    test::TModalAnswerer answerer;
    QTest::mouseClick(form->BeginButton, Qt::LeftButton);
    EXPECT_EQ(answerer.Texts(),
              std::vector<std::string>{"The user-defined minor version # must be between 0 and 65535"});
    EXPECT_EQ(answerer.Boxes(), std::vector<std::string>{"ErrorBox"});
    EXPECT_TRUE(std::filesystem::is_empty(destination.Path()));
  }
  form->UserMinorVersionEdit->setText("0");
  bool enabledAtError = false;
  test::TModalAnswerer answerer([&](QWidget& box) {
    if (box.objectName() == "ErrorBox") enabledAtError = form->BeginButton->isEnabled();
  });
  QTest::mouseClick(form->BeginButton, Qt::LeftButton);
  ASSERT_FALSE(answerer.Boxes().empty());
  EXPECT_EQ(answerer.Boxes().back(), "ErrorBox");
  EXPECT_NE(answerer.Texts().back().find("TYPES.DB, field Exact"), std::string::npos);
  // The failure is shown once the window is usable again.
  EXPECT_TRUE(enabledAtError);
  EXPECT_TRUE(form->BeginButton->isEnabled());
}

TEST_F(MainWindowTest, Screenshot) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  std::unique_ptr<TMainForm> form = NewForm();
  form->SourceDirectoryListBox->SetDirectory(Path(fixtures + "/paradox/generated"));
  form->DestDirectoryListBox->SetDirectory(Path(destination.Path()));
  Select(*form, {"DIGITS.DB", "KEYED.DB"});
  QApplication::processEvents();
  Screenshot(*form, "tolbrin_main_window.png");
}

}  // namespace
}  // namespace tarnel::tolbrin
