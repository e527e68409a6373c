// Runs a fuzz target without libFuzzer: every seed file given (files or folders), then
// TARNEL_FUZZ_MUTATIONS mutations of them (byte flips, cuts and insertions from a fixed seed),
// so that the everyday suite replays what the fuzzers found and a little more.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Collect(const std::filesystem::path& path, std::vector<std::string>& inputs) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) Collect(file, inputs);
  } else if (std::filesystem::is_regular_file(path, error)) {
    std::ifstream in(path, std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
}

void Run(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) Collect(argv[i], inputs);
  if (inputs.empty()) inputs.emplace_back();
  for (const std::string& input : inputs) Run(input);

  const char* count = std::getenv("TARNEL_FUZZ_MUTATIONS");
  long mutations = count != nullptr ? std::strtol(count, nullptr, 10) : 0;
  std::mt19937 random(12345);
  for (long n = 0; n < mutations; ++n) {
    std::string input = inputs[random() % inputs.size()];
    int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      unsigned kind = random() % 4;
      if (input.empty() || kind == 0) {
        input.insert(input.begin() + (input.empty() ? 0 : random() % input.size()),
                     static_cast<char>(random()));
      } else if (kind == 1) {
        input[random() % input.size()] = static_cast<char>(random());
      } else if (kind == 2) {
        input[random() % input.size()] ^= static_cast<char>(1u << (random() % 8));
      } else {
        input.resize(random() % input.size());
      }
    }
    Run(input);
  }
  std::printf("%zu seeds and %ld mutations ran\n", inputs.size(), mutations);
  return 0;
}
