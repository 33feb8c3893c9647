#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "log/log.h"
#include "support/temp_folder.h"

namespace {

// The text after the dated prefix of every line, in order.
std::string Messages(const std::string& content) {
  std::string out;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find("\r\n", pos);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(pos, end - pos);
    out += line.size() >= 27 ? line.substr(27) : "<short:" + line + ">";
    out += "|";
    pos = end + 2;
  }
  return out;
}

TEST(LogTest, StaysOffWithoutACandidateFile) {
  TempFolder temp;
  OpenLog(temp.path());
  Log(Error, "nothing");
  CloseLog();
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((temp.path() + L"*.log").c_str(), &entry);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST(LogTest, TakesTheFirstCandidateInOrder) {
  struct Case {
    std::vector<std::wstring> present;
    std::wstring chosen;
  } cases[] = {{{L"Update.e.log"}, L"Update.e.log"},
               {{L"Update.i.log", L"Update.log"}, L"Update.log"},
               {{L"Update.w.log", L"Update.v.log"}, L"Update.v.log"},
               {{L"Update.d.log", L"Update.e.log"}, L"Update.d.log"}};
  for (const auto& c : cases) {
    TempFolder temp;
    for (const auto& name : c.present) WriteFileBytes(temp / name, "");
    OpenLog(temp.path());
    Log(Error, "hello");
    CloseLog();
    for (const auto& name : c.present) {
      std::string content = ReadFileBytes(temp / name);
      if (name == c.chosen) {
        EXPECT_EQ(Messages(content), "hello|");
      } else {
        EXPECT_EQ(content, "") << "untouched";
      }
    }
  }
}

TEST(LogTest, AppendsUpToFiveMebibytesAndEmptiesLargerFiles) {
  for (size_t size : {size_t{5242880}, size_t{5242881}, size_t{1}}) {
    TempFolder temp;
    WriteFileBytes(temp / L"Update.log", std::string(size, 'x'));
    OpenLog(temp.path());
    Log(Error, "tail");
    CloseLog();
    std::string content = ReadFileBytes(temp / L"Update.log");
    if (size <= 5242880) {
      ASSERT_EQ(content.substr(0, size), std::string(size, 'x'));
      EXPECT_EQ(Messages(content.substr(size)), "tail|");
    } else {
      EXPECT_EQ(Messages(content), "tail|");
    }
  }
}

TEST(LogTest, WritesThePrefixAndNormalisesLineEnds) {
  TempFolder temp;
  WriteFileBytes(temp / L"Update.log", "");
  OpenLog(temp.path());
  Log(Error, "a");
  Log(Error, "a\r\n");
  Log(Error, "a\n");
  Log(Error, "%s", "");
  Log(Error, "x\ny\r\nz");
  Log(Warning, "w %d %S", 7, L"wide");
  Log(static_cast<LogLevel>(9), "odd");
  CloseLog();
  Log(Error, "after close");
  std::string content = ReadFileBytes(temp / L"Update.log");
  // 2024-03-05 09:07:02 [ERRO] a
  ASSERT_GT(content.size(), 27u);
  EXPECT_EQ(content[4], '-');
  EXPECT_EQ(content[10], ' ');
  EXPECT_EQ(content[13], ':');
  EXPECT_EQ(content.substr(19, 8), " [ERRO] ");
  EXPECT_NE(content.find("] w 7 wide\r\n"), std::string::npos);
  EXPECT_NE(content.find(" [WARN] w"), std::string::npos);
  EXPECT_NE(content.find(" [>VERB] odd\r\n"), std::string::npos);
  EXPECT_EQ(content.find("after close"), std::string::npos);
  size_t first = content.find("\r\n");
  std::string rest = content.substr(first + 2);
  EXPECT_EQ(rest.substr(27, 3), "a\r\n");
  EXPECT_NE(content.find("] \r\n"), std::string::npos);
  EXPECT_NE(content.find("] x\r\ny\r\nz\r\n"), std::string::npos);
  EXPECT_EQ(content.find("\r\r"), std::string::npos);
}

TEST(LogTest, FormatsEveryArgumentWithItsOwnType) {
  TempFolder temp;
  WriteFileBytes(temp / L"Update.log", "");
  OpenLog(temp.path());
  // A wide text the ANSI code page cannot show must not cut the line short.
  Log(Error, "copy %S to %S failed: %d", L"C:\\\u7cbe\u54c1ROM.url", L"D:\\x", 5);
  Log(Error, "%ld %lld %lu %u %s %5d|%-3s|%x %%", -7L, 1LL << 40, 4000000000UL, 7u, "n", 42, "a",
      255);
  Log(Error, "%S", static_cast<const wchar_t*>(nullptr));
  CloseLog();
  EXPECT_EQ(Messages(ReadFileBytes(temp / L"Update.log")),
            "copy C:\\??ROM.url to D:\\x failed: 5|-7 1099511627776 4000000000 7 n    42|a  |ff %|"
            "(null)|");
}

TEST(LogTest, TwoThreadsLoggingAtOnceKeepEveryLineWhole) {
  TempFolder temp;
  WriteFileBytes(temp / L"Update.log", "");
  OpenLog(temp.path());
  const int kLines = 2000;
  auto writer = [](char mark) {
    std::string text(100, mark);
    for (int i = 0; i < kLines; ++i) Log(Error, "%s", text.c_str());
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  CloseLog();
  std::string content = ReadFileBytes(temp / L"Update.log");
  int countA = 0, countB = 0;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    std::string message = content.substr(pos + 27, end - pos - 27);
    if (message == std::string(100, 'a')) ++countA;
    else if (message == std::string(100, 'b')) ++countB;
    else FAIL() << "torn line: " << message;
    pos = end + 2;
  }
  EXPECT_EQ(countA, kLines);
  EXPECT_EQ(countB, kLines);
}

TEST(LogTest, AFileThatCannotBeOpenedForWritingLeavesTheLogOff) {
  TempFolder temp;
  WriteFileBytes(temp / L"Update.log", "keep");
  // Another reader that lets nobody write: the probe opens, the writer cannot.
  HANDLE reader = CreateFileW((temp / L"Update.log").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  OpenLog(temp.path());
  Log(Error, "lost");
  CloseLog();
  CloseHandle(reader);
  EXPECT_EQ(ReadFileBytes(temp / L"Update.log"), "keep");
}

}  // namespace
