#include "engine/base/password_list.h"

#include "engine/base/short_string.h"

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
  return FEntries.IndexOf(ShortString(password));
}

}  // namespace tarnel
