// A fresh temporary directory per test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace tarnel::test {

class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return FPath; }
  // Path() joined with `name`.
  std::string File(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

// The size of a file in bytes, or -1 when it does not exist.
long FileSize(const std::string& path);
// The whole contents of a file.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& contents);

}  // namespace tarnel::test
