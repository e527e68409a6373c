// tarnel create: a new table from field and index definitions given on the command line.
#include <strings.h>

#include <cmath>
#include <cstring>

#include "apps/tarnel/commands.h"
#include "apps/tarnel/field_text.h"
#include "apps/tarnel/open_table.h"
#include "engine/base/byte_order.h"
#include "engine/table/data_file.h"
#include "engine/table/value_text.h"
#include "platform/locale/code_page.h"
#include "platform/locale/language_table.h"
#include "platform/rtl/currency.h"
#include "platform/rtl/date_text.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/number_text.h"

namespace tarnel::cli {

namespace {

constexpr char kUsage[] =
    "Usage: tarnel create TABLE --field NAME:TYPE[:SIZE[:DECIMALS]][:required] ...\n"
    "                    [--primary F1,F2,... | --no-primary]\n"
    "                    [--index NAME:F1,F2,...[:unique][:nocase][:desc]] ...\n"
    "                    [--default NAME=TEXT] [--min NAME=TEXT] [--max NAME=TEXT]\n"
    "                    [--language LANGID] [--sort SORTID] [--password TEXT] [--description TEXT]\n"
    "Creates a table (TABLE.DAT, TABLE.IDX and, with BLOB fields, TABLE.BLB); an existing table is\n"
    "never overwritten.\n"
    "  TYPE      string, date, blob, memo, graphic, boolean, smallint, integer, autoinc, float,\n"
    "            money, bcd, bytes, time, timestamp, word, varbytes\n"
    "  SIZE      characters of a string, bytes of bytes and varbytes (1 to 250)\n"
    "  DECIMALS  decimals of a bcd field (0 to 4, default 2): Price:bcd:2 or Price:bcd:SIZE:2\n"
    "  --primary     the fields of the primary index; without it the table has none and keeps\n"
    "                its records in the order they were added\n"
    "  --index       a secondary index on the fields, unique, case-insensitive, descending\n"
    "  --default, --min, --max  a field's default, minimum and maximum, written as in CSV files\n"
    "                (DATE, TIME and NOW as defaults mean the moment of the insert)\n"
    "  --language    the Windows language id of the table's locale (0x0407 German; 0 none)\n"
    "  --sort        the locale's sort id\n"
    "  --password    protects the table\n";

constexpr uint8_t kDefaultBcdDecimals = 2;

bool ParseNumber(const std::string& text, unsigned long limit, unsigned long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  value = std::strtoul(text.c_str(), &end, hex ? 16 : 10);
  return *end == '\0' && text[0] != '-' && value <= limit;
}

bool Is(const std::string& text, const char* word) { return ::strcasecmp(text.c_str(), word) == 0; }

class TTableBuilder {
 public:
  explicit TTableBuilder(const TArguments& arguments) : FArguments(arguments) {}

  TTableDefinition Build() {
    ReadLocale();
    for (const std::string& definition : FArguments.Values("field")) AddField(definition);
    if (FDefinition.Fields.empty()) throw EUsageError("a table needs at least one --field");
    if (FArguments.Has("primary") && FArguments.Has("no-primary")) {
      throw EUsageError("--primary and --no-primary exclude each other");
    }
    TIndexDescriptor primary;
    if (FArguments.Has("primary")) SetIndexFields(primary, SplitList(FArguments.Value("primary")), "--primary");
    FDefinition.AllowNoPrimaryIndex = primary.FieldCount == 0;
    FDefinition.Indexes.push_back(primary);
    for (const std::string& definition : FArguments.Values("index")) AddIndex(definition);
    for (const char* option : {"default", "min", "max"}) {
      for (const std::string& definition : FArguments.Values(option)) SetLimit(option, definition);
    }
    if (FArguments.Has("password")) {
      FDefinition.Encrypted = true;
      FDefinition.Password = CodePageText(FArguments.Value("password"), "the password");
    }
    FDefinition.Description = CodePageText(FArguments.Value("description"), "the description");
    if (FDefinition.Description.size() > kMaxDescriptionLength) {
      throw EUsageError("--description has at most " + std::to_string(kMaxDescriptionLength) + " characters");
    }
    return FDefinition;
  }

