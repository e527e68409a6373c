#include "apps/tarnel/open_table.h"

#include <strings.h>

#include "apps/tarnel/command_line.h"
#include "engine/base/errors.h"
#include "engine/base/session.h"
#include "platform/locale/code_page.h"
#include "platform/locale/language_table.h"

namespace tarnel::cli {

namespace {

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The language of a table from its header alone, for a password that must be given in the
// table's code page before the table can be opened.
uint16_t PeekLanguage(const std::string& fileName) {
  TFileHandler file;
  file.SetFileName(fileName);
  file.SetReadOnly(true);
  file.Open();
  uint8_t header[TDataHeader::kDiskSize] = {};
  file.Read(header, sizeof header, true);
  file.Close();
  return TDataHeader::Decode(header).LanguageId;
}

}  // namespace

std::string DataFileName(const std::string& table) {
  TDataFile file;
  return file.NormalizeFileName(table);
}

void RegisterPassword(const std::string& password, int codePage) {
  locale::TConversion converted = locale::Utf8ToCodePage(codePage, password);
  if (converted.Unmappable > 0) {
    throw ECommandError("the password has characters that the table's code page " + std::to_string(codePage) +
                        " cannot hold");
  }
  AddPassword(CurrentSession(), converted.Text);
}

TOpenTable::TOpenTable(const std::string& table, const TOpenOptions& options) : FOptions(options) {
  FFile.SetFileName(table);
  if (!FOptions.Password.empty()) {
    int codePage = IsAscii(FOptions.Password) ? locale::kNoLanguageCodePage
                                              : locale::CodePageOf(PeekLanguage(FFile.FileName()));
    RegisterPassword(FOptions.Password, codePage == 0 ? locale::kNoLanguageCodePage : codePage);
  }
  Open();
}

TOpenTable::~TOpenTable() {
  try {
    FFile.Close();
  } catch (const EDatabaseError&) {
    // Only reached on the way out of another failure, which is the one reported.
  }
}

void TOpenTable::Open() {
  FFile.SetExclusive(FOptions.Exclusive);
  FFile.SetReadOnly(FOptions.ReadOnly);
  FFile.SetRepairMode(FOptions.RepairMode);
  FFile.Open();
  int codePage = locale::CodePageOf(FFile.LanguageId());
  FCodePage = codePage == 0 ? locale::kNoLanguageCodePage : codePage;
}

void TOpenTable::Close() { FFile.Close(); }

void TOpenTable::Reopen() { Open(); }

const TFieldDesc* TOpenTable::FindField(const std::string& name) const {
  for (const TFieldDesc* field : Fields()) {
    std::string fieldName = FieldName(*field);
    if (fieldName.size() == name.size() && ::strcasecmp(fieldName.c_str(), name.c_str()) == 0) return field;
  }
  return nullptr;
}

std::string TOpenTable::FieldName(const TFieldDesc& field) const { return ToUtf8(field.FieldName); }

std::vector<const TFieldDesc*> TOpenTable::Fields() const {
  std::vector<const TFieldDesc*> fields;
  for (int fieldNo = 1; fieldNo <= FFile.FieldCount(); ++fieldNo) fields.push_back(&FFile.GetFieldDesc(false, fieldNo));
  return fields;
}

std::string TOpenTable::ToUtf8(const std::string& text) const { return locale::CodePageToUtf8(FCodePage, text).Text; }

bool TOpenTable::FromUtf8(const std::string& text, std::string& bytes) const {
  locale::TConversion converted = locale::Utf8ToCodePage(FCodePage, text);
  bytes = std::move(converted.Text);
  return converted.Unmappable == 0;
}

}  // namespace tarnel::cli
