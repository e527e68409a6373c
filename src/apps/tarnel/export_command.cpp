// tarnel export and tarnel count: the records an index, a range and a filter select, as CSV on
// standard output or as their number.
#include <cstdio>

#include "apps/tarnel/commands.h"
#include "apps/tarnel/csv.h"
#include "apps/tarnel/field_text.h"
#include "apps/tarnel/open_table.h"
#include "apps/tarnel/selection.h"
#include "engine/base/errors.h"

namespace tarnel::cli {

namespace {

constexpr char kExportUsage[] =
    "Usage: tarnel export TABLE [--index NAME] [--range FROM:TO] [--filter \"FIELD OP CONST [AND ...]\"]\n"
    "                    [--columns F1,F2] [--password TEXT]\n"
    "Writes the records as CSV to standard output: a header row of field names, then one row per\n"
    "record in the order of the index (the primary index, or the order the records were added).\n"
    "An empty cell is null; the forms of the values are those import reads.\n"
    "  --index    the order: a secondary index, or Primary\n"
    "  --range    only the keys from FROM to TO of the index, both included; each side is empty\n"
    "             (open) or values of the index's first fields separated by commas\n"
    "  --filter   only the records for which the comparisons hold: =, <>, <, <=, >, >=, joined\n"
    "             by AND; quote a value with blanks: --filter \"Name = 'de Vries' AND Born >= 1990-01-01\"\n"
    "  --columns  these fields, in this order\n";

constexpr char kCountUsage[] =
    "Usage: tarnel count TABLE [--index NAME --range FROM:TO] [--filter \"FIELD OP CONST [AND ...]\"]\n"
    "                   [--password TEXT]\n"
    "Writes the number of records the range and the filter select (as export would write them).\n";

constexpr size_t kOutputChunk = 1 << 16;

std::vector<const TFieldDesc*> Columns(const TOpenTable& table, const TArguments& arguments) {
  if (!arguments.Has("columns")) return table.Fields();
  std::vector<const TFieldDesc*> columns;
  for (const std::string& name : SplitList(arguments.Value("columns"))) {
    const TFieldDesc* field = table.FindField(name);
    if (field == nullptr) throw EUsageError("--columns: the table has no field " + name);
    columns.push_back(field);
  }
  return columns;
}

TOpenOptions ReadingOptions(const TArguments& arguments) {
  TOpenOptions options;
  options.ReadOnly = true;
  options.Password = arguments.Value("password");
  return options;
}

std::vector<uint8_t> BlobContents(TDataFile& file, const TFieldDesc& field, uint8_t* image) {
  CheckStatus(file.OpenBlob(false, field.FieldNo, 0, image));
  int32_t size = 0;
  uint16_t status = file.GetBlobSize(false, field.FieldNo, image, size);
  std::vector<uint8_t> contents(static_cast<size_t>(size));
  int32_t read = 0;
  if (status == 0 && size > 0) status = file.ReadBlob(false, field.FieldNo, 0, size, contents.data(), image, read);
  uint16_t closed = file.CloseBlob(false, field.FieldNo, image);
  CheckStatus(status != 0 ? status : closed);
  return contents;
}

int RunExport(const TArguments& arguments) {
  TOpenTable table(arguments.Positional[0], ReadingOptions(arguments));
  std::vector<const TFieldDesc*> columns = Columns(table, arguments);
  ApplySelection(table, arguments);
  TDataFile& file = table.File();
  std::vector<std::string> texts;
  for (const TFieldDesc* field : columns) texts.push_back(table.FieldName(*field));
  std::string output = CsvRecord(texts);
  std::vector<uint8_t> image(static_cast<size_t>(file.RecordBufferSize()));
  uint8_t value[256];
  int unmappable = 0;
  file.SetToBegin();
  while (file.GetNextRecord(image.data()) == 0) {
    for (size_t i = 0; i < columns.size(); ++i) {
      const TFieldDesc& field = *columns[i];
      if (file.GetField(false, field.FieldNo, image.data(), value)) {
        texts[i].clear();
      } else if (field.FieldType == dtBlob) {
        texts[i] = FormatBlob(field, BlobContents(file, field, image.data()), table.CodePage(), unmappable);
      } else {
        texts[i] = FormatValue(field, value, table.CodePage(), unmappable);
      }
    }
    output += CsvRecord(texts);
    if (output.size() >= kOutputChunk) {
      Print(output);
      output.clear();
    }
  }
  Print(output);
  if (unmappable > 0) {
    std::fprintf(stderr, "tarnel: export: warning: %d characters have no Unicode form in code page %d and were "
                 "written as U+FFFD\n", unmappable, table.CodePage());
  }
  table.Close();
  return 0;
}

int RunCount(const TArguments& arguments) {
  TOpenTable table(arguments.Positional[0], ReadingOptions(arguments));
  ApplySelection(table, arguments);
  Print(std::to_string(table.File().GetRecordCount()) + "\n");
  table.Close();
  return 0;
}

}  // namespace

const TCommand& ExportCommand() {
  static const TCommand command{"export",
                                kExportUsage,
                                {{"index", true, false},
                                 {"range", true, false},
                                 {"filter", true, false},
                                 {"columns", true, false},
                                 {"password", true, false}},
                                1,
                                RunExport};
  return command;
}

const TCommand& CountCommand() {
  static const TCommand command{"count",
                                kCountUsage,
                                {{"index", true, false},
                                 {"range", true, false},
                                 {"filter", true, false},
                                 {"password", true, false}},
                                1,
                                RunCount};
  return command;
}

}  // namespace tarnel::cli
