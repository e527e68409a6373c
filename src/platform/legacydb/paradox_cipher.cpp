#include "platform/legacydb/paradox_cipher.h"

#include "platform/legacydb/legacy_error.h"

namespace tarnel::legacydb {

uint32_t ParadoxPasswordChecksum(const std::string&) { return 0; }

void DecryptParadoxBlock(uint8_t*, size_t, uint32_t, uint32_t) {
  throw ELegacyDbError("", "password-protected tables cannot be read");
}

void DecryptParadoxBlobUnit(uint8_t*, size_t, uint32_t, uint32_t) {
  throw ELegacyDbError("", "password-protected tables cannot be read");
}

}  // namespace tarnel::legacydb
