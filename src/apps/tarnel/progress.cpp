#include "apps/tarnel/progress.h"

#include <unistd.h>

#include <cstdio>

namespace tarnel::cli {

namespace {

constexpr int64_t kLargeInput = 4 << 20;
constexpr auto kInterval = std::chrono::milliseconds(200);

}  // namespace

TProgress::TProgress(const std::string& what, int64_t total)
    : FWhat(what), FTotal(total), FShown(::isatty(STDERR_FILENO) == 1 && (total == 0 || total >= kLargeInput)),
      FLast(std::chrono::steady_clock::now()) {}

TProgress::~TProgress() { Finish(); }

void TProgress::Update(int64_t done, int64_t rows) {
  if (!FShown) return;
  auto now = std::chrono::steady_clock::now();
  if (now - FLast < kInterval) return;
  FLast = now;
  if (FTotal > 0) {
    std::fprintf(stderr, "\r%s: %3d%%, %lld rows", FWhat.c_str(), static_cast<int>(done * 100 / FTotal),
                 static_cast<long long>(rows));
  } else {
    std::fprintf(stderr, "\r%s: %lld rows", FWhat.c_str(), static_cast<long long>(rows));
  }
  std::fflush(stderr);
  FVisible = true;
}

void TProgress::Finish() {
  if (!FVisible) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  FVisible = false;
}

}  // namespace tarnel::cli
