#include "engine/base/file_handler.h"

#include <mutex>
#include <vector>

#include "engine/base/errors.h"
#include "engine/base/memory_file.h"
#include "engine/base/paths.h"
#include "engine/base/session.h"
#include "platform/os/os_error.h"

namespace tarnel {

namespace {

constexpr int32_t kCopyPiece = 65535;
constexpr char kLogFileName[] = "tarnelio.log";

using TMemoryGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace

TFileHandler::~TFileHandler() {
  TFileHandler::Close();
  if (FLogFile) FLogFile->Close();
}

std::string TFileHandler::NormalizeFileName(const std::string& name) const { return name; }

void TFileHandler::Raise(uint16_t code) const { RaiseEngineError(code, FFileName); }

void TFileHandler::CheckClosed() const {
  if (FActive) Raise(kErrFileInUse);
}

void TFileHandler::SetFileName(const std::string& name) {
  if (name == FFileName) return;
  CheckClosed();
  FFileName = NormalizeFileName(name);
}

void TFileHandler::SetInMemory(bool value) {
  if (value == FInMemory) return;
  CheckClosed();
  FInMemory = value;
}

void TFileHandler::SetExclusive(bool value) {
  if (value == FExclusive) return;
  CheckClosed();
  FExclusive = value;
}

void TFileHandler::SetReadOnly(bool value) {
  if (value == FReadOnly) return;
  CheckClosed();
  FReadOnly = value;
}

void TFileHandler::SetWriteThrough(bool value) {
  if (!FActive) FWriteThrough = value;
}

void TFileHandler::OpenMemory(bool create) {
  TMemoryGuard guard(MemoryFileLock());
  TMemoryFileList& files = CurrentSession().MemoryFiles();
  TMemoryOpen opened = create ? files.CreateMemoryFile(FFileName)
                              : files.OpenMemoryFile(FFileName, FExclusive);
  if (opened.File == nullptr) Raise(static_cast<uint16_t>(-opened.Handle));
  FMemoryFile = opened.File;
  FHandle = opened.Handle;
}

void TFileHandler::Open() {
  if (FActive) return;
  if (FInMemory) {
    OpenMemory(false);
  } else {
    std::string path = NativePath(FFileName);
    if (!os::FileExists(path)) Raise(kErrInvalidPath);
    FFileReadOnly = false;
    int error = os::kOsSuccess;
    if (os::IsReadOnlyFile(path, &error)) {
      FReadOnly = true;
      FFileReadOnly = true;
    }
    if (error != os::kOsSuccess) Raise(MapOSError(error));
    error = FFile.Open(path, FReadOnly ? os::TAccess::Read : os::TAccess::ReadWrite,
                       FExclusive ? os::TSharing::Exclusive : os::TSharing::Shared, FWriteThrough);
    if (error != os::kOsSuccess) Raise(MapOSError(error));
  }
  if (FLogActive) WriteLog("Open of file " + FFileName);
  FActive = true;
}

void TFileHandler::Close() {
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    if (FHandle > 0 && FMemoryFile != nullptr) FMemoryFile->CloseHandle(FHandle);
    FMemoryFile = nullptr;
    FHandle = 0;
  } else {
    FFile.Close();
    FHandle = 0;
  }
  if (FActive && FLogActive) WriteLog("Close of file " + FFileName);
  FActive = false;
}

void TFileHandler::CreateNew() {
  CheckClosed();
  if (!FExclusive) Raise(kErrMustBeExclusive);
  if (FInMemory) {
    OpenMemory(true);
  } else {
    int error = FFile.Create(NativePath(FFileName), os::TSharing::Exclusive, FWriteThrough);
    if (error != os::kOsSuccess) Raise(MapOSError(error));
  }
  if (FLogActive) WriteLog("Creation of file " + FFileName);
  FActive = true;
}

void TFileHandler::Delete() {
  CheckClosed();
  bool deleted;
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    deleted = CurrentSession().MemoryFiles().DeleteMemoryFile(FFileName);
  } else {
    deleted = os::DeleteFile(NativePath(FFileName)) == os::kOsSuccess;
  }
  if (!deleted) Raise(kErrCannotDelete);
  if (FLogActive) WriteLog("Deletion of file " + FFileName);
}

void TFileHandler::Rename(const std::string& newName) {
  CheckClosed();
  std::string target = NormalizeFileName(newName);
  bool renamed;
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    renamed = CurrentSession().MemoryFiles().RenameMemoryFile(FFileName, target);
  } else {
    renamed = os::RenameFile(NativePath(FFileName), NativePath(target)) == os::kOsSuccess;
  }
  if (!renamed) Raise(kErrUnknownOsError);
  if (FLogActive) WriteLog("Rename of file " + FFileName + " to " + target);
  FFileName = target;
}

