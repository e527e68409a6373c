// CSV records read and written as RFC 4180 has them, with the line each record starts on.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "apps/tarnel/command_line.h"
#include "apps/tarnel/csv.h"

namespace tarnel::cli {
namespace {

using TRecords = std::vector<std::vector<std::string>>;

// Every record of `text` with the line it starts on.
std::pair<TRecords, std::vector<int64_t>> ReadAll(const std::string& text) {
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
  std::rewind(file);
  TCsvReader reader(::fileno(file));
  TRecords records;
  std::vector<int64_t> lines;
  std::vector<std::string> fields;
  try {
    while (reader.ReadRecord(fields)) {
      records.push_back(fields);
      lines.push_back(reader.RecordLine());
    }
  } catch (...) {
    std::fclose(file);
    throw;
  }
  std::fclose(file);
  return {records, lines};
}

struct TReadCase {
  const char* Name;
  std::string Text;
  TRecords Records;
  std::vector<int64_t> Lines;
};

TEST(CsvReaderTest, ReadsRecordsAndTheirLines) {
  const TReadCase kCases[] = {
      {"empty input", "", {}, {}},
      {"CRLF", "a,b\r\n1,2\r\n", {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"LF and no final break", "a,b\n1,2", {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"empty fields", ",,\n", {{"", "", ""}}, {1}},
      {"quoted comma and quote", "\"x,y\",\"say \"\"hi\"\"\"\n", {{"x,y", "say \"hi\""}}, {1}},
      {"line break inside quotes", "\"one\r\ntwo\",3\nnext\n", {{"one\r\ntwo", "3"}, {"next"}}, {1, 3}},
      {"quoted empty field", "\"\",x\n", {{"", "x"}}, {1}},
      {"quote inside an unquoted field", "ab\"c,d\n", {{"ab\"c", "d"}}, {1}},
      {"blank line", "a\n\nb\n", {{"a"}, {""}, {"b"}}, {1, 2, 3}},
      {"byte-order mark", "\xEF\xBB\xBF" "a,b\n", {{"a", "b"}}, {1}},
      {"lone CR kept", "a\rb,c\n", {{"a\rb", "c"}}, {1}},
      {"UTF-8 bytes", "\xC3\xA4,\xE2\x82\xAC\n", {{"\xC3\xA4", "\xE2\x82\xAC"}}, {1}},
  };
  for (const TReadCase& c : kCases) {
    auto [records, lines] = ReadAll(c.Text);
    EXPECT_EQ(records, c.Records) << c.Name;
    EXPECT_EQ(lines, c.Lines) << c.Name;
  }
}

TEST(CsvReaderTest, MalformedQuotingNamesTheLine) {
  const std::pair<std::string, std::string> kCases[] = {
      {"a\n\"open\nstill open", "line 2: a quoted field is not closed"},
      {"a\n\"x\"y,z\n", "line 2: text after the closing quote of a field"},
      {"\"a\nb\"c\n", "line 2: text after the closing quote of a field"},
  };
  for (const auto& [text, message] : kCases) {
    try {
      ReadAll(text);
      ADD_FAILURE() << "no error for " << text;
    } catch (const ECommandError& error) {
      EXPECT_EQ(error.what(), message) << text;
    }
  }
}

TEST(CsvWriterTest, QuotesOnlyWhatMustBeQuoted) {
  const std::pair<std::vector<std::string>, std::string> kCases[] = {
      {{"a", "b c", ""}, "a,b c,\r\n"},
      {{"x,y"}, "\"x,y\"\r\n"},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\"\r\n"},
      {{"one\ntwo", "r\r"}, "\"one\ntwo\",\"r\r\"\r\n"},
  };
  for (const auto& [fields, line] : kCases) EXPECT_EQ(CsvRecord(fields), line);
}

TEST(CsvWriterTest, WhatIsWrittenReadsBack) {
  TRecords records = {{"plain", "with,comma", "with \"quotes\""}, {"multi\r\nline", "", " spaced "}, {""}};
  std::string text;
  for (const auto& record : records) text += CsvRecord(record);
  EXPECT_EQ(ReadAll(text).first, records);
}

TEST(CommandLineTest, SplitsListsAtUnquotedSeparators) {
  EXPECT_EQ(SplitList("a,b,c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitList("\"a,b\",c"), (std::vector<std::string>{"a,b", "c"}));
  EXPECT_EQ(SplitList("\"say \"\"x\"\"\""), (std::vector<std::string>{"say \"x\""}));
  EXPECT_EQ(SplitList(""), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitList("N:string:30", ':'), (std::vector<std::string>{"N", "string", "30"}));
}

TEST(CommandLineTest, ParsesOptionsAndRefusesWhatTheCommandDoesNotTake) {
  const std::vector<TOptionRule> options = {{"field", true, true}, {"json", false, false}, {"index", true, false}};
  std::vector<std::string> words = {"tarnel", "cmd", "T", "--field", "a:integer", "--field=b:date", "--json"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  TArguments arguments = ParseArguments(static_cast<int>(argv.size()), argv.data(), 2, options, 1);
  EXPECT_EQ(arguments.Positional, std::vector<std::string>{"T"});
  EXPECT_EQ(arguments.Values("field"), (std::vector<std::string>{"a:integer", "b:date"}));
  EXPECT_TRUE(arguments.Has("json"));
  EXPECT_FALSE(arguments.Has("index"));

  const std::vector<std::vector<std::string>> kRefused = {
      {"tarnel", "cmd"},                              // TABLE missing
      {"tarnel", "cmd", "T", "U"},                    // one argument too many
      {"tarnel", "cmd", "T", "--nothing"},            // unknown option
      {"tarnel", "cmd", "T", "--index"},              // a value missing
      {"tarnel", "cmd", "T", "--json=yes"},           // a flag with a value
      {"tarnel", "cmd", "T", "--index", "a", "--index", "b"},  // given twice
      {"tarnel", "cmd", "T", "-x"},
  };
  for (std::vector<std::string> refused : kRefused) {
    std::vector<char*> args;
    for (std::string& word : refused) args.push_back(word.data());
    EXPECT_THROW(ParseArguments(static_cast<int>(args.size()), args.data(), 2, options, 1), EUsageError)
        << refused.size();
  }
}

}  // namespace
}  // namespace tarnel::cli
