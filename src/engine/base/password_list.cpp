#include "engine/base/password_list.h"

#include "engine/base/short_string.h"
#include "platform/locale/user_locale.h"

namespace tarnel {

void TPasswordList::AddPassword(const std::string& password) {
  if (password.empty()) return;
  FEntries.Add(ShortString(password));
}

void TPasswordList::RemovePassword(const std::string& password) {
  int index = Find(password);
  if (index >= 0) FEntries.Delete(index);
}

void TPasswordList::RemoveAllPasswords() { FEntries.Clear(); }

bool TPasswordList::HasPassword(const std::string& password) const { return Find(password) >= 0; }

int TPasswordList::Find(const std::string& password) const {
  // Equal as the user's locale compares texts, case-sensitively.
  std::string wanted = ShortString(password);
  for (int i = 0; i < FEntries.Count(); ++i) {
    if (locale::AnsiCompareStr(FEntries[i], wanted) == 0) return i;
  }
  return -1;
}

}  // namespace tarnel
