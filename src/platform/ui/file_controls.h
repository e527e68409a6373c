// The three linked file controls of a directory picker: a drive box (the roots of the mounted
// file systems and the home folder), a directory list (the path from the root down to the
// current folder, then its subfolders; activating an entry enters it) and a file list (the
// current folder's files that match a mask, several of which may be selected). The drive box
// drives the directory list and the directory list drives the file list.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <functional>

namespace tarnel::ui {

class TDirectoryListBox;
class TFileListBox;

class TDriveComboBox : public QComboBox {
 public:
  explicit TDriveComboBox(QWidget* parent = nullptr);

  // The directory list that choosing a drive moves to the drive's root.
  void SetDirList(TDirectoryListBox* list) { FDirList = list; }
  QString Drive() const;
  // Selects the drive that holds `path` (the one with the longest root that is a prefix of it).
  void ShowDriveOf(const QString& path);

 private:
  TDirectoryListBox* FDirList = nullptr;
};

class TDirectoryListBox : public QListWidget {
 public:
  explicit TDirectoryListBox(QWidget* parent = nullptr);

  const QString& Directory() const { return FDirectory; }
  // Makes `path` (made absolute and clean) the current folder; a path that is no readable
  // folder leaves the current one. Runs OnChange and updates the linked controls.
  void SetDirectory(const QString& path);
  void SetFileList(TFileListBox* list);
  void SetDriveCombo(TDriveComboBox* combo);

  std::function<void(TDirectoryListBox& sender)> OnChange;

 private:
  void Fill();

  QString FDirectory;
  TFileListBox* FFileList = nullptr;
  TDriveComboBox* FDriveCombo = nullptr;
};

class TFileListBox : public QListWidget {
 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  // File name patterns separated by ";" ("*.DB;*.DBF"), matched regardless of letter case.
  void SetMask(const QString& mask);
  const QString& Mask() const { return FMask; }
  void SetDirectory(const QString& path);
  const QString& Directory() const { return FDirectory; }
  // Reads the folder again.
  void Update();
  // The selected file names, in list order.
  QStringList SelectedFiles() const;

 private:
  QString FMask;
  QString FDirectory;
};

}  // namespace tarnel::ui
