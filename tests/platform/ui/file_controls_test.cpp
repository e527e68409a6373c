// The linked drive box, directory list and file list: the path from the root and the
// subfolders, entering a folder, the table mask regardless of letter case, the selection in
// list order.
#include "platform/ui/file_controls.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "support/qt_application.h"
#include "support/temp_dir.h"

namespace tarnel::ui {
namespace {

QStringList Texts(const QListWidget& list) {
  QStringList texts;
  for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
  return texts;
}

class FileControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FRoot = QDir(QString::fromStdString(FFolder.Path())).canonicalPath();
    QDir root(FRoot);
    root.mkdir("beta");
    root.mkdir("Alpha");
    root.mkdir(".hidden");
    for (const char* name : {"b.DBF", "a.db", "C.DB", "notes.txt", "d.dbt", ".e.db"}) {
      test::WriteWholeFile(FFolder.File(name), "x");
    }
    test::WriteWholeFile(FFolder.File("beta/INNER.DB"), "x");
    FDrives.SetDirList(&FDirectories);
    FDirectories.SetDriveCombo(&FDrives);
    FDirectories.SetFileList(&FFiles);
    FFiles.SetMask("*.DB;*.DBF");
    FDirectories.OnChange = [this](TDirectoryListBox& sender) { FChanges << sender.Directory(); };
  }

  test::TTempDir FFolder;
  QString FRoot;
  TDriveComboBox FDrives;
  TDirectoryListBox FDirectories;
  TFileListBox FFiles;
  QStringList FChanges;
};

TEST_F(FileControlsTest, TheDirectoryListShowsThePathThenTheSubfolders) {
  FDirectories.SetDirectory(FRoot + "/beta/..");
  EXPECT_EQ(FDirectories.Directory(), FRoot);
  QStringList expected{"/"};
  expected << FRoot.split('/', Qt::SkipEmptyParts) << "Alpha"
           << "beta";
  EXPECT_EQ(Texts(FDirectories), expected);
  EXPECT_EQ(FDirectories.currentItem()->text(), QDir(FRoot).dirName());
  EXPECT_EQ(Texts(FFiles), (QStringList{"a.db", "b.DBF", "C.DB"}));
  EXPECT_EQ(FDrives.Drive(), "/");
  EXPECT_EQ(FChanges, QStringList{FRoot});

  FDirectories.SetDirectory(FRoot + "/no such folder");
  EXPECT_EQ(FDirectories.Directory(), FRoot);
}

TEST_F(FileControlsTest, ActivatingAnEntryEntersItAndTheFileListFollows) {
  FDirectories.SetDirectory(FRoot);
  QListWidgetItem* beta = FDirectories.findItems("beta", Qt::MatchExactly).value(0);
  ASSERT_NE(beta, nullptr);
  emit FDirectories.itemActivated(beta);
  QCoreApplication::processEvents();
  EXPECT_EQ(FDirectories.Directory(), FRoot + "/beta");
  EXPECT_EQ(Texts(FFiles), QStringList{"INNER.DB"});
  FDirectories.resize(200, 300);
  FDirectories.show();
  QString top = "/" + FDirectories.item(1)->text();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&FDirectories));
  QPoint place = FDirectories.visualItemRect(FDirectories.item(1)).center();
  QTest::mouseClick(FDirectories.viewport(), Qt::LeftButton, {}, place);
  QTest::mouseDClick(FDirectories.viewport(), Qt::LeftButton, {}, place);
  QCoreApplication::processEvents();
  EXPECT_EQ(FDirectories.Directory(), top);
}

TEST_F(FileControlsTest, SelectedFilesComeInListOrder) {
  FDirectories.SetDirectory(FRoot);
  FFiles.item(2)->setSelected(true);
  FFiles.item(0)->setSelected(true);
  EXPECT_EQ(FFiles.SelectedFiles(), (QStringList{"a.db", "C.DB"}));
}

TEST_F(FileControlsTest, ChoosingADriveMovesTheDirectoryListToItsRoot) {
  FDirectories.SetDirectory(FRoot);
  ASSERT_GE(FDrives.count(), 2);
  EXPECT_EQ(FDrives.itemText(0), "/");
  EXPECT_EQ(FDrives.itemText(1), QDir::homePath());
  FDrives.setCurrentIndex(1);
  emit FDrives.activated(1);
  EXPECT_EQ(FDirectories.Directory(), QDir(QDir::homePath()).canonicalPath());
  EXPECT_EQ(FDrives.Drive(), QDir::homePath());
}

}  // namespace
}  // namespace tarnel::ui
