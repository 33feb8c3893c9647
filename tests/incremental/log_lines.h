// Turns the log on in a private folder for one test and reads it back.
#pragma once

#include <string>
#include <vector>

#include "support/temp_folder.h"

using Messages = std::vector<std::string>;

class LogLines {
 public:
  LogLines();
  ~LogLines();
  LogLines(const LogLines&) = delete;
  LogLines& operator=(const LogLines&) = delete;
  // The messages logged so far, without their dated prefix.
  std::vector<std::string> Messages() const;

 private:
  TempFolder folder;
};