void TFileHandler::CopyTo(const std::string& destination) {
  if (!FActive) return;
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    int32_t result = CurrentSession().MemoryFiles().CopyMemoryFile(*FMemoryFile, FHandle, destination);
    if (result < 0) Raise(static_cast<uint16_t>(-result));
  } else {
    os::TOsFile target;
    int error = target.Create(NativePath(destination), os::TSharing::Exclusive, false);
    if (error != os::kOsSuccess) RaiseEngineError(MapOSError(error), destination);
    Seek(0, 0);
    std::vector<char> piece(kCopyPiece);
    int32_t got;
    do {
      got = Read(piece.data(), kCopyPiece, true);
      if (got > 0 && target.Write(piece.data(), got) != got) RaiseEngineError(kErrWrite, destination);
    } while (got == kCopyPiece);
  }
  if (FLogActive) WriteLog("Copy of file " + FFileName + " to " + destination);
}

int32_t TFileHandler::Read(void* buffer, int32_t count, bool allowShort) {
  int64_t got;
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    if (FMemoryFile == nullptr) Raise(kErrRead);
    got = FMemoryFile->Read(FHandle, buffer, count);
  } else {
    got = FFile.Read(buffer, count);
    if (got < 0) Raise(kErrRead);
  }
  if (got < count && !allowShort) Raise(kErrRead);
  if (FLogActive) WriteLog("Read from file " + FFileName + " of " + std::to_string(count));
  return static_cast<int32_t>(got);
}

void TFileHandler::Write(const void* buffer, int32_t count) {
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    if (FMemoryFile == nullptr || FReadOnly) Raise(kErrWrite);
    if (FMemoryFile->Write(FHandle, buffer, count) < count) Raise(kErrWrite);
  } else if (count == 0) {
    if (!FFile.Truncate()) Raise(kErrWrite);
  } else if (FFile.Write(buffer, count) != count) {
    Raise(kErrWrite);
  }
  if (FLogActive) WriteLog("Write to file " + FFileName + " of " + std::to_string(count));
}

void TFileHandler::Flush() {
  if (!FInMemory && !FFile.Flush()) Raise(kErrWrite);
  if (FLogActive) WriteLog("Flush to disk for file " + FFileName);
}

int64_t TFileHandler::Seek(int64_t offset, int origin) {
  int64_t position;
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    position = FMemoryFile == nullptr
                   ? 0
                   : FMemoryFile->Seek(FHandle, static_cast<int32_t>(offset), origin);
  } else {
    position = FFile.Seek(offset, origin);
  }
  if (FLogActive) {
    WriteLog("Seek in file " + FFileName + " from " + std::to_string(origin) + " to position " +
             std::to_string(offset));
  }
  return position;
}

bool TFileHandler::LockBytes(int64_t offset, int64_t length, bool lock) {
  if (FExclusive) return true;
  bool done;
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    int32_t start = static_cast<int32_t>(offset);
    int32_t size = static_cast<int32_t>(length);
    done = FMemoryFile != nullptr &&
           (lock ? FMemoryFile->LockRange(start, size) : FMemoryFile->UnlockRange(start, size));
  } else {
    done = lock ? FFile.Lock(offset, length) : FFile.Unlock(offset, length);
  }
  if (FLogActive) {
    WriteLog(std::string(lock ? "Lock in file " : "Unlock in file ") + FFileName + " from position " +
             std::to_string(offset) + " for " + std::to_string(length));
  }
  return done;
}

bool TFileHandler::FileExists() {
  if (FLogActive) WriteLog("File exists test for file " + FFileName);
  if (FInMemory) {
    TMemoryGuard guard(MemoryFileLock());
    return CurrentSession().MemoryFiles().MemoryFileExists(FFileName);
  }
  return os::FileExists(NativePath(FFileName));
}

void TFileHandler::WriteLog(const std::string& text) {
  if (!FLogFile) {
    auto log = std::make_unique<TFileHandler>();
    log->SetFileName(kLogFileName);
    if (!log->FileExists()) {
      log->SetExclusive(true);
      log->CreateNew();
      log->FExclusive = false;
    } else {
      log->Open();
    }
    FLogFile = std::move(log);
  }
  FLogFile->Seek(0, 2);
  std::string line = text + "\r\n";
  FLogFile->Write(line.data(), static_cast<int32_t>(line.size()));
}

}  // namespace tarnel
