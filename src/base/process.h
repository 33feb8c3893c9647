// Running a child program with a hidden window and waiting for its end.
#pragma once

#include <string>

// Starts `commandLine` (no inherited handles, the caller's environment and
// folder, hidden window) and waits for it without a limit. False with the
// system error in `startError` when it did not start; otherwise true with its
// exit code (all bits set when it cannot be read).
bool RunHiddenAndWait(const std::wstring& commandLine, unsigned long& exitCode,
                      unsigned long& startError);
