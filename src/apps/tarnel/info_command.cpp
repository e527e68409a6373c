// tarnel info: what a table's headers say: its locale, protection, record count, sizes, fields
// and indexes.
#include <strings.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "apps/tarnel/commands.h"
#include "apps/tarnel/field_text.h"
#include "apps/tarnel/json.h"
#include "apps/tarnel/open_table.h"
#include "engine/base/byte_order.h"
#include "engine/base/scramble.h"
#include "engine/table/value_text.h"
#include "platform/locale/language_table.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format_settings.h"

namespace tarnel::cli {

namespace {

constexpr char kUsage[] =
    "Usage: tarnel info TABLE [--json] [--password TEXT]\n"
    "Shows the table's header: description, locale, protection, records, record size, the sizes\n"
    "of its files, its fields (type, size, required, default, minimum, maximum) and its indexes.\n"
    "  --json  the same as one JSON object\n";

int64_t FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

struct TFieldInfo {
  int Number;
  std::string Name;
  std::string Type;
  int Size;
  int Decimals;
  bool Required;
  std::string Default, Minimum, Maximum;
};

struct TIndexInfo {
  std::string Name;
  std::vector<std::string> Fields;
  bool Unique, CaseInsensitive, Descending;
  int KeyLength;
};

class TTableInfo {
 public:
  explicit TTableInfo(TOpenTable& table) : FTable(table), FFile(table.File()) {}

  std::string Json() {
    TJsonWriter json;
    const TDataHeader& header = FFile.Header();
    json.BeginObject();
    json.Key("table").String(FFile.FileName());
    json.Key("description").String(Description());
    json.Key("version").Number(header.Version);
    json.Key("languageId").Number(header.LanguageId);
    json.Key("language").String(LanguageName());
    json.Key("sortId").Number(header.SortId);
    json.Key("codePage").Number(FTable.CodePage());
    json.Key("protected").Bool(header.Encrypted);
    json.Key("records").Number(FFile.IndexFile().RecordCount());
    json.Key("slots").Number(FFile.RecordSlotCount());
    json.Key("recordSize").Number(header.RecordSize);
    json.Key("lastAutoInc").Number(header.LastAutoInc);
    json.Key("lastUpdated").String(LastUpdated());
    json.Key("userVersion").String(UserVersion());
    json.Key("blobBlockSize").Number(FFile.BlobFile() != nullptr ? FFile.BlobBlockSize() : 0);
    json.Key("files").BeginObject();
    for (const auto& [name, size] : Files()) json.Key(name).Number(size);
    json.EndObject();
    json.Key("fields").BeginArray();
    for (const TFieldInfo& field : Fields()) {
      json.BeginObject().Key("number").Number(field.Number).Key("name").String(field.Name);
      json.Key("type").String(field.Type).Key("size").Number(field.Size).Key("decimals").Number(field.Decimals);
      json.Key("required").Bool(field.Required);
      for (auto [key, text] : {std::pair{"default", &field.Default}, {"min", &field.Minimum}, {"max", &field.Maximum}}) {
        json.Key(key);
        if (text->empty()) json.Null(); else json.String(*text);
      }
      json.EndObject();
    }
    json.EndArray();
    json.Key("indexes").BeginArray();
    for (const TIndexInfo& index : Indexes()) {
      json.BeginObject().Key("name").String(index.Name).Key("fields").BeginArray();
      for (const std::string& field : index.Fields) json.String(field);
      json.EndArray().Key("unique").Bool(index.Unique).Key("caseInsensitive").Bool(index.CaseInsensitive);
      json.Key("descending").Bool(index.Descending).Key("keyLength").Number(index.KeyLength).EndObject();
    }
    json.EndArray();
    json.EndObject();
    return json.Text() + "\n";
  }

  std::string Text() {
    const TDataHeader& header = FFile.Header();
    std::string text;
    auto line = [&text](const std::string& label, const std::string& value) {
      text += label + std::string(label.size() < 20 ? 20 - label.size() : 1, ' ') + value + "\n";
    };
    line("table", FFile.FileName());
    if (!Description().empty()) line("description", Description());
    line("records", std::to_string(FFile.IndexFile().RecordCount()) + " (" + std::to_string(FFile.RecordSlotCount()) +
                        " record slots)");
    line("language", std::to_string(header.LanguageId) + " (" + LanguageName() + "), sort " +
                         std::to_string(header.SortId) + ", code page " + std::to_string(FTable.CodePage()));
    line("protected", header.Encrypted ? "yes" : "no");
    line("record size", std::to_string(header.RecordSize) + " bytes");
    line("last auto-increment", std::to_string(header.LastAutoInc));
    line("last updated", LastUpdated());
    line("user version", UserVersion());
    std::string files;
    for (const auto& [name, size] : Files()) files += (files.empty() ? "" : ", ") + name + " " + std::to_string(size) + " bytes";
    if (FFile.BlobFile() != nullptr) files += " (BLOB blocks of " + std::to_string(FFile.BlobBlockSize()) + " bytes)";
    line("files", files);
    text += "fields\n";
    for (const TFieldInfo& field : Fields()) {
      std::string type = field.Type;
      if (field.Size > 0) type += "(" + std::to_string(field.Size) + ")";
      if (field.Type == "bcd") type += "(" + std::to_string(field.Decimals) + " decimals)";
      std::string details;
      if (field.Required) details += "  required";
      if (!field.Default.empty()) details += "  default " + field.Default;
      if (!field.Minimum.empty()) details += "  min " + field.Minimum;
      if (!field.Maximum.empty()) details += "  max " + field.Maximum;
      char number[16];
      std::snprintf(number, sizeof number, "%4d  ", field.Number);
      text += Line(number + Pad(field.Name, 31) + Pad(type, 24) + details);
    }
    text += "indexes\n";
    for (const TIndexInfo& index : Indexes()) {
      std::string fields;
      for (const std::string& field : index.Fields) fields += (fields.empty() ? "" : ",") + field;
      std::string options;
      if (index.Unique) options += " unique";
      if (index.CaseInsensitive) options += " nocase";
      if (index.Descending) options += " desc";
      text += Line("      " + Pad(index.Name, 31) + Pad(fields, 24) + options);
    }
    return text;
  }

