// CSV as RFC 4180 has it: records of fields separated by commas and ended by CRLF (LF alone is
// read too); a field holding a comma, a quote or a line break is quoted, a quote inside doubled.
// The reader reports each record's first line, so that messages can name it, and how far it has
// read, for progress.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel::cli {

class TCsvReader {
 public:
  // Reads from the file descriptor, which stays the caller's, taking what has arrived (a pipe is
  // read as it fills). A UTF-8 byte-order mark at the start is skipped.
  explicit TCsvReader(int descriptor);

  // The next record's fields; false at the end of the input. A quote left open at the end of the
  // input or text after a closing quote raise ECommandError naming the line.
  bool ReadRecord(std::vector<std::string>& fields);
  // The line on which the last record read starts (1-based).
  int64_t RecordLine() const { return FRecordLine; }
  int64_t BytesRead() const { return FBytesRead; }

 private:
  // The next byte, or -1 at the end of the input.
  int Next();
  int Peek();

  int FDescriptor;
  std::vector<char> FBuffer;
  size_t FPosition = 0;
  size_t FLength = 0;
  int64_t FBytesRead = 0;
  int64_t FLine = 1;
  int64_t FRecordLine = 0;
  bool FStarted = false;
};

// Writes one record: its fields quoted where they must be, CRLF after it.
std::string CsvRecord(const std::vector<std::string>& fields);

}  // namespace tarnel::cli
