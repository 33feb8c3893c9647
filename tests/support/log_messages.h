// Reading back what a test made the updater log.
#pragma once

#include <string>
#include <vector>

#include "support/temp_folder.h"

// The messages of the log file at `path`, each without its dated prefix.
inline std::vector<std::string> ReadLogMessages(const std::wstring& path) {
  std::vector<std::string> messages;
  std::string text = ReadFileBytes(path);
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
