// The passwords registered with one engine session. A protected table opens only when its
// password is among them. Owned by TFileSession; used under the session's serialisation.
#pragma once

#include <string>

#include "engine/base/system_list.h"

namespace tarnel {

class TPasswordList {
 public:
  // An empty text is ignored; duplicates are kept.
  void AddPassword(const std::string& password);
  // Removes the first equal entry, if any.
  void RemovePassword(const std::string& password);
  void RemoveAllPasswords();
  // Equality is case-sensitive.
  bool HasPassword(const std::string& password) const;
  int Count() const { return FEntries.Count(); }

 private:
  int Find(const std::string& password) const;
  TSystemList<std::string> FEntries;
};

}  // namespace tarnel
