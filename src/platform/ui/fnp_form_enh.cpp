#include "platform/ui/fnp_form_enh.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "platform/ui/reg_file.h"

namespace tarnel::ui {

TFnpFormEnh::TFnpFormEnh(QWidget& form, TRegFile& settings) : FForm(form), FSettings(settings) {}

std::string TFnpFormEnh::Name(const char* value) const { return FForm.objectName().toStdString() + "/" + value; }

bool TFnpFormEnh::Restore() {
  bool fixedSize = FForm.minimumSize() == FForm.maximumSize();
  QRect frame = FForm.frameGeometry();
  QSize size = FForm.size();
  if (FSettings.ValueExists(Name("Left")) && FSettings.ValueExists(Name("Top"))) {
    QPoint place(FSettings.ReadInteger(Name("Left"), 0), FSettings.ReadInteger(Name("Top"), 0));
    if (!fixedSize) {
      size = QSize(FSettings.ReadInteger(Name("Width"), size.width()),
                   FSettings.ReadInteger(Name("Height"), size.height()));
    }
    if (QGuiApplication::screenAt(place + QPoint(size.width() / 2, size.height() / 2)) != nullptr) {
      FForm.move(place);
      if (!fixedSize) FForm.resize(size);
      return true;
    }
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    frame.moveCenter(screen->availableGeometry().center());
    FForm.move(frame.topLeft());
  }
  return false;
}

void TFnpFormEnh::Save() {
  QPoint place = FForm.pos();
  FSettings.WriteInteger(Name("Left"), place.x());
  FSettings.WriteInteger(Name("Top"), place.y());
  FSettings.WriteInteger(Name("Width"), FForm.width());
  FSettings.WriteInteger(Name("Height"), FForm.height());
  FSettings.Flush();
}

}  // namespace tarnel::ui
