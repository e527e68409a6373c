// Fuzz target: decoding a damaged index page in every compression mode must give back entries
// that encode again, or an engine error; never a read or write out of bounds.
#include <cstdint>
#include <vector>

#include "engine/base/errors.h"
#include "engine/index/index_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  tarnel::TPageOptions options;
  options.KeyLength = static_cast<uint16_t>(1 + (data[0] | (data[1] << 8)) % 1040);
  options.Compression = data[2] & 3;
  options.HasSuffix = (data[2] & 4) != 0 && options.KeyLength > 4;
  std::vector<uint8_t> image(tarnel::kPageSize, 0);
  for (size_t i = 3; i < size && i - 3 < image.size(); ++i) image[i - 3] = data[i];
  tarnel::TPage page;
  page.Reset(options);
  try {
    page.DecodePage(image.data(), false, "F.IDX");
    page.RecomputeCompression();
    if (!page.Overflows()) page.EncodePage(image.data(), "F.IDX");
  } catch (const tarnel::EDBEngineError&) {
  }
  return 0;
}
