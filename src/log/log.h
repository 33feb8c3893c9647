// The updater's diagnostic log: off unless one of the known log files already
// exists in the work folder.
#pragma once

#include <string>

enum LogLevel { None = 0, Error = 1, Warning = 2, Debug = 3, Info = 4, Verbose = 5 };

// Opens the first existing candidate log file in `folder` (which ends with a
// backslash). Leaves the log off when there is none or it cannot be opened.
void OpenLog(const std::wstring& folder);
// Writes one line: a dated prefix, then the printf-formatted message (wide
// strings with "%S"), ended by exactly one CR LF. Safe from any thread.
void Log(LogLevel level, const char* format, ...);
// Closes the log; later calls write nothing.
void CloseLog();
