#include "base/text.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace zemora {
namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string ToNarrow(UINT codePage, const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(const std::wstring& text) { return ToNarrow(CP_UTF8, text); }
std::string WideToThreadAnsi(const std::wstring& text) { return ToNarrow(CP_THREAD_ACP, text); }
std::wstring ThreadAnsiToWide(const std::string& text) { return ToWide(CP_THREAD_ACP, text); }

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::wstring FormatWide(const wchar_t* format, ...) {
  std::vector<wchar_t> buffer(512);
  for (;;) {
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace zemora
