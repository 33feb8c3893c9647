#include "log/log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
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

std::string FormatPiece(const std::string& spec, ...) {
  va_list args;
  va_start(args, spec);
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(small, sizeof small, spec.c_str(), copy);
  va_end(copy);
  std::string out;
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else if (n >= 0) {
    std::vector<char> big(static_cast<size_t>(n) + 1);
    vsnprintf(big.data(), big.size(), spec.c_str(), args);
    out.assign(big.data(), static_cast<size_t>(n));
  }
  va_end(args);
  return out;
}

// Wide texts go into the line in the ANSI code page, with '?' for what it
// cannot show: the C runtime's "%S" would cut the line at the first such
// character, and paths here are often not ASCII.
std::string WideToAnsi(const wchar_t* text) {
  if (!text) return "(null)";
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

// printf rules, one conversion at a time, so that each argument is read with
// its own type and "%S" arguments are converted as above.
std::string FormatText(const char* format, va_list args) {
  std::string out;
  for (const char* p = format; *p;) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    const char* start = p++;
    while (*p && std::strchr("-+ #0", *p)) ++p;
    int starArgs[2];
    int stars = 0;
    auto number = [&] {
      if (*p == '*') {
        starArgs[stars++] = va_arg(args, int);
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') ++p;
      }
    };
    number();
    if (*p == '.') {
      ++p;
      number();
    }
    int longs = 0;
    bool wide64 = false, size = false;
    for (;;) {
      if (*p == 'l') { ++longs; ++p; }
      else if (*p == 'h') { ++p; }
      else if (*p == 'z') { size = true; ++p; }
      else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') { wide64 = true; p += 3; }
      else break;
    }
    if (!*p) {
      out.append(start);
      break;
    }
    char conversion = *p++;
    std::string spec(start, p);
    auto piece = [&](auto value) {
      if (stars == 2) return FormatPiece(spec, starArgs[0], starArgs[1], value);
      if (stars == 1) return FormatPiece(spec, starArgs[0], value);
      return FormatPiece(spec, value);
    };
    switch (conversion) {
      case '%': out += '%'; break;
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
        if (longs >= 2 || wide64) out += piece(va_arg(args, long long));
        else if (longs == 1) out += piece(va_arg(args, long));
        else if (size) out += piece(va_arg(args, size_t));
        else out += piece(va_arg(args, int));
        break;
      case 'c': out += piece(va_arg(args, int)); break;
      case 'p': out += piece(va_arg(args, void*)); break;
      case 'e': case 'E': case 'f': case 'g': case 'G': out += piece(va_arg(args, double)); break;
      case 's':
        if (longs >= 1) {
          spec.erase(spec.find('l'), 1);
          out += piece(WideToAnsi(va_arg(args, const wchar_t*)).c_str());
        } else {
          const char* text = va_arg(args, const char*);
          out += piece(text ? text : "(null)");
        }
        break;
      case 'S':
        spec.back() = 's';
        out += piece(WideToAnsi(va_arg(args, const wchar_t*)).c_str());
        break;
      default: out.append(start, p); break;
    }
  }
  return out;
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
