#include "log_lines.h"

#include "log/log.h"

LogLines::LogLines() {
  WriteFileBytes(folder / L"Update.log", "");
  OpenLog(folder.path());
}

LogLines::~LogLines() { CloseLog(); }

std::vector<std::string> LogLines::Messages() const {
  std::vector<std::string> messages;
  std::string text = ReadFileBytes(folder / L"Update.log");
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
