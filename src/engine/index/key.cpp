#include "engine/index/key.h"

namespace tarnel {

void IncrementKey(uint8_t* key, int length) {
  int i = length - 1;
  while (i >= 0 && key[i] == 0xFF) --i;
  if (i < 0) return;  // all 0xFF
  ++key[i];
  for (int j = i + 1; j < length; ++j) key[j] = 0;
}

void DecrementKey(uint8_t* key, int length) {
  int i = length - 1;
  while (i >= 0 && key[i] == 0) --i;
  if (i < 0) return;  // all zero
  --key[i];
  for (int j = i + 1; j < length; ++j) key[j] = 0xFF;
}

}  // namespace tarnel
