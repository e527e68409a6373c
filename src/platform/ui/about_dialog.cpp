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

constexpr int kTextWidth = 300;

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

  Icon = NewLabel(this, "Icon");
  Icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  ProductName = NewLabel(this, "ProductName");
  ProductName->setWordWrap(false);
  QFont bold = ProductName->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.25);
  ProductName->setFont(bold);
  Version = NewLabel(this, "Version");
  Description = NewLabel(this, "Description");
  Copyright = NewLabel(this, "Copyright");
  Comments = NewLabel(this, "Comments");
  Description->setMinimumWidth(kTextWidth);

  QVBoxLayout* texts = new QVBoxLayout;
  for (QLabel* label : {ProductName, Version, Description, Copyright}) texts->addWidget(label);
  QFrame* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  texts->addWidget(rule);
  texts->addWidget(Comments);

  QHBoxLayout* top = new QHBoxLayout;
  top->addWidget(Icon);
  top->addSpacing(8);
  top->addLayout(texts, 1);

  QDialogButtonBox* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  QVBoxLayout* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutDialog::SetVersionInfo(const TInfoVersion& info) {
  QIcon icon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_MessageBoxInformation)
                                                   : QApplication::windowIcon();
  Icon->setPixmap(icon.pixmap(48, 48));
  setWindowTitle(QString::fromStdString("About " + info.ProductName));
  ProductName->setText(QString::fromStdString(info.ProductName));
  Version->setText(QString::fromStdString(info.VersionText()));
  Description->setText(QString::fromStdString(info.FileDescription));
  Copyright->setText(QString::fromStdString(info.LegalCopyright));
  Comments->setText(QString::fromStdString(info.Comments));
}

}  // namespace tarnel::ui
