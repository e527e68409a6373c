#include "platform/ui/about_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace tarnel::ui {

namespace {

QLabel* NewLabel(QWidget* parent, const char* name) {
  QLabel* label = new QLabel(parent);
  label->setObjectName(name);
  label->setWordWrap(true);
  return label;
}

}  // namespace

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);

  QLabel* icon = new QLabel(this);
  QIcon windowIcon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                                         : QApplication::windowIcon();
  icon->setPixmap(windowIcon.pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  ProductName = NewLabel(this, "ProductName");
  QFont bold = ProductName->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.25);
  ProductName->setFont(bold);
  Version = NewLabel(this, "Version");
  Description = NewLabel(this, "Description");
  Copyright = NewLabel(this, "Copyright");
  Comments = NewLabel(this, "Comments");

  QVBoxLayout* texts = new QVBoxLayout;
  for (QLabel* label : {ProductName, Version, Description, Copyright}) texts->addWidget(label);
  QFrame* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  texts->addWidget(rule);
  texts->addWidget(Comments);

  QHBoxLayout* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(8);
  top->addLayout(texts, 1);

  QDialogButtonBox* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  QVBoxLayout* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumWidth(360);
}

void TAboutDialog::SetVersionInfo(const TInfoVersion& info) {
  setWindowTitle(QString::fromStdString("About " + info.ProductName));
  ProductName->setText(QString::fromStdString(info.ProductName));
  Version->setText(QString::fromStdString(info.VersionText()));
  Description->setText(QString::fromStdString(info.FileDescription));
  Copyright->setText(QString::fromStdString(info.LegalCopyright));
  Comments->setText(QString::fromStdString(info.Comments));
}

}  // namespace tarnel::ui
