#include "engine/base/session.h"

#include <unistd.h>

#include <chrono>
#include <random>

#include "engine/base/errors.h"
#include "engine/base/memory_file.h"
#include "engine/base/password_list.h"
#include "engine/base/paths.h"
#include "platform/os/clock.h"
#include "platform/os/os_file.h"
#include "platform/rtl/format_settings.h"

namespace tarnel {

namespace {

bool gEngineStarted = false;
TFileSession* gCurrentSession = nullptr;

struct TEngineRandom {
  std::mt19937 Generator;
  pid_t Process = 0;
};

TEngineRandom& Random() {
  static TEngineRandom random;
  return random;
}

void SeedRandom() {
  TEngineRandom& random = Random();
  std::random_device device;
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  std::seed_seq seed{device(), device(), static_cast<unsigned>(::getpid()),
                     static_cast<unsigned>(now), static_cast<unsigned>(now >> 32)};
  random.Generator.seed(seed);
  random.Process = ::getpid();
}

// The generator is seeded when the program starts.
const bool gSeeded = (SeedRandom(), true);

}  // namespace

TFileSession::TFileSession()
    : FMemoryFiles(std::make_unique<TMemoryFileList>()),
      FPasswords(std::make_unique<TPasswordList>()) {}

TFileSession::~TFileSession() = default;

bool EngineStarted() { return gEngineStarted; }

void InitializeEngine() {
  if (gEngineStarted) return;
  gEngineStarted = true;
  gCurrentSession = new TFileSession();
}

void ShutdownEngine() {
  if (!gEngineStarted) return;
  delete gCurrentSession;
  gCurrentSession = nullptr;
  gEngineStarted = false;
}

TFileSession& CurrentSession() {
  if (!gEngineStarted || gCurrentSession == nullptr) RaiseEngineError(kErrNotInitialized);
  return *gCurrentSession;
}

void SetCurrentSession(TFileSession* session) { gCurrentSession = session; }

TFileSession* CreateSession() { return new TFileSession(); }

void FreeSession(TFileSession* session) { delete session; }

void SetPrivateDir(const std::string& directory) { CurrentSession().PrivateDir = directory; }

std::string GetPrivateDir() { return CurrentSession().PrivateDir; }

std::string UniqueTableName(TFileSession& session, bool inMemory) {
  std::string directory = session.PrivateDir.empty() ? os::CurrentDirectory() : session.PrivateDir;
  directory = AddPathDelimiter(directory);
  int64_t thread = os::CurrentThreadId();
  std::string stem = std::to_string(thread < 0 ? -thread : thread).substr(0, 5);
  std::unique_lock<std::recursive_mutex> guard(MemoryFileLock(), std::defer_lock);
  if (inMemory) guard.lock();
  for (int counter = 0;; ++counter) {
    std::string candidate = directory + stem + std::to_string(counter) + ".DAT";
    bool taken = inMemory ? session.MemoryFiles().MemoryFileExists(candidate)
                          : os::FileExists(NativePath(candidate));
    if (!taken) return candidate;
  }
}

void AddPassword(TFileSession& session, const std::string& password) {
  session.Passwords().AddPassword(password);
}

void RemovePassword(TFileSession& session, const std::string& password) {
  session.Passwords().RemovePassword(password);
}

void RemoveAllPasswords(TFileSession& session) { session.Passwords().RemoveAllPasswords(); }

bool HasPassword(TFileSession& session, const std::string& password) {
  return session.Passwords().HasPassword(password);
}

std::recursive_mutex& MemoryFileLock() {
  static std::recursive_mutex lock;
  return lock;
}

std::recursive_mutex& FormatLock() { return FormatSettingsLock(); }

uint32_t EngineRandom(uint32_t range) {
  (void)gSeeded;
  TEngineRandom& random = Random();
  if (random.Process != ::getpid()) SeedRandom();
  return range == 0 ? 0 : static_cast<uint32_t>(random.Generator() % range);
}

}  // namespace tarnel