 private:
  void ReadLocale() {
    unsigned long number = 0;
    if (FArguments.Has("language") && !ParseNumber(FArguments.Value("language"), 0xFFFF, number)) {
      throw EUsageError("--language needs a language id (a number, 0x0409 for example)");
    }
    FDefinition.LanguageId = static_cast<uint16_t>(number);
    number = 0;
    if (FArguments.Has("sort") && !ParseNumber(FArguments.Value("sort"), 0xFFFF, number)) {
      throw EUsageError("--sort needs a sort id (a number)");
    }
    FDefinition.SortId = static_cast<uint16_t>(number);
    if (FDefinition.LanguageId != 0 && locale::FindLanguage(FDefinition.LanguageId) == nullptr) {
      throw EUsageError("--language " + FArguments.Value("language") + " is not a language this system knows");
    }
    int codePage = locale::CodePageOf(FDefinition.LanguageId);
    FCodePage = codePage == 0 ? locale::kNoLanguageCodePage : codePage;
  }

  std::string CodePageText(const std::string& text, const std::string& what) const {
    locale::TConversion converted = locale::Utf8ToCodePage(FCodePage, text);
    if (converted.Unmappable > 0) {
      throw EUsageError(what + " has characters that the table's code page " + std::to_string(FCodePage) +
                        " cannot hold");
    }
    return converted.Text;
  }

  void AddField(const std::string& definition) {
    std::vector<std::string> parts = SplitList(definition, ':');
    auto bad = [&](const std::string& why) { return EUsageError("--field " + definition + ": " + why); };
    if (parts.size() < 2 || parts[0].empty()) throw bad("give NAME:TYPE");
    TFieldDesc field;
    field.FieldNo = static_cast<uint16_t>(FDefinition.Fields.size() + 1);
    field.FieldName = CodePageText(parts[0], "the field name " + parts[0]);
    if (field.FieldName.size() > kMaxFieldNameLength) {
      throw bad("a field name has at most " + std::to_string(kMaxFieldNameLength) + " characters");
    }
    if (!TypeFromName(parts[1], field.FieldType, field.SubType)) throw bad("unknown type " + parts[1]);
    parts.erase(parts.begin(), parts.begin() + 2);
    if (!parts.empty() && Is(parts.back(), "required")) {
      field.Required = true;
      parts.pop_back();
    }
    bool sized = field.FieldType == dtString || field.FieldType == dtBytes || field.FieldType == dtVarBytes;
    unsigned long number = 0;
    if (sized) {
      if (parts.size() != 1 || !ParseNumber(parts[0], kMaxStringFieldSize, number) || number == 0) {
        throw bad("a " + TypeName(field) + " field needs a size from 1 to " + std::to_string(kMaxStringFieldSize));
      }
      field.FieldSize = static_cast<uint8_t>(number);
    } else if (field.FieldType == dtBCD) {
      field.Decimals = kDefaultBcdDecimals;
      if (parts.size() > 2 || (!parts.empty() && !ParseNumber(parts.back(), kMaxBCDDecimals, number))) {
        throw bad("a bcd field takes its decimals, from 0 to " + std::to_string(kMaxBCDDecimals));
      }
      if (!parts.empty()) field.Decimals = static_cast<uint8_t>(number);
    } else if (!parts.empty()) {
      throw bad("a " + TypeName(field) + " field takes no size");
    }
    field.PhysSize = PhysSizeOf(field.FieldType, field.FieldSize);
    FDefinition.Fields.push_back(field);
  }

