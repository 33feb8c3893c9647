#include <zlib.h>

#include "shared/global_api.h"

uint32_t Crc32Utils::CRC32(uint32_t seed, const void* data, uint32_t length) {
  return static_cast<uint32_t>(crc32(seed, static_cast<const Bytef*>(data), length));
}
