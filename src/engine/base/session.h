// The engine's global state and its sessions. A session carries what is per user of the engine:
// the private directory for temporary tables, the error context from which messages are
// composed, the in-memory files and the registered table passwords. Exactly one session is
// current while the engine is started.
//
// REQUIRES: one thread at a time per session; the data-access layer serialises engine calls.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace tarnel {

class TMemoryFileList;
class TPasswordList;

class TFileSession {
 public:
  TFileSession();
  ~TFileSession();
  TFileSession(const TFileSession&) = delete;
  TFileSession& operator=(const TFileSession&) = delete;

  std::string PrivateDir;  // empty: the current directory
  uint16_t LastErrorCode = 0;
  std::string ErrorFieldName;
  std::string ErrorFileName;
  std::string ErrorSQLText;
  std::string ErrorIndexName;

  TMemoryFileList& MemoryFiles() { return *FMemoryFiles; }
  TPasswordList& Passwords() { return *FPasswords; }

 private:
  std::unique_ptr<TMemoryFileList> FMemoryFiles;
  std::unique_ptr<TPasswordList> FPasswords;
};

bool EngineStarted();
// Starts the engine with a new default session made current; nothing when already started.
void InitializeEngine();
// Frees the current session and stops the engine; nothing when not started.
void ShutdownEngine();
// The current session; raises 10758 when the engine is not started.
TFileSession& CurrentSession();
void SetCurrentSession(TFileSession* session);
// A further session; it does not become current.
TFileSession* CreateSession();
void FreeSession(TFileSession* session);
void SetPrivateDir(const std::string& directory);
std::string GetPrivateDir();

// A name for a temporary table: the private directory (or the current one), five digits of the
// thread identifier, a counter and ".DAT"; the first such name that names no file (on disk or,
// with `inMemory`, among the session's in-memory files).
std::string UniqueTableName(TFileSession& session, bool inMemory);

void AddPassword(TFileSession& session, const std::string& password);
void RemovePassword(TFileSession& session, const std::string& password);
void RemoveAllPasswords(TFileSession& session);
bool HasPassword(TFileSession& session, const std::string& password);

// Guards every operation on in-memory files and their byte-range locks.
std::recursive_mutex& MemoryFileLock();
// Guards the swap of the process-wide format settings while a table's locale is in force.
std::recursive_mutex& FormatLock();

// A random number from 0 to range - 1 from the engine's generator, seeded once per process (and
// again in a forked child), so that two programs do not draw the same lock slots.
uint32_t EngineRandom(uint32_t range);

}  // namespace tarnel