  TFieldDesc& FieldNamed(const std::string& name, const std::string& option) {
    std::string bytes = CodePageText(name, "the field name " + name);
    for (TFieldDesc& field : FDefinition.Fields) {
      if (::strcasecmp(field.FieldName.c_str(), bytes.c_str()) == 0 && field.FieldName.size() == bytes.size()) {
        return field;
      }
    }
    throw EUsageError(option + ": there is no --field " + name);
  }

  void SetIndexFields(TIndexDescriptor& index, const std::vector<std::string>& names, const std::string& option) {
    if (names.size() > kMaxKeyFields) throw EUsageError(option + ": an index has at most 16 fields");
    for (const std::string& name : names) {
      index.FieldNumbers[index.FieldCount++] = FieldNamed(name, option).FieldNo;
    }
  }

  void AddIndex(const std::string& definition) {
    std::vector<std::string> parts = SplitList(definition, ':');
    if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) {
      throw EUsageError("--index " + definition + ": give NAME:F1,F2,...");
    }
    TIndexDescriptor index;
    index.IndexName = CodePageText(parts[0], "the index name " + parts[0]);
    if (index.IndexName.size() > kMaxFieldNameLength) {
      throw EUsageError("--index " + definition + ": an index name has at most " + std::to_string(kMaxFieldNameLength) +
                        " characters");
    }
    SetIndexFields(index, SplitList(parts[1]), "--index " + definition);
    for (size_t i = 2; i < parts.size(); ++i) {
      if (Is(parts[i], "unique")) {
        index.Unique = true;
      } else if (Is(parts[i], "nocase")) {
        index.CaseInsensitive = true;
      } else if (Is(parts[i], "desc")) {
        index.Descending = true;
      } else {
        throw EUsageError("--index " + definition + ": unknown option " + parts[i] + " (unique, nocase, desc)");
      }
    }
    FDefinition.Indexes.push_back(index);
  }

  void SetLimit(const std::string& option, const std::string& definition) {
    size_t equals = definition.find('=');
    if (equals == std::string::npos) throw EUsageError("--" + option + " " + definition + ": give NAME=TEXT");
    TFieldDesc& field = FieldNamed(definition.substr(0, equals), "--" + option);
    std::string text = TableText(field, definition.substr(equals + 1), option == "default", "--" + option + " " + definition);
    if (text.size() > kMaxValidityTextLength) {
      throw EUsageError("--" + option + " " + definition + ": the table keeps at most " +
                        std::to_string(kMaxValidityTextLength) + " characters of it");
    }
    (option == "default" ? field.DefaultValue : option == "min" ? field.MinValue : field.MaxValue) = text;
  }

