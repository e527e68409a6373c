// The utility's one window, TMainForm: the user picks the source directory and tables, the
// destination directory, the new tables' version number, language and sort and whether texts
// are transliterated, and starts the transfer. Controls carry their help context numbers as
// their "Tag" property; the pop-up menu of every control offers "What's This ?".
#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/ui/help_window.h"
#include "platform/ui/info_version.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace tarnel::ui {
class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;
class TFnpFormEnh;
class TRegFile;
}  // namespace tarnel::ui

namespace tarnel::tolbrin {

class TAboutBox;

class TMainForm : public QWidget {
 public:
  static constexpr int kClientWidth = 625;
  static constexpr int kClientHeight = 371;

  // `helpFileName` is the HTML help file beside the program.
  TMainForm(const ui::TInfoVersion& info, const QString& helpFileName, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Event handlers.
  void FormCreate();
  void FormShow();
  void FormClose();
  void BeginButtonClick();
  void CloseButtonClick();
  void UsageButtonClick();
  void AboutButtonClick();
  void WhatsThisItemClick();
  // Answers whether a key typed into a version edit is refused: only digits, backspace and
  // Enter are taken.
  bool UserMajorVersionEditKeyPress(QWidget* edit, QEvent* event);

  QLabel* Label1 = nullptr;
  QLabel* Label9 = nullptr;
  QLineEdit* UserMajorVersionEdit = nullptr;
  QLineEdit* UserMinorVersionEdit = nullptr;
  QLabel* Label7 = nullptr;
  QComboBox* LanguageComboBox = nullptr;
  QLabel* Label8 = nullptr;
  QComboBox* SortComboBox = nullptr;
  QCheckBox* TransliterateCheckBox = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  ui::TDriveComboBox* SourceDriveComboBox = nullptr;
  ui::TDirectoryListBox* SourceDirectoryListBox = nullptr;
  QGroupBox* FilesGroupBox = nullptr;
  ui::TFileListBox* FilesListBox = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  ui::TDriveComboBox* DestDriveComboBox = nullptr;
  ui::TDirectoryListBox* DestDirectoryListBox = nullptr;
  QPushButton* BeginButton = nullptr;
  QPushButton* CloseButton = nullptr;
  QPushButton* UsageButton = nullptr;
  QPushButton* AboutButton = nullptr;
  QFrame* MainPanel = nullptr;
  QLabel* StatusBar = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QMenu* HelpPopup = nullptr;
  QAction* WhatsThisItem = nullptr;
  TAboutBox* AboutBox = nullptr;

  ui::THelpFile& HelpFile() { return FHelpFile; }
  // The control the pop-up menu was last opened on.
  QWidget* PopupComponent() const { return FPopupComponent; }
  bool Running() const { return FRunning; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void SetTags();
  void ShowHelpPopup(QWidget* control, const QPoint& position);
  void SetRunning(bool running);
  void ShowProgress(int64_t copied, int64_t recordCount);

  ui::TInfoVersion FInfoVersion;
  std::unique_ptr<ui::TRegFile> FRegistrySettings;
  std::unique_ptr<ui::TFnpFormEnh> FFormSettings;
  ui::THelpFile FHelpFile;
  QWidget* FContent = nullptr;
  QPointer<QWidget> FPopupComponent;
  QPoint FPopupPosition;
  bool FRunning = false;
  QElapsedTimer FSinceRepaint;
};

}  // namespace tarnel::tolbrin
