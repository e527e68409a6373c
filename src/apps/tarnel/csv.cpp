#include "apps/tarnel/csv.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "apps/tarnel/command_line.h"

namespace tarnel::cli {

namespace {

constexpr size_t kBufferSize = 1 << 20;

bool NeedsQuotes(const std::string& field) {
  return field.find_first_of(",\"\r\n") != std::string::npos;
}

}  // namespace

TCsvReader::TCsvReader(int descriptor) : FDescriptor(descriptor), FBuffer(kBufferSize) {}

int TCsvReader::Peek() {
  if (FPosition == FLength) {
    ssize_t got = ::read(FDescriptor, FBuffer.data(), FBuffer.size());
    if (got < 0) throw ECommandError(std::string("cannot read the input: ") + std::strerror(errno));
    FLength = static_cast<size_t>(got);
    FPosition = 0;
    if (FLength == 0) return -1;
  }
  return static_cast<unsigned char>(FBuffer[FPosition]);
}

int TCsvReader::Next() {
  int c = Peek();
  if (c < 0) return c;
  ++FPosition;
  ++FBytesRead;
  if (c == '\n') ++FLine;
  return c;
}

bool TCsvReader::ReadRecord(std::vector<std::string>& fields) {
  if (!FStarted) {
    FStarted = true;
    bool bom = Peek() == 0xEF && FLength - FPosition >= 3 && FBuffer[FPosition + 1] == '\xBB' &&
               FBuffer[FPosition + 2] == '\xBF';
    if (bom) {
      FPosition += 3;
      FBytesRead += 3;
    }
  }
  fields.clear();
  if (Peek() < 0) return false;
  FRecordLine = FLine;
  std::string field;
  bool quoted = false;     // inside quotes
  bool wasQuoted = false;  // the field started with a quote
  for (;;) {
    int c = Next();
    if (quoted) {
      if (c < 0) throw ECommandError("line " + std::to_string(FRecordLine) + ": a quoted field is not closed");
      if (c != '"') {
        field += static_cast<char>(c);
        continue;
      }
      if (Peek() == '"') {
        field += static_cast<char>(Next());
        continue;
      }
      quoted = false;
      int after = Peek();
      if (after >= 0 && after != ',' && after != '\r' && after != '\n') {
        throw ECommandError("line " + std::to_string(FLine) + ": text after the closing quote of a field");
      }
      continue;
    }
    if (c == '"' && field.empty() && !wasQuoted) {
      quoted = wasQuoted = true;
      continue;
    }
    if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
      wasQuoted = false;
      continue;
    }
    if (c == '\r' && (Peek() == '\n' || Peek() < 0)) continue;
    if (c < 0 || c == '\n') {
      fields.push_back(std::move(field));
      return true;
    }
    field += static_cast<char>(c);
  }
}

std::string CsvRecord(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    const std::string& field = fields[i];
    if (!NeedsQuotes(field)) {
      line += field;
      continue;
    }
    line += '"';
    for (char c : field) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  line += "\r\n";
  return line;
}

}  // namespace tarnel::cli
