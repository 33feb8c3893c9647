#include "support/run_program.h"

#include <windows.h>

#include <vector>

ProgramResult RunProgram(const std::wstring& commandLine, unsigned long timeoutMs) {
  ProgramResult result;
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return result;
  }
  result.started = true;
  if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.exitCode = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.rfind(L'\\') + 1);
}

ScopedEnvironment::ScopedEnvironment(const std::wstring& name, const std::wstring& value)
    : name(name) {
  wchar_t buffer[4096];
  DWORD n = GetEnvironmentVariableW(name.c_str(), buffer, 4096);
  if (n > 0 && n < 4096) {
    hadOld = true;
    old.assign(buffer, n);
  }
  SetEnvironmentVariableW(name.c_str(), value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  SetEnvironmentVariableW(name.c_str(), hadOld ? old.c_str() : nullptr);
}
