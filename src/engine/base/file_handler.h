// TFileHandler: one file of the engine, on disk or (with InMemory) an in-memory file of the
// current session, with the same operations and byte-range locks either way. Base of the data,
// index and BLOB files. Every failure is an engine error naming FileName.
//
// Settings change only while the handler is closed (10031 otherwise). A descendant's destructor
// closes the descendant; the base destructor closes the file and the I/O log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/os_file.h"

namespace tarnel {

class TMemoryFile;

class TFileHandler {
 public:
  TFileHandler() = default;
  virtual ~TFileHandler();
  TFileHandler(const TFileHandler&) = delete;
  TFileHandler& operator=(const TFileHandler&) = delete;

  // The name to keep for a requested name; the plain handler keeps it unchanged.
  virtual std::string NormalizeFileName(const std::string& name) const;
  virtual void Open();
  virtual void Close();
  // Creates (or truncates) the file and leaves it open; needs Exclusive (10253).
  virtual void CreateNew();
  void Delete();
  void Rename(const std::string& newName);
  // Copies the open file to `destination` in pieces of 65535 bytes.
  void CopyTo(const std::string& destination);
  // Reads at the current position; fewer bytes than asked raise 9217 unless allowShort.
  int32_t Read(void* buffer, int32_t count, bool allowShort = false);
  // Writes at the current position; a count of 0 cuts the file at the position.
  void Write(const void* buffer, int32_t count);
  void Flush();
  int64_t Seek(int64_t offset, int origin);
  // Places (lock) or removes a byte-range lock; true on success. Always true when Exclusive.
  bool LockBytes(int64_t offset, int64_t length, bool lock);
  bool FileExists();

  void SetFileName(const std::string& name);
  void SetInMemory(bool value);
  void SetExclusive(bool value);
  void SetReadOnly(bool value);
  // Takes effect at the next open; ignored while open.
  void SetWriteThrough(bool value);
  void SetLogActive(bool value) { FLogActive = value; }

  const std::string& FileName() const { return FFileName; }
  bool InMemory() const { return FInMemory; }
  bool Exclusive() const { return FExclusive; }
  bool ReadOnly() const { return FReadOnly; }
  bool FileReadOnly() const { return FFileReadOnly; }
  bool Active() const { return FActive; }
  bool WriteThrough() const { return FWriteThrough; }
  bool LogActive() const { return FLogActive; }
  TMemoryFile* MemoryFile() const { return FMemoryFile; }
  // The in-memory handle number; 0 when closed or on disk.
  int32_t Handle() const { return FHandle; }

 protected:
  [[noreturn]] void Raise(uint16_t code) const;
  // Appends a line to the I/O log. Callers test LogActive first, so that no text is composed for
  // every read, seek and lock while the log is off.
  void WriteLog(const std::string& text);

 private:
  void CheckClosed() const;
  void OpenMemory(bool create);

  bool FInMemory = false;
  TMemoryFile* FMemoryFile = nullptr;
  std::string FFileName;
  int32_t FHandle = 0;
  bool FExclusive = false;
  bool FReadOnly = false;
  bool FFileReadOnly = false;
  bool FActive = false;
  bool FWriteThrough = false;
  bool FLogActive = false;
  std::unique_ptr<TFileHandler> FLogFile;
  os::TOsFile FFile;
};

}  // namespace tarnel
