// A stand-in full installer: appends its whole command line (UTF-8) to the
// file named by ZEMORA_FAKE_INSTALLER_LOG and exits with the number in
// ZEMORA_FAKE_INSTALLER_EXIT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int wmain() {
  const wchar_t* logPath = _wgetenv(L"ZEMORA_FAKE_INSTALLER_LOG");
  if (logPath) {
    FILE* log = _wfopen(logPath, L"ab");
    if (log) {
      char text[8192];
      int n = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, text, sizeof text, nullptr,
                                  nullptr);
      if (n > 0) fwrite(text, 1, static_cast<size_t>(n - 1), log);
      fputc('\n', log);
      fclose(log);
    }
  }
  const wchar_t* exitText = _wgetenv(L"ZEMORA_FAKE_INSTALLER_EXIT");
  return exitText ? _wtoi(exitText) : 0;
}
