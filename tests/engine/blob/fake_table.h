// The table side of a BLOB file for its tests and fuzz target: the switches a table gives its
// BLOB file, the repair messages it receives, and the change check before a disk read, which
// compares the BLOB file's header as the table's check does and invalidates the blocks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/base/table_context.h"
#include "engine/blob/blob_file.h"

namespace tarnel::test {

class TFakeTable : public TTableContext {
 public:
  std::string Name = "TBL.DAT";
  bool Scramble = false;
  bool Batch = false;
  bool ReadLockPerOp = false;
  bool Repair = false;
  TBlobFile* Blob = nullptr;  // the file whose header the change check compares
  // Runs at the start of every change check: another program at work.
  std::function<void()> BeforeChangeCheck;
  int ChangeChecks = 0;
  std::vector<std::string> Messages;

  const std::string& TableFileName() const override { return Name; }
  bool Scrambled() const override { return Scramble; }
  bool ShortReadsAccepted() const override {
    return Batch || (Blob != nullptr && Blob->Exclusive());
  }
  bool InBatch() const override { return Batch; }
  bool ReadLockPerOperation() const override { return ReadLockPerOp; }
  bool CheckForChangesBeforeRead() override {
    ++ChangeChecks;
    if (BeforeChangeCheck) BeforeChangeCheck();
    if (Blob == nullptr || !Blob->HeaderChanged()) return false;
    Blob->InvalidateBlocks();
    return true;
  }
  bool RepairMode() const override { return Repair; }
  void RepairMessage(const std::string& text) override { Messages.push_back(text); }
};

}  // namespace tarnel::test
