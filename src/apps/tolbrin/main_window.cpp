#include "apps/tolbrin/main_window.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "apps/tolbrin/about_box.h"
#include "apps/tolbrin/table_transfer.h"
#include "platform/locale/language_table.h"
#include "platform/ui/file_controls.h"
#include "platform/ui/fnp_form_enh.h"
#include "platform/ui/message_box.h"
#include "platform/ui/reg_file.h"

namespace tarnel::tolbrin {

namespace {

constexpr char kSourceDirectory[] = "Source Directory";
constexpr char kDestinationDirectory[] = "Destination Directory";
constexpr char kTableMask[] = "*.DB;*.DBF";
constexpr char kTagProperty[] = "Tag";
// The window repaints at most this often while records are copied.
constexpr int kRepaintMilliseconds = 40;

// Help context numbers: the controls' tags.
enum THelpContext : int {
  kMajorVersionTopic = 1,
  kMinorVersionTopic,
  kLanguageTopic,
  kSortTopic,
  kTransliterateTopic,
  kSourceDriveTopic,
  kSourceDirectoryTopic,
  kFilesTopic,
  kDestDriveTopic,
  kDestDirectoryTopic,
  kBeginTopic,
  kCloseTopic,
  kHelpTopic,
  kAboutTopic,
  kStatusTopic,
  kUtilityTopic = 127,
};

// The program's icon: a table (a drum of records) with an arrow carrying data into it.
QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    qreal unit = size / 16.0;
    QRectF drum(5 * unit, 1.5 * unit, 10 * unit, 13 * unit);
    qreal lid = 3 * unit;
    QLinearGradient shade(drum.topLeft(), drum.topRight());
    shade.setColorAt(0, QColor(40, 90, 170));
    shade.setColorAt(0.45, QColor(110, 160, 230));
    shade.setColorAt(1, QColor(30, 70, 140));
    painter.setPen(QPen(QColor(20, 45, 95), unit * 0.6));
    painter.setBrush(shade);
    QPainterPath body;
    body.moveTo(drum.left(), drum.top() + lid / 2);
    body.lineTo(drum.left(), drum.bottom() - lid / 2);
    body.arcTo(QRectF(drum.left(), drum.bottom() - lid, drum.width(), lid), 180, 180);
    body.lineTo(drum.right(), drum.top() + lid / 2);
    body.arcTo(QRectF(drum.left(), drum.top(), drum.width(), lid), 0, -180);
    painter.drawPath(body);
    painter.setBrush(QColor(170, 205, 250));
    painter.drawEllipse(QRectF(drum.left(), drum.top(), drum.width(), lid));
    QPolygonF arrow;
    arrow << QPointF(0.5 * unit, 7 * unit) << QPointF(5.5 * unit, 7 * unit) << QPointF(5.5 * unit, 5 * unit)
          << QPointF(9.5 * unit, 8.5 * unit) << QPointF(5.5 * unit, 12 * unit) << QPointF(5.5 * unit, 10 * unit)
          << QPointF(0.5 * unit, 10 * unit);
    painter.setPen(QPen(QColor(20, 90, 30), unit * 0.6));
    painter.setBrush(QColor(70, 180, 70));
    painter.drawPolygon(arrow);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

TMainForm::TMainForm(const ui::TInfoVersion& info, const QString& helpFileName, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FInfoVersion(info),
      FHelpFile(helpFileName) {
  setObjectName("MainForm");
  CreateControls();
  SetTags();
  FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateControls() {
  // The window is laid out for a compact 8-point face, as the utility has always looked.
  QFont font("Arial", 8);
  setFont(font);
  setFixedSize(kClientWidth, kClientHeight);

  FContent = new QWidget(this);
  Label1 = Named(
      new QLabel("This utility will copy all structures and existing data in the selected Paradox or dBase tables "
                 "to the equivalent TARNEL table in the destintation directory specified.",
                 FContent),
      "Label1");
  Label1->setWordWrap(true);

  Label9 = Named(new QLabel("Version #", FContent), "Label9");
  UserMajorVersionEdit = Named(new QLineEdit(FContent), "UserMajorVersionEdit");
  UserMinorVersionEdit = Named(new QLineEdit(FContent), "UserMinorVersionEdit");
  for (QLineEdit* edit : {UserMajorVersionEdit, UserMinorVersionEdit}) {
    edit->setFixedWidth(48);
    edit->setAlignment(Qt::AlignRight);
    edit->installEventFilter(this);
  }
  Label9->setBuddy(UserMajorVersionEdit);
  Label7 = Named(new QLabel("Language", FContent), "Label7");
  LanguageComboBox = Named(new QComboBox(FContent), "LanguageComboBox");
  for (const locale::TLanguage& language : locale::Languages()) LanguageComboBox->addItem(language.Name);
  LanguageComboBox->setMaxVisibleItems(16);
  LanguageComboBox->setMinimumWidth(200);
  Label7->setBuddy(LanguageComboBox);
  Label8 = Named(new QLabel("Sort", FContent), "Label8");
  SortComboBox = Named(new QComboBox(FContent), "SortComboBox");
  for (const std::string& order : SortOrders()) SortComboBox->addItem(QString::fromStdString(order));
  SortComboBox->setMinimumWidth(120);
  Label8->setBuddy(SortComboBox);
  TransliterateCheckBox =
      Named(new QCheckBox("Transliterate Source Table Fields Before Transferring to TARNEL Format", FContent),
            "TransliterateCheckBox");
  TransliterateCheckBox->setChecked(true);

  GroupBox1 = Named(new QGroupBox("Select Source Drive and Directory", FContent), "GroupBox1");
  SourceDriveComboBox = Named(new ui::TDriveComboBox(GroupBox1), "SourceDriveComboBox");
  SourceDirectoryListBox = Named(new ui::TDirectoryListBox(GroupBox1), "SourceDirectoryListBox");
  FilesGroupBox = Named(new QGroupBox("Select Paradox / dBase Tables (*.DB *.DBF)", FContent), "FilesGroupBox");
  FilesListBox = Named(new ui::TFileListBox(FilesGroupBox), "FilesListBox");
  FilesListBox->SetMask(kTableMask);
  GroupBox2 = Named(new QGroupBox("Select Dest Drive and Directory", FContent), "GroupBox2");
  DestDriveComboBox = Named(new ui::TDriveComboBox(GroupBox2), "DestDriveComboBox");
  DestDirectoryListBox = Named(new ui::TDirectoryListBox(GroupBox2), "DestDirectoryListBox");
  SourceDriveComboBox->SetDirList(SourceDirectoryListBox);
  SourceDirectoryListBox->SetDriveCombo(SourceDriveComboBox);
  SourceDirectoryListBox->SetFileList(FilesListBox);
  DestDriveComboBox->SetDirList(DestDirectoryListBox);
  DestDirectoryListBox->SetDriveCombo(DestDriveComboBox);
  for (QGroupBox* box : {GroupBox1, GroupBox2}) {
    QVBoxLayout* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);
  }
  GroupBox1->layout()->addWidget(SourceDriveComboBox);
  GroupBox1->layout()->addWidget(SourceDirectoryListBox);
  GroupBox2->layout()->addWidget(DestDriveComboBox);
  GroupBox2->layout()->addWidget(DestDirectoryListBox);
  QVBoxLayout* filesLayout = new QVBoxLayout(FilesGroupBox);
  filesLayout->setContentsMargins(6, 4, 6, 6);
  filesLayout->addWidget(FilesListBox);

  BeginButton = Named(new QPushButton("&Begin Transfer...", FContent), "BeginButton");
  CloseButton = Named(new QPushButton("&Close", FContent), "CloseButton");
  UsageButton = Named(new QPushButton("&Help...", FContent), "UsageButton");
  AboutButton = Named(new QPushButton("&About...", FContent), "AboutButton");
  BeginButton->setDefault(true);
  connect(BeginButton, &QPushButton::clicked, this, [this] { BeginButtonClick(); });
  connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
  connect(UsageButton, &QPushButton::clicked, this, [this] { UsageButtonClick(); });
  connect(AboutButton, &QPushButton::clicked, this, [this] { AboutButtonClick(); });

  MainPanel = Named(new QFrame(this), "MainPanel");
  MainPanel->setFrameShape(QFrame::StyledPanel);
  MainPanel->setFrameShadow(QFrame::Raised);
  StatusBar = Named(new QLabel(MainPanel), "StatusBar");
  StatusBar->setFrameShape(QFrame::Panel);
  StatusBar->setFrameShadow(QFrame::Sunken);
  ProgressBar = Named(new QProgressBar(MainPanel), "ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setFixedWidth(170);
  ProgressBar->setFormat("%p%");
  ProgressBar->hide();
  QHBoxLayout* panelLayout = new QHBoxLayout(MainPanel);
  panelLayout->setContentsMargins(3, 3, 3, 3);
  panelLayout->setSpacing(3);
  panelLayout->addWidget(StatusBar, 1);
  panelLayout->addWidget(ProgressBar);
  // As high with the gauge hidden as with it shown, so that nothing moves during a run.
  MainPanel->setFixedHeight(ProgressBar->sizeHint().height() + 8);

  QHBoxLayout* options = new QHBoxLayout;
  options->setSpacing(6);
  options->addWidget(Label9);
  options->addWidget(UserMajorVersionEdit);
  options->addWidget(UserMinorVersionEdit);
  options->addSpacing(14);
  options->addWidget(Label7);
  options->addWidget(LanguageComboBox, 1);
  options->addSpacing(14);
  options->addWidget(Label8);
  options->addWidget(SortComboBox);

  QHBoxLayout* directories = new QHBoxLayout;
  directories->setSpacing(6);
  directories->addWidget(GroupBox1, 9);
  directories->addWidget(FilesGroupBox, 11);
  directories->addWidget(GroupBox2, 9);

  QHBoxLayout* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addStretch(1);
  for (QPushButton* button : {BeginButton, CloseButton, UsageButton, AboutButton}) {
    button->setMinimumWidth(button == BeginButton ? 120 : 88);
    buttons->addWidget(button);
  }

  QVBoxLayout* content = new QVBoxLayout(FContent);
  content->setContentsMargins(8, 8, 8, 6);
  content->setSpacing(6);
  content->addWidget(Label1);
  content->addLayout(options);
  content->addWidget(TransliterateCheckBox);
  content->addLayout(directories, 1);
  content->addLayout(buttons);

  QVBoxLayout* window = new QVBoxLayout(this);
  window->setContentsMargins(0, 0, 0, 0);
  window->setSpacing(0);
  window->addWidget(FContent, 1);
  window->addWidget(MainPanel);

  HelpPopup = Named(new QMenu(this), "HelpPopup");
  WhatsThisItem = HelpPopup->addAction("What's This ?");
  WhatsThisItem->setObjectName("WhatsThisItem");
  connect(WhatsThisItem, &QAction::triggered, this, [this] { WhatsThisItemClick(); });

  AboutBox = new TAboutBox(this);
}

void TMainForm::SetTags() {
  const std::pair<QWidget*, int> tags[] = {
      {this, kUtilityTopic},
      {FContent, kUtilityTopic},
      {Label1, kUtilityTopic},
      {Label9, kMajorVersionTopic},
      {UserMajorVersionEdit, kMajorVersionTopic},
      {UserMinorVersionEdit, kMinorVersionTopic},
      {Label7, kLanguageTopic},
      {LanguageComboBox, kLanguageTopic},
      {Label8, kSortTopic},
      {SortComboBox, kSortTopic},
      {TransliterateCheckBox, kTransliterateTopic},
      {GroupBox1, kSourceDirectoryTopic},
      {SourceDriveComboBox, kSourceDriveTopic},
      {SourceDirectoryListBox, kSourceDirectoryTopic},
      {FilesGroupBox, kFilesTopic},
      {FilesListBox, kFilesTopic},
      {GroupBox2, kDestDirectoryTopic},
      {DestDriveComboBox, kDestDriveTopic},
      {DestDirectoryListBox, kDestDirectoryTopic},
      {BeginButton, kBeginTopic},
      {CloseButton, kCloseTopic},
      {UsageButton, kHelpTopic},
      {AboutButton, kAboutTopic},
      {MainPanel, kStatusTopic},
      {StatusBar, kStatusTopic},
      {ProgressBar, kStatusTopic},
  };
  for (const auto& [widget, tag] : tags) {
    QWidget* control = widget;
    control->setProperty(kTagProperty, tag);
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QWidget::customContextMenuRequested, this,
            [this, control](const QPoint& position) { ShowHelpPopup(control, position); });
  }
}

void TMainForm::ShowHelpPopup(QWidget* control, const QPoint& position) {
  auto* scrollArea = qobject_cast<QAbstractScrollArea*>(control);
  QWidget* origin = scrollArea != nullptr ? scrollArea->viewport() : control;
  FPopupComponent = control;
  FPopupPosition = origin->mapToGlobal(position);
  HelpPopup->popup(FPopupPosition);
}

void TMainForm::FormCreate() {
  FRegistrySettings = std::make_unique<ui::TRegFile>(FInfoVersion.ProductName);
  FFormSettings = std::make_unique<ui::TFnpFormEnh>(*this, *FRegistrySettings);
  FFormSettings->Restore();
  setWindowTitle(QString::fromStdString(FInfoVersion.ProductName));
  QGuiApplication::setApplicationDisplayName(QString::fromStdString(FInfoVersion.ProductName));
  QApplication::setWindowIcon(ProgramIcon());
  AboutBox->FormCreate(FInfoVersion);
  std::string current = QDir::currentPath().toStdString();
  SourceDirectoryListBox->SetDirectory(
      QString::fromStdString(FRegistrySettings->ReadString(kSourceDirectory, current)));
  DestDirectoryListBox->SetDirectory(
      QString::fromStdString(FRegistrySettings->ReadString(kDestinationDirectory, current)));
  if (SourceDirectoryListBox->Directory().isEmpty()) SourceDirectoryListBox->SetDirectory(QDir::currentPath());
  if (DestDirectoryListBox->Directory().isEmpty()) DestDirectoryListBox->SetDirectory(QDir::currentPath());
}

void TMainForm::FormShow() {
  UserMajorVersionEdit->setText("1");
  UserMinorVersionEdit->setText("0");
  LanguageComboBox->setCurrentIndex(LanguageComboBox->findText("Machine ASCII"));
  SortComboBox->setCurrentIndex(SortComboBox->findText("Default Order"));
  StatusBar->clear();
  ProgressBar->setValue(0);
}

void TMainForm::FormClose() {
  FRegistrySettings->WriteString(kSourceDirectory, SourceDirectoryListBox->Directory().toStdString());
  FRegistrySettings->WriteString(kDestinationDirectory, DestDirectoryListBox->Directory().toStdString());
  FFormSettings->Save();
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // No second way out while tables are being transferred: the window is disabled meanwhile.
  if (FRunning) {
    event->ignore();
    return;
  }
  FormClose();
  QWidget::closeEvent(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == UserMajorVersionEdit || watched == UserMinorVersionEdit) {
    return UserMajorVersionEditKeyPress(static_cast<QWidget*>(watched), event);
  }
  return QWidget::eventFilter(watched, event);
}

bool TMainForm::UserMajorVersionEditKeyPress(QWidget*, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return false;
    default: break;
  }
  QString text = key->text();
  // Keys without a character (the arrows, Home, End, Delete) move or delete as usual.
  if (text.isEmpty() || key->key() == Qt::Key_Delete) return false;
  return !(text.size() == 1 && text[0] >= '0' && text[0] <= '9');
}

void TMainForm::SetRunning(bool running) {
  FRunning = running;
  if (running) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
  FContent->setEnabled(!running);
}

void TMainForm::ShowProgress(int64_t copied, int64_t recordCount) {
  int percent = ProgressPercent(copied, recordCount);
  bool changed = percent != ProgressBar->value();
  if (changed) ProgressBar->setValue(percent);
  if (changed || FSinceRepaint.elapsed() >= kRepaintMilliseconds) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    FSinceRepaint.restart();
  }
}

void TMainForm::BeginButtonClick() {
  TTransferRequest request;
  request.SourceDirectory = SourceDirectoryListBox->Directory().toStdString();
  request.DestinationDirectory = DestDirectoryListBox->Directory().toStdString();
  for (const QString& name : FilesListBox->SelectedFiles()) request.Tables.push_back(name.toStdString());
  request.UserMajorVersion = UserMajorVersionEdit->text().toStdString();
  request.UserMinorVersion = UserMinorVersionEdit->text().toStdString();
  request.LanguageIndex = LanguageComboBox->currentIndex();
  request.SortIndex = SortComboBox->currentIndex();
  request.Transliterate = TransliterateCheckBox->isChecked();

  TTransferEvents events;
  events.OnInformation = [this](const std::string& text) { ui::ShowInformation(this, text); };
  events.OnError = [this](const std::string& text) { ui::ShowError(this, text); };
  events.OnRunning = [this](bool running) { SetRunning(running); };
  events.OnTableBegin = [this](const std::string& status) {
    StatusBar->setText(QString::fromStdString(status));
    ProgressBar->setValue(0);
    ProgressBar->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    FSinceRepaint.start();
  };
  events.OnProgress = [this](int64_t copied, int64_t recordCount) { ShowProgress(copied, recordCount); };
  events.OnTableEnd = [this] {
    StatusBar->clear();
    ProgressBar->hide();
    ProgressBar->setValue(0);
  };
  RunTransfer(request, events);
}

void TMainForm::CloseButtonClick() { close(); }

void TMainForm::UsageButtonClick() { FHelpFile.ShowContents(this); }

void TMainForm::AboutButtonClick() { AboutBox->exec(); }

void TMainForm::WhatsThisItemClick() {
  if (FPopupComponent == nullptr) return;
  FHelpFile.ShowContextPopup(FPopupComponent->property(kTagProperty).toInt(), FPopupPosition, this);
}

}  // namespace tarnel::tolbrin
