#include "base/process.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"

bool RunHiddenAndWait(const std::wstring& commandLine, unsigned long& exitCode,
                      unsigned long& startError) {
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    startError = GetLastError();
    return false;
  }
  // Thread handle first, then the process, once it has ended.
  zemora::UniqueHandle thread(process.hThread);
  zemora::UniqueHandle child(process.hProcess);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(child.get(), &code)) code = static_cast<DWORD>(-1);
  exitCode = code;
  return true;
}
