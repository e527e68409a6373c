#include "platform/ui/file_controls.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>

namespace tarnel::ui {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 10;
constexpr int kIconSize = 16;

// Draws each entry of the directory list moved right by its depth below the root.
class TIndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem moved(option);
    moved.rect.setLeft(moved.rect.left() + Indent(index));
    QStyledItemDelegate::paint(painter, moved, index);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    return QSize(size.width() + Indent(index), size.height());
  }

 private:
  static int Indent(const QModelIndex& index) { return index.data(kDepthRole).toInt() * kIndentPerLevel; }
};

bool IsUnder(const QString& path, const QString& root) {
  if (root == "/") return path.startsWith('/');
  return path == root || path.startsWith(root + "/");
}

}  // namespace

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
  QStringList roots{"/", QDir::homePath()};
  QStringList mounted;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady() || !volume.device().startsWith("/dev/")) continue;
    if (!roots.contains(volume.rootPath()) && !mounted.contains(volume.rootPath())) mounted << volume.rootPath();
  }
  mounted.sort();
  roots << mounted;
  for (const QString& root : roots) {
    QStyle::StandardPixmap icon = root == QDir::homePath() ? QStyle::SP_DirHomeIcon : QStyle::SP_DriveHDIcon;
    addItem(style()->standardIcon(icon), root, root);
  }
  connect(this, &QComboBox::activated, this, [this](int) {
    if (FDirList != nullptr) FDirList->SetDirectory(Drive());
  });
}

QString TDriveComboBox::Drive() const { return currentData().toString(); }

void TDriveComboBox::ShowDriveOf(const QString& path) {
  int best = 0;
  qsizetype bestLength = -1;
  for (int i = 0; i < count(); ++i) {
    QString root = itemData(i).toString();
    if (IsUnder(path, root) && root.size() > bestLength) {
      best = i;
      bestLength = root.size();
    }
  }
  setCurrentIndex(best);
}

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
  setIconSize(QSize(kIconSize, kIconSize));
  setItemDelegate(new TIndentDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Entered once the activation is over: refilling the list deletes the activated entry.
  connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    QString path = item->data(kPathRole).toString();
    QMetaObject::invokeMethod(
        this, [this, path] { SetDirectory(path); }, Qt::QueuedConnection);
  });
}

void TDirectoryListBox::SetDirectory(const QString& path) {
  QFileInfo info(path);
  if (!info.isDir() || !info.isReadable()) return;
  FDirectory = QDir::cleanPath(info.absoluteFilePath());
  Fill();
  if (FFileList != nullptr) FFileList->SetDirectory(FDirectory);
  if (FDriveCombo != nullptr) FDriveCombo->ShowDriveOf(FDirectory);
  if (OnChange) OnChange(*this);
}

void TDirectoryListBox::SetFileList(TFileListBox* list) {
  FFileList = list;
  if (FFileList != nullptr && !FDirectory.isEmpty()) FFileList->SetDirectory(FDirectory);
}

void TDirectoryListBox::SetDriveCombo(TDriveComboBox* combo) {
  FDriveCombo = combo;
  if (FDriveCombo != nullptr && !FDirectory.isEmpty()) FDriveCombo->ShowDriveOf(FDirectory);
}

void TDirectoryListBox::Fill() {
  clear();
  QStringList parts = FDirectory.split('/', Qt::SkipEmptyParts);
  QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  auto add = [this](const QIcon& icon, const QString& text, const QString& path, int depth) {
    QListWidgetItem* item = new QListWidgetItem(icon, text, this);
    item->setData(kPathRole, path);
    item->setData(kDepthRole, depth);
    return item;
  };
  QListWidgetItem* current = add(open, "/", "/", 0);
  QString path;
  for (int i = 0; i < parts.size(); ++i) {
    path += "/" + parts[i];
    current = add(open, parts[i], path, i + 1);
  }
  QDir directory(FDirectory);
  for (const QString& child : directory.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
    add(closed, child, directory.filePath(child), static_cast<int>(parts.size()) + 1);
  }
  setCurrentItem(current);
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setIconSize(QSize(kIconSize, kIconSize));
  setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void TFileListBox::SetMask(const QString& mask) {
  FMask = mask;
  Update();
}

void TFileListBox::SetDirectory(const QString& path) {
  FDirectory = path;
  Update();
}

void TFileListBox::Update() {
  clear();
  if (FDirectory.isEmpty()) return;
  QDir directory(FDirectory);
  QStringList patterns = FMask.split(';', Qt::SkipEmptyParts);
  QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
  for (const QString& name :
       directory.entryList(patterns, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase)) {
    new QListWidgetItem(icon, name, this);
  }
}

QStringList TFileListBox::SelectedFiles() const {
  QStringList names;
  for (int i = 0; i < count(); ++i) {
    if (item(i)->isSelected()) names << item(i)->text();
  }
  return names;
}

}  // namespace tarnel::ui
