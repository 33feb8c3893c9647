// Turns the log on in a test's work folder and reads back its messages.
#pragma once

#include <string>
#include <vector>

#include "log/log.h"
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
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    std::string text = ReadFileBytes(temp / L"Update.log");
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      size_t prefix = line.find("] ");
      messages.push_back(prefix == std::string::npos ? line : line.substr(prefix + 2));
      start = end + 2;
    }
    return messages;
  }
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
