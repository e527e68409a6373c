// The table a command works on: named as the user gave it (with or without .DAT), its password
// registered with the engine session, opened shared, exclusively or for reading, and closed on
// every way out. Texts the user gives or sees are UTF-8; the table keeps them in its code page.
#pragma once

#include <string>
#include <vector>

#include "engine/table/data_file.h"

namespace tarnel::cli {

struct TOpenOptions {
  bool Exclusive = false;
  bool ReadOnly = false;
  // Opening does not walk the indexes, so that a damaged table can still be checked.
  bool RepairMode = false;
  std::string Password;  // UTF-8; empty for none
};

// The data file's name for a table name: the engine's rule (any extension cut, ".DAT" added).
std::string DataFileName(const std::string& table);
// Registers `password` (UTF-8) for a table of code page `codePage` with the current session.
void RegisterPassword(const std::string& password, int codePage);

class TOpenTable {
 public:
  TOpenTable(const std::string& table, const TOpenOptions& options);
  ~TOpenTable();
  TOpenTable(const TOpenTable&) = delete;
  TOpenTable& operator=(const TOpenTable&) = delete;

  TDataFile& File() { return FFile; }
  // Closes the table, writing what an exclusive table still holds; errors are raised.
  void Close();
  // Opens it again with the same options (after Close).
  void Reopen();

  int CodePage() const { return FCodePage; }
  // The field of that name (UTF-8, case-insensitive), or nullptr.
  const TFieldDesc* FindField(const std::string& name) const;
  // The field's name in UTF-8.
  std::string FieldName(const TFieldDesc& field) const;
  // The stored fields in field-number order.
  std::vector<const TFieldDesc*> Fields() const;
  // UTF-8 text of the table's code page, and the table's code page form of UTF-8 text (false
  // when a character has no place in it).
  std::string ToUtf8(const std::string& text) const;
  bool FromUtf8(const std::string& text, std::string& bytes) const;

 private:
  void Open();

  TOpenOptions FOptions;
  TDataFile FFile;
  int FCodePage = 1252;
};

}  // namespace tarnel::cli
