// Starting programs from tests.
#pragma once

#include <string>

struct ProgramResult {
  bool started = false;
  unsigned long exitCode = 0;
};

// Runs `commandLine` (program path first, quoted as needed) and waits up to
// `timeoutMs`; a program still running then is terminated (exit code 0xDEAD).
ProgramResult RunProgram(const std::wstring& commandLine, unsigned long timeoutMs = 60000);
// The folder of the running test program, ending with a backslash; the built
// programs lie there too.
std::wstring ProgramFolder();
// Environment variable helpers that restore the old value when destroyed.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::wstring& name, const std::wstring& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name;
  std::wstring old;
  bool hadOld = false;
};
