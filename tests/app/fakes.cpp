#include "app/fakes.h"

#include <cstring>

bool FakeStatusChannel::WritePacket(const void* payload, uint32_t size) {
  if (!open) return false;
  const auto* bytes = static_cast<const uint8_t*>(payload);
  int32_t code = 0, parameter = 0;
  std::memcpy(&code, bytes + 1, 4);
  if (size == 9) std::memcpy(&parameter, bytes + 5, 4);
  sent.push_back({code, parameter, size});
  return writesSucceed;
}
