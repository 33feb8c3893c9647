// The wire format of the status pipe: a 4-byte little-endian payload size,
// then the payload: kind (1 byte, always 0), code (int32) and, in 9-byte
// payloads, a parameter (int32).
#pragma once

#include <cstdint>
#include <cstring>

// The pipe the parent connects to when the updater is not given "lp".
constexpr wchar_t kDefaultStatusPipeName[] = L"\\\\.\\pipe\\{85634BBD-AE35-4cdd-83A9-C0720DD61F59}";
// Payloads above this size end the connection.
constexpr uint32_t kMaxStatusPayload = 10485760;

struct StatusPayload {
  uint8_t bytes[9] = {};
  uint32_t size = 0;
};

inline StatusPayload MakeStatusPayload(int32_t code) {
  StatusPayload p;
  std::memcpy(p.bytes + 1, &code, 4);
  p.size = 5;
  return p;
}

inline StatusPayload MakeStatusPayload(int32_t code, int32_t parameter) {
  StatusPayload p = MakeStatusPayload(code);
  std::memcpy(p.bytes + 5, &parameter, 4);
  p.size = 9;
  return p;
}
