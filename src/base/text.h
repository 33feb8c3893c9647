// Conversions between the updater's wide texts and 8-bit texts.
#pragma once

#include <string>

namespace zemora {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// The thread's ANSI code page (CP_THREAD_ACP), as MakeSureDirectoryPathExists
// and TinyXML's file loading want paths.
std::string WideToThreadAnsi(const std::wstring& text);
std::wstring ThreadAnsiToWide(const std::string& text);
// Ordinal comparison ignoring letter case (MD5 texts, file names, words).
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
// Wide text formatted with printf rules (%s is a wide string).
std::wstring FormatWide(const wchar_t* format, ...);

}  // namespace zemora
