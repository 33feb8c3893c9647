#include "options.h"

#include <cwchar>

#include "status/packet.h"

namespace {

bool ParseMilliseconds(const std::wstring& text, DWORD* value) {
  if (text.empty() || text.size() > 9) return false;
  DWORD result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + static_cast<DWORD>(c - L'0');
  }
  *value = result;
  return true;
}

}  // namespace

bool ParseMonitorOptions(int count, const wchar_t* const* arguments, MonitorOptions* options,
                         std::wstring* error) {
  options->pipe = kDefaultStatusPipeName;
  for (int i = 0; i < count; ++i) {
    std::wstring argument = arguments[i];
    std::wstring name = argument, value;
    bool hasValue = false;
    size_t equals = argument.find(L'=');
    if (argument.rfind(L"--", 0) == 0 && equals != std::wstring::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
      hasValue = true;
    }
    if (name == L"--help" || name == L"-h" || name == L"/?") {
      options->help = true;
      continue;
    }
    if (name == L"--follow") {
      options->follow = true;
      continue;
    }
    if (name != L"--pipe" && name != L"--wait-ms" && name != L"--poll-ms" &&
        name != L"--transcript") {
      *error = L"unknown option " + argument;
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= count) {
        *error = L"missing value for " + name;
        return false;
      }
      value = arguments[++i];
    }
    if (name == L"--pipe") {
      if (value.empty()) {
        *error = L"empty pipe name";
        return false;
      }
      options->pipe = value;
    } else if (name == L"--transcript") {
      options->transcript = value;
    } else if (!ParseMilliseconds(value, name == L"--wait-ms" ? &options->waitMs
                                                              : &options->pollMs)) {
      *error = L"bad number of milliseconds for " + name + L": " + value;
      return false;
    }
  }
  return true;
}

const char* MonitorUsage() {
  return "statusmon: follows an update run on the updater's status pipe.\n"
         "\n"
         "usage: statusmon [--pipe NAME] [--wait-ms N] [--poll-ms N] [--transcript FILE]\n"
         "                 [--follow] [--help]\n"
         "\n"
         "  --pipe NAME        pipe to connect to; a bare name means \\\\.\\pipe\\NAME\n"
         "                     (default \\\\.\\pipe\\{85634BBD-AE35-4cdd-83A9-C0720DD61F59})\n"
         "  --wait-ms N        how long to wait for the updater's pipe (default 10000)\n"
         "  --poll-ms N        ask for the engine (1008) and application (1009) states\n"
         "                     every N ms (default 0: never)\n"
         "  --transcript FILE  write every event as one JSON line to FILE, flushed\n"
         "                     line by line\n"
         "  --follow           after 2019 (the updater starts its new copy), wait for\n"
         "                     the new updater's pipe and go on\n"
         "  --help             this text\n"
         "\n"
         "Each packet is printed as a line: code, parameter (- when none), meaning.\n"
         "On a console, download progress (2009) is drawn as a bar.\n"
         "\n"
         "exit codes:\n"
         "  0  success: 2016 with 1, 2018 or 2012 was seen\n"
         "  1  failure: status packets came, but no success\n"
         "  2  nothing seen: the pipe closed before any status packet\n"
         "  3  no updater's pipe within --wait-ms, or it could not be opened\n"
         "  4  bad options\n";
}