 private:
  static std::string Line(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  }

  static std::string Pad(const std::string& text, size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
  }

  std::string Description() const {
    const TDataHeader& header = FFile.Header();
    std::string description = header.Encrypted ? PasswordScrambled(header.Description) : header.Description;
    return FTable.ToUtf8(description);
  }

  std::string LanguageName() const {
    const locale::TLanguage* language = locale::FindLanguage(FFile.Header().LanguageId);
    return language != nullptr ? language->Name : "unknown";
  }

  std::string LastUpdated() const {
    double stamp = FFile.Header().LastUpdated + kLastUpdatedOffset;
    if (stamp == kLastUpdatedOffset) return "never";
    TFieldDesc field;
    field.FieldType = dtTimeStamp;
    field.PhysSize = 8;
    double day = std::floor(stamp);
    double moment = (day + kDateDelta) * kMSecsPerDay + std::round((stamp - day) * kMSecsPerDay / 1000) * 1000;
    uint8_t value[8];
    PutF64(value, moment);
    int unmappable = 0;
    return FormatValue(field, value, FTable.CodePage(), unmappable);
  }

  std::string UserVersion() const {
    return std::to_string(FFile.Header().UserMajorVersion) + "." + std::to_string(FFile.Header().UserMinorVersion);
  }

  std::vector<std::pair<std::string, int64_t>> Files() {
    std::vector<std::pair<std::string, int64_t>> files{{FFile.FileName(), FileSize(FFile.FileName())},
                                                       {FFile.IndexFile().FileName(), FileSize(FFile.IndexFile().FileName())}};
    if (FFile.BlobFile() != nullptr) files.emplace_back(FFile.BlobFile()->FileName(), FileSize(FFile.BlobFile()->FileName()));
    return files;
  }

  // A default, minimum or maximum in the tool's form; a keyword, or a text that does not read as
  // the field's type, as it is stored.
  std::string LimitText(const TFieldDesc& field, const std::string& stored) const {
    if (stored.empty()) return stored;
    uint8_t value[256];
    bool read = false;
    {
      TLocaleFormatsGuard guard(FFile.LanguageId(), FFile.SortId());
      try {
        bool keyword = ::strcasecmp(stored.c_str(), "DATE") == 0 || ::strcasecmp(stored.c_str(), "TIME") == 0 ||
                       ::strcasecmp(stored.c_str(), "NOW") == 0;
        bool typed = field.FieldType != dtString && field.FieldType <= dtWord && field.FieldType != dtBlob;
        if (typed && !keyword) {
          TextToStoredValue(stored, field, FFile.LanguageId(), false, value);
          read = true;
        }
      } catch (const EConvertError&) {
      }
    }
    int unmappable = 0;
    return read ? FormatValue(field, value, FTable.CodePage(), unmappable) : FTable.ToUtf8(stored);
  }

  std::vector<TFieldInfo> Fields() const {
    std::vector<TFieldInfo> fields;
    for (const TFieldDesc* field : FTable.Fields()) {
      bool sized = field->FieldType == dtString || field->FieldType == dtBytes || field->FieldType == dtVarBytes;
      fields.push_back({field->FieldNo, FTable.FieldName(*field), TypeName(*field), sized ? field->FieldSize : 0,
                        field->Decimals, field->Required, LimitText(*field, field->DefaultValue),
                        LimitText(*field, field->MinValue), LimitText(*field, field->MaxValue)});
    }
    return fields;
  }

  std::vector<TIndexInfo> Indexes() {
    std::vector<TIndexInfo> indexes;
    TIndexFile& file = FFile.IndexFile();
    for (int number = file.NoPrimaryIndex() ? 1 : 0; number <= file.SecondaryCount(); ++number) {
      const TIndexDescriptor& desc = file.GetDescriptor(number);
      TIndexInfo index{number == 0 ? std::string(kPrimaryIndexName) : FTable.ToUtf8(desc.IndexName), {},
                       number == 0 || desc.Unique, desc.CaseInsensitive, desc.Descending, desc.KeyLength};
      for (int i = 0; i < desc.FieldCount && i < kMaxKeyFields; ++i) {
        const TFieldDesc* field = FFile.StoredField(desc.FieldNumbers[static_cast<size_t>(i)]);
        index.Fields.push_back(field != nullptr ? FTable.FieldName(*field) : "#" + std::to_string(desc.FieldNumbers[static_cast<size_t>(i)]));
      }
      indexes.push_back(std::move(index));
    }
    return indexes;
  }

  TOpenTable& FTable;
  TDataFile& FFile;
};

int RunInfo(const TArguments& arguments) {
  TOpenOptions options;
  options.ReadOnly = true;
  options.RepairMode = true;
  options.Password = arguments.Value("password");
  TOpenTable table(arguments.Positional[0], options);
  TTableInfo info(table);
  Print(arguments.Has("json") ? info.Json() : info.Text());
  table.Close();
  return 0;
}

}  // namespace

const TCommand& InfoCommand() {
  static const TCommand command{"info", kUsage, {{"json", false, false}, {"password", true, false}}, 1, RunInfo};
  return command;
}

}  // namespace tarnel::cli
