#include "log/log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t* const kCandidateNames[] = {L"Update.log",   L"Update.v.log", L"Update.i.log",
                                          L"Update.d.log", L"Update.w.log", L"Update.e.log"};
const DWORD kAppendLimit = 5242880;  // larger files are emptied when opened

HANDLE logFile = INVALID_HANDLE_VALUE;

// One line's prefix and text stay together when several threads log.
CRITICAL_SECTION& LogLock() {
  static CRITICAL_SECTION section = [] {
    CRITICAL_SECTION s;
    InitializeCriticalSection(&s);
    return s;
  }();
  return section;
}

const char* LevelName(LogLevel level) {
  switch (level) {
    case None: return "NONE";
    case Error: return "ERRO";
    case Warning: return "WARN";
    case Debug: return "DEBG";
    case Info: return "INFO";
    case Verbose: return "VERB";
  }
  return ">VERB";
}

std::string FormatText(const char* format, va_list args) {
  std::vector<char> buffer(1024);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(static_cast<size_t>(n) + 1);
  }
}

// Every line ends with exactly one CR LF; embedded breaks keep their place.
std::string NormaliseLineEnds(const std::string& text) {
  std::string lf;
  lf.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lf += text[i];
  }
  if (lf.empty() || lf.back() != '\n') lf += '\n';
  std::string out;
  out.reserve(lf.size() * 2);
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void WriteAll(const std::string& bytes) {
  DWORD written = 0;
  WriteFile(logFile, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void OpenLog(const std::wstring& folder) {
  std::wstring path;
  for (const wchar_t* name : kCandidateNames) {
    std::wstring candidate = folder + name;
    HANDLE probe = CreateFileW(candidate.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) continue;
    DWORD size = GetFileSize(probe, nullptr);
    CloseHandle(probe);
    bool append = size != INVALID_FILE_SIZE && size >= 1 && size <= kAppendLimit;
    HANDLE file = CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    if (append) SetFilePointer(file, 0, nullptr, FILE_END);
    EnterCriticalSection(&LogLock());
    logFile = file;
    LeaveCriticalSection(&LogLock());
    return;
  }
}

void Log(LogLevel level, const char* format, ...) {
  if (logFile == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char prefix[64];
  snprintf(prefix, sizeof prefix, "%04d-%02d-%02d %02d:%02d:%02d [%s] ", now.wYear, now.wMonth,
           now.wDay, now.wHour, now.wMinute, now.wSecond, LevelName(level));
  va_list args;
  va_start(args, format);
  std::string message = NormaliseLineEnds(FormatText(format, args));
  va_end(args);

  EnterCriticalSection(&LogLock());
  if (logFile != INVALID_HANDLE_VALUE) {
    WriteAll(prefix);
    WriteAll(message);
  }
  LeaveCriticalSection(&LogLock());
}

void CloseLog() {
  EnterCriticalSection(&LogLock());
  if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
  logFile = INVALID_HANDLE_VALUE;
  LeaveCriticalSection(&LogLock());
}
