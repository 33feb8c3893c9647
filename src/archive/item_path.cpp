#include "archive/item_path.h"

#include <cwctype>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsOnlyDotsAndSpaces(const std::wstring& name) {
  return name.find_first_not_of(L". ") == std::wstring::npos;
}

// Windows opens these devices whatever folder and extension precede them.
bool IsDeviceName(const std::wstring& name) {
  std::wstring base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices) {
    if (base == device) return true;
  }
  bool numbered = base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0);
  return numbered && base[3] >= L'1' && base[3] <= L'9';
}

}  // namespace

bool IsSafeItemPath(const std::wstring& path) {
  if (path.empty() || path.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::wstring name = path.substr(start, end - start);
    if (name.empty() || IsOnlyDotsAndSpaces(name) || IsDeviceName(name)) return false;
    start = end + 1;
  }
  return true;
}

std::wstring ParentFolder(const std::wstring& path) {
  size_t last = path.find_last_of(L"\\/");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}
