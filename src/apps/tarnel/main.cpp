// tarnel: the command-line tool for TARNEL tables.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/base/errors.h"
#include "engine/base/file_handler.h"
#include "engine/base/paths.h"
#include "engine/base/session.h"

namespace {

constexpr char kUsage[] =
    "Usage: tarnel --version | --help | selfcheck [DIRECTORY]\n"
    "  selfcheck  checks that files can be created, written, read and locked in DIRECTORY\n"
    "             (default: the current directory)\n";

int SelfCheck(const std::string& directory) {
  using namespace tarnel;
  InitializeEngine();
  int status = 0;
  try {
    TFileHandler file;
    file.SetFileName(AddPathDelimiter(directory) + "TARNELCK.TMP");
    file.SetExclusive(true);
    file.CreateNew();
    const char text[] = "TARNEL";
    file.Write(text, sizeof text);
    file.Seek(0, 0);
    char back[sizeof text] = {};
    file.Read(back, sizeof back);
    file.Close();
    file.SetExclusive(false);
    file.Open();
    bool locked = file.LockBytes(0x7FFFFFFF, 1, true) && file.LockBytes(0x7FFFFFFF, 1, false);
    file.Close();
    file.Delete();
    if (std::memcmp(text, back, sizeof text) != 0 || !locked) {
      std::fprintf(stderr, "tarnel: self-check failed in %s\n", directory.c_str());
      status = 1;
    } else {
      std::printf("TARNEL %s: files, reads, writes and locks work in %s\n", TARNEL_VERSION,
                  directory.c_str());
    }
  } catch (const EDatabaseError& error) {
    std::fprintf(stderr, "tarnel: %s\n", error.what());
    status = 1;
  }
  ShutdownEngine();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("tarnel %s\n", TARNEL_VERSION);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "selfcheck") == 0 && argc <= 3) {
    return SelfCheck(argc == 3 ? argv[2] : ".");
  }
  std::fputs(kUsage, stderr);
  return 2;
}
