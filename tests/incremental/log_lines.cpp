#include "log_lines.h"

#include "log/log.h"
#include "support/log_messages.h"

LogLines::LogLines() {
  WriteFileBytes(folder / L"Update.log", "");
  OpenLog(folder.path());
}

LogLines::~LogLines() { CloseLog(); }

std::vector<std::string> LogLines::Messages() const {
  return ReadLogMessages(folder / L"Update.log");
}