  // The engine reads defaults, minimums and maximums in the table's own formats; the command
  // line gives them in the tool's forms, so they are written again in the table's.
  std::string TableText(const TFieldDesc& field, const std::string& text, bool keywords, const std::string& what) {
    bool dated = field.FieldType == dtDate || field.FieldType == dtTime || field.FieldType == dtTimeStamp;
    if (keywords && dated && (Is(text, "DATE") || Is(text, "TIME") || Is(text, "NOW"))) return text;
    if (field.FieldType == dtBlob || field.IsAutoInc()) throw EUsageError(what + ": a " + TypeName(field) + " field takes none");
    TFieldDesc prepared = field;
    prepared.PhysSize = PhysSizeOf(field.FieldType, field.FieldSize);
    uint8_t value[256];
    std::string error;
    if (!ParseValue(prepared, text, FCodePage, value, error)) throw EUsageError(what + ": " + error);
    TLocaleFormats formats = GetLocaleFormats(false, FDefinition.LanguageId, FDefinition.SortId);
    std::string written;
    switch (field.FieldType) {
      case dtString: return CodePageText(text, what);
      case dtBoolean: written = GetU16(value) != 0 ? "TRUE" : "FALSE"; break;
      case dtSmallInt: written = std::to_string(GetI16(value)); break;
      case dtInteger: written = std::to_string(GetI32(value)); break;
      case dtWord: written = std::to_string(GetU16(value)); break;
      case dtFloat: written = FloatToStrF(GetF64(value), TFloatFormat::General, 17, 0, formats); break;
      case dtBCD: written = CurrToStr(BcdToCurrency(GetI64(value)), formats); break;
      case dtDate: written = DateText(GetI32(value), formats); break;
      case dtTime: written = TimeText(GetI32(value), formats); break;
      case dtTimeStamp: {
        double moment = GetF64(value);
        auto day = static_cast<int32_t>(std::floor(moment / kMSecsPerDay));
        written = DateText(day, formats) + " " + TimeText(static_cast<int32_t>(moment - double(day) * kMSecsPerDay), formats);
        break;
      }
      default: throw EUsageError(what + ": a " + TypeName(field) + " field takes none");
    }
    // The text must read back as the same value in the table's formats.
    uint8_t back[256];
    bool same = false;
    {
      TLocaleFormatsGuard guard(FDefinition.LanguageId, FDefinition.SortId);
      try {
        TextToStoredValue(written, prepared, FDefinition.LanguageId, false, back);
        same = std::memcmp(back, value, prepared.PhysSize) == 0;
      } catch (const EConvertError&) {
      }
    }
    if (!same) throw EUsageError(what + ": the value cannot be written in the formats of the table's language");
    return written;
  }

  static std::string DateText(int32_t day, const TLocaleFormats& formats) {
    return DateToStr(static_cast<TDateTime>(day - kDateDelta), FourDigitYears(formats));
  }

  static TLocaleFormats FourDigitYears(TLocaleFormats formats) {
    // A two-digit year would be read back within a window of years; the table's own order of
    // day, month and year is kept.
    std::string& picture = formats.ShortDateFormat;
    size_t year = picture.find_first_of("yY");
    if (year != std::string::npos) {
      size_t end = picture.find_first_not_of("yY", year);
      picture.replace(year, end == std::string::npos ? std::string::npos : end - year, "yyyy");
    }
    return formats;
  }

  static std::string TimeText(int32_t milliseconds, const TLocaleFormats& formats) {
    TDateTime time = static_cast<double>(milliseconds) / kMSecsPerDay;
    std::string text = FormatDateTime("hh:nn:ss", time, formats);
    if (milliseconds % 1000 != 0) text += formats.DecimalSeparator + FormatDateTime("zzz", time, formats);
    return text;
  }

  const TArguments& FArguments;
  TTableDefinition FDefinition;
  int FCodePage = locale::kNoLanguageCodePage;
};

int RunCreate(const TArguments& arguments) {
  TTableDefinition definition = TTableBuilder(arguments).Build();
  TDataFile table;
  table.SetFileName(arguments.Positional[0]);
  if (table.FileExists()) throw ECommandError(table.FileName() + " already exists");
  table.SetExclusive(true);
  table.CreateTable(definition);
  int secondary = static_cast<int>(definition.Indexes.size()) - 1;
  Print("created " + table.FileName() + ": " + std::to_string(definition.Fields.size()) + " fields, " +
        (definition.AllowNoPrimaryIndex ? "no primary index" : "a primary index") + ", " + std::to_string(secondary) +
        " secondary ind" + (secondary == 1 ? "ex" : "exes") + "\n");
  return 0;
}

}  // namespace

const TCommand& CreateCommand() {
  static const TCommand command{"create",
                                kUsage,
                                {{"field", true, true},
                                 {"primary", true, false},
                                 {"no-primary", false, false},
                                 {"index", true, true},
                                 {"default", true, true},
                                 {"min", true, true},
                                 {"max", true, true},
                                 {"language", true, false},
                                 {"sort", true, false},
                                 {"password", true, false},
                                 {"description", true, false}},
                                1,
                                RunCreate};
  return command;
}

}  // namespace tarnel::cli
