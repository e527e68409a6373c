// In-memory files: the .DAT, .IDX and .BLB "files" of an in-memory table, kept in the current
// session's TMemoryFileList. Several handles share one file's contents, each with its own
// position; locks belong to the file, so two cursors conflict exactly as two programs would.
// Contents grow in steps of 65535 bytes.
//
// REQUIRES: MemoryFileLock held around every call (the file handler takes it).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/base/system_list.h"

namespace tarnel {

class TMemoryFile {
 public:
  static constexpr int32_t kGrowthStep = 65535;

  explicit TMemoryFile(const std::string& fileName);
  ~TMemoryFile();
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;

  bool Exclusive = false;
  std::string FileName;

  int32_t Size() const { return FSize; }
  int32_t Capacity() const { return FCapacity; }
  int32_t HandleCount() const { return FHandles.Count(); }

  // Resizes to n bytes; the capacity is n rounded up to a multiple of 65535 and new bytes are 0.
  void SetSize(int32_t size);
  // Opens a handle at position 0; its number is one no open handle has.
  int32_t NewHandle();
  void CloseHandle(int32_t handle);
  int32_t Read(int32_t handle, void* buffer, int32_t count);
  // A count of 0 sets the size to the handle's position.
  int32_t Write(int32_t handle, const void* buffer, int32_t count);
  int32_t Seek(int32_t handle, int32_t offset, int origin);
  // False when an existing lock overlaps the range.
  bool LockRange(int32_t start, int32_t length);
  // Removes the lock with exactly this start and length.
  bool UnlockRange(int32_t start, int32_t length);

 private:
  struct TLock {
    int32_t Start;
    int32_t End;
    int32_t Length;
  };
  struct THandle {
    int32_t Number;
    int32_t Position;
  };

  THandle* FindHandle(int32_t handle);

  int32_t FSize = 0;
  int32_t FCapacity = 0;
  void* FData = nullptr;
  TSystemList<TLock> FLocks;
  TSystemList<THandle> FHandles;
};

// Result of creating or opening an in-memory file: the handle number and the file, or a
// negative engine code (-11010 not found or no name, -11013 in use).
struct TMemoryOpen {
  int32_t Handle = 0;
  TMemoryFile* File = nullptr;
};

class TMemoryFileList {
 public:
  TMemoryFileList() = default;
  ~TMemoryFileList();
  TMemoryFileList(const TMemoryFileList&) = delete;
  TMemoryFileList& operator=(const TMemoryFileList&) = delete;

  // Creates the file, or empties an existing one without open handles; opens it exclusively.
  TMemoryOpen CreateMemoryFile(const std::string& name);
  TMemoryOpen OpenMemoryFile(const std::string& name, bool exclusive);
  // Refused while the file has open handles or another file has the new name.
  bool RenameMemoryFile(const std::string& oldName, const std::string& newName);
  bool DeleteMemoryFile(const std::string& name);
  bool MemoryFileExists(const std::string& name) const;
  // Copies the whole source into a new file `destination`; 0 or a negative engine code.
  int32_t CopyMemoryFile(TMemoryFile& source, int32_t sourceHandle, const std::string& destination);
  int Count() const { return FFiles.Count(); }

 private:
  int Find(const std::string& name) const;
  TSystemList<TMemoryFile*> FFiles;
};

}  // namespace tarnel
