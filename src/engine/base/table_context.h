// What the index and BLOB files of a table ask of the table that owns them: its name for
// messages, whether its blocks are scrambled, its lock state and the change check, and the
// repair switch. The table (TDataFile) implements it; the files never see the table itself.
#pragma once

#include <string>

namespace tarnel {

class TTableContext {
 public:
  virtual ~TTableContext() = default;

  // The data file's name, which messages about the table's caches and limits name.
  virtual const std::string& TableFileName() const = 0;
  // Blocks of the table's files are scrambled (a password-protected table that is open).
  virtual bool Scrambled() const = 0;
  // Opened exclusively, or inside a deferred-update batch: a short read is no error then,
  // because changes may still be waiting in the caches.
  virtual bool ShortReadsAccepted() const = 0;
  // Inside a deferred-update batch: caches grow instead of writing.
  virtual bool InBatch() const = 0;
  // The short read lock is taken per operation; the caches need not check before a read.
  virtual bool ReadLockPerOperation() const = 0;
  // Called before a cache reads from disk: takes the short read lock unless a lock is held and
  // compares the change counters. True when another program changed the table; every cache
  // was then invalidated and the caller restarts its operation.
  virtual bool CheckForChangesBeforeRead() = 0;
  // With repair mode on, damage that can be corrected is corrected and reported.
  virtual bool RepairMode() const = 0;
  virtual void RepairMessage(const std::string& text) = 0;
};

}  // namespace tarnel
