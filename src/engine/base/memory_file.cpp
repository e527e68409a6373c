#include "engine/base/memory_file.h"

#include <cstring>
#include <vector>

#include "engine/base/engine_memory.h"
#include "engine/base/errors.h"
#include "engine/base/paths.h"
#include "engine/base/short_string.h"
#include "platform/locale/user_locale.h"

namespace tarnel {

namespace {

// Names are equal as the user's locale compares them, ignoring case and surrounding blanks.
bool SameName(const std::string& a, const std::string& b) {
  return locale::AnsiCompareText(Trim(a), Trim(b)) == 0;
}

constexpr int32_t kCopyPiece = 65535;

}  // namespace

TMemoryFile::TMemoryFile(const std::string& fileName) : FileName(fileName) {}

TMemoryFile::~TMemoryFile() { EngineFree(FData); }

void TMemoryFile::SetSize(int32_t size) {
  if (size < 0) size = 0;
  int64_t rounded = (int64_t{size} + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
  if (rounded > INT32_MAX) RaiseEngineError(kErrOutOfMemory);
  int32_t capacity = static_cast<int32_t>(rounded);
  if (capacity != FCapacity) {
    if (capacity > 0) {
      FData = EngineRealloc(FData, capacity);
    } else {
      EngineFree(FData);
    }
    FCapacity = capacity;
  }
  // Bytes between a shrunk size and the capacity must read as zero after a later growth.
  if (size < FSize && FData != nullptr) {
    std::memset(static_cast<char*>(FData) + size, 0, static_cast<size_t>(FSize - size));
  }
  FSize = size;
}

TMemoryFile::THandle* TMemoryFile::FindHandle(int32_t handle) {
  for (THandle& entry : FHandles) {
    if (entry.Number == handle) return &entry;
  }
  return nullptr;
}

int32_t TMemoryFile::NewHandle() {
  int32_t number = HandleCount() + 1;
  while (FindHandle(number) != nullptr) ++number;
  FHandles.Add(THandle{number, 0});
  return number;
}

void TMemoryFile::CloseHandle(int32_t handle) {
  for (int i = 0; i < FHandles.Count(); ++i) {
    if (FHandles[i].Number == handle) {
      FHandles.Delete(i);
      return;
    }
  }
}

int32_t TMemoryFile::Read(int32_t handle, void* buffer, int32_t count) {
  THandle* entry = FindHandle(handle);
  if (entry == nullptr || entry->Position < 0 || entry->Position > FSize || count <= 0) return 0;
  int32_t available = FSize - entry->Position;
  int32_t moved = count < available ? count : available;
  if (moved > 0) std::memcpy(buffer, static_cast<char*>(FData) + entry->Position, static_cast<size_t>(moved));
  entry->Position += moved;
  return moved;
}

int32_t TMemoryFile::Write(int32_t handle, const void* buffer, int32_t count) {
  THandle* entry = FindHandle(handle);
  if (entry == nullptr || entry->Position < 0 || count < 0) return 0;
  if (count == 0) {
    SetSize(entry->Position);
    return 0;
  }
  if (int64_t{entry->Position} + count > INT32_MAX) return 0;
  if (entry->Position + count > FSize) SetSize(entry->Position + count);
  std::memcpy(static_cast<char*>(FData) + entry->Position, buffer, static_cast<size_t>(count));
  entry->Position += count;
  return count;
}

int32_t TMemoryFile::Seek(int32_t handle, int32_t offset, int origin) {
  THandle* entry = FindHandle(handle);
  if (entry == nullptr) return 0;
  switch (origin) {
    case 0: entry->Position = offset; break;
    case 1: entry->Position += offset; break;
    default: entry->Position = FSize + offset; break;
  }
  return entry->Position;
}

bool TMemoryFile::LockRange(int32_t start, int32_t length) {
  int32_t end = static_cast<int32_t>(int64_t{start} + length - 1);
  for (const TLock& lock : FLocks) {
    bool startInside = start >= lock.Start && start <= lock.End;
    bool lockInside = lock.Start >= start && lock.Start <= end;
    if (startInside || lockInside) return false;
  }
  FLocks.Add(TLock{start, end, length});
  return true;
}

bool TMemoryFile::UnlockRange(int32_t start, int32_t length) {
  for (int i = 0; i < FLocks.Count(); ++i) {
    if (FLocks[i].Start == start && FLocks[i].Length == length) {
      FLocks.Delete(i);
      return true;
    }
  }
  return false;
}

TMemoryFileList::~TMemoryFileList() {
  for (TMemoryFile* file : FFiles) delete file;
}

int TMemoryFileList::Find(const std::string& name) const {
  for (int i = 0; i < FFiles.Count(); ++i) {
    if (SameName(FFiles[i]->FileName, name)) return i;
  }
  return -1;
}

TMemoryOpen TMemoryFileList::CreateMemoryFile(const std::string& name) {
  if (Trim(RemoveExtension(ExtractFileName(Trim(name)))).empty()) {
    return TMemoryOpen{-kErrInvalidPath, nullptr};
  }
  int index = Find(name);
  TMemoryFile* file;
  if (index >= 0) {
    file = FFiles[index];
    if (file->HandleCount() > 0) return TMemoryOpen{-kErrAccessDenied, nullptr};
    file->SetSize(0);
  } else {
    file = new TMemoryFile(Trim(name));
    FFiles.Add(file);
  }
  file->Exclusive = true;
  return TMemoryOpen{file->NewHandle(), file};
}

TMemoryOpen TMemoryFileList::OpenMemoryFile(const std::string& name, bool exclusive) {
  int index = Find(name);
  if (index < 0) return TMemoryOpen{-kErrInvalidPath, nullptr};
  TMemoryFile* file = FFiles[index];
  if (file->HandleCount() == 0) {
    file->Exclusive = exclusive;
  } else if (file->Exclusive || exclusive) {
    return TMemoryOpen{-kErrAccessDenied, nullptr};
  }
  return TMemoryOpen{file->NewHandle(), file};
}

bool TMemoryFileList::RenameMemoryFile(const std::string& oldName, const std::string& newName) {
  int index = Find(oldName);
  if (index < 0 || FFiles[index]->HandleCount() > 0) return false;
  // Two files of one name would hide each other; a rename onto an existing name is refused.
  int target = Find(newName);
  if (target >= 0 && target != index) return false;
  FFiles[index]->FileName = Trim(newName);
  return true;
}

bool TMemoryFileList::DeleteMemoryFile(const std::string& name) {
  int index = Find(name);
  if (index < 0 || FFiles[index]->HandleCount() > 0) return false;
  delete FFiles[index];
  FFiles.Delete(index);
  return true;
}

bool TMemoryFileList::MemoryFileExists(const std::string& name) const { return Find(name) >= 0; }

int32_t TMemoryFileList::CopyMemoryFile(TMemoryFile& source, int32_t sourceHandle,
                                        const std::string& destination) {
  TMemoryOpen target = CreateMemoryFile(destination);
  if (target.File == nullptr) return target.Handle;
  source.Seek(sourceHandle, 0, 0);
  std::vector<char> piece(kCopyPiece);
  int32_t got;
  do {
    got = source.Read(sourceHandle, piece.data(), kCopyPiece);
    if (got > 0) target.File->Write(target.Handle, piece.data(), got);
  } while (got == kCopyPiece);
  target.File->CloseHandle(target.Handle);
  return 0;
}

}  // namespace tarnel
