#include "base/service_config.h"

#include <windows.h>

namespace zemora {
namespace {

std::wstring FromEnvironment(const wchar_t* name, const wchar_t* fallback) {
  wchar_t buffer[1024];
  DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  std::wstring value = (n > 0 && n < 1024) ? std::wstring(buffer, n) : std::wstring(fallback);
  while (!value.empty() && value.back() == L'/') value.pop_back();
  return value;
}

}  // namespace

std::wstring UpdateServiceBase() {
  return FromEnvironment(L"ZEMORA_UPDATE_SERVICE", ZEMORA_DEFAULT_UPDATE_SERVICE);
}
std::wstring StatServiceBase() {
  return FromEnvironment(L"ZEMORA_STAT_SERVICE", ZEMORA_DEFAULT_STAT_SERVICE);
}
std::wstring RomSiteBase() { return FromEnvironment(L"ZEMORA_ROM_SITE", ZEMORA_DEFAULT_ROM_SITE); }

}  // namespace zemora
