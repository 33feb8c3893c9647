// Command-line options of statusmon.
#pragma once

#include <windows.h>

#include <string>

struct MonitorOptions {
  std::wstring pipe;  // bare or full pipe name
  DWORD waitMs = 10000;
  DWORD pollMs = 0;  // 0: no polling
  std::wstring transcript;
  bool follow = false;
  bool help = false;
};

// False with `error` set for an unknown option or a bad value. Values follow
// the option as the next argument or after "=".
bool ParseMonitorOptions(int count, const wchar_t* const* arguments, MonitorOptions* options,
                         std::wstring* error);
// The --help text.
const char* MonitorUsage();
