#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdio>
#include <vector>

#include "base/text.h"
#include "shared/global_api.h"

std::string OsUtils::GetMacAddress() {
  ULONG size = 0;
  if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return {};
  std::vector<BYTE> buffer(size);
  auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
  if (GetAdaptersInfo(adapters, &size) != NO_ERROR) return {};
  for (IP_ADAPTER_INFO* a = adapters; a; a = a->Next) {
    if (a->AddressLength != 6) continue;
    char text[18];
    snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", a->Address[0], a->Address[1],
             a->Address[2], a->Address[3], a->Address[4], a->Address[5]);
    return text;
  }
  return {};
}

std::wstring CStrOperation::Str2WStr(const std::string& text) {
  if (text.empty()) return {};
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                          static_cast<int>(text.size()), nullptr, 0) > 0) {
    return zemora::Utf8ToWide(text);
  }
  return zemora::ThreadAnsiToWide(text);
}
