// Turns the log on in a test's work folder and reads back its messages.
#pragma once

#include <string>
#include <vector>

#include "log/log.h"
#include "support/log_messages.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

class WorkFolderWithLog {
 public:
  WorkFolderWithLog() : workDir(L"ZEMORA_WORK_DIR", temp.path()) {
    WriteFileBytes(temp / L"Update.log", "");
    OpenLog(temp.path());
  }
  ~WorkFolderWithLog() { CloseLog(); }

  const std::wstring& path() const { return temp.path(); }
  std::wstring operator/(const std::wstring& name) const { return temp / name; }

  // The messages logged so far, without the dated prefix.
  std::vector<std::string> Messages() const { return ReadLogMessages(temp / L"Update.log"); }
  // Forgets the messages so far.
  void ClearMessages() {
    CloseLog();
    WriteFileBytes(temp / L"Update.log", "");
    OpenLog(temp.path());
  }

 private:
  TempFolder temp;
  ScopedEnvironment workDir;
};
