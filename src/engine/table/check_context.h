// What the parts of a table check share: the table, the report, and what the scan of the records
// found, so that the indexes and the BLOBs are checked against the records. Private to the check
// and the repair.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/table/table_check.h"

namespace tarnel {

class TFileHandler;

// A BLOB field of a live record that holds data.
struct TBlobReference {
  int32_t RecordNo;
  uint16_t FieldNo;
  uint32_t FirstBlock;
};

struct TCheckContext {
  TCheckContext(TDataFile& table, TTableCheckReport& report) : Table(table), Report(report) {}

  void Add(const TFileHandler& file, const std::string& location, const std::string& text);

  TDataFile& Table;
  TTableCheckReport& Report;
  int32_t Slots = 0;               // slots the data file holds in full
  std::vector<bool> Live;          // by record number - 1
  std::vector<TBlobReference> Blobs;
};

std::string RecordLocation(int32_t recordNo);
// What is wrong with the descriptor of index `number` (0 to 31) against the table's fields, or an
// empty text; only a sound descriptor lets keys be built and compared.
std::string IndexDescriptorProblem(TDataFile& table, int number);
void CheckIndexes(TCheckContext& context);
void CheckBlobs(TCheckContext& context);

}  // namespace tarnel
