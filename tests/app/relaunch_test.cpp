#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "app/options.h"
#include "app/relaunch.h"
#include "base/text.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

// The relaunched updater must see exactly the options the first one had.
TEST(RelaunchTest, TheCommandLineSplitsBackIntoTheSameOptions) {
  struct Case {
    std::wstring parent, updatePath;
    bool hasChannel;
    std::wstring channel;
  } cases[] = {{L"1a2b", L"C:\\Tools\\", true, L"abc"},
               {L"ff", L"C:\\Program Files (x86)\\Zemora\\", false, L""},
               {L"1", L"C:\\", true, L""},
               {L"2", L"D:\\a b\\c=d\\", true, L"x"}};
  TempFolder temp;
  ScopedEnvironment out(L"ZEMORA_ARGV_OUT", temp / L"argv.txt");
  for (const auto& c : cases) {
    std::wstring parameters = BuildRelaunchParameters(c.parent, c.updatePath, c.hasChannel, c.channel);
    ProgramResult r = RunProgram(L"\"" + ProgramFolder() + L"argv_echo.exe\" " + parameters);
    ASSERT_TRUE(r.started);
    ASSERT_EQ(r.exitCode, 0u);
    std::vector<std::wstring> arguments;
    std::istringstream lines(ReadFileBytes(temp / L"argv.txt"));
    for (std::string line; std::getline(lines, line);) arguments.push_back(zemora::Utf8ToWide(line));
    std::vector<const wchar_t*> argv;
    for (const auto& a : arguments) argv.push_back(a.c_str());
    Options options;
    ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
    EXPECT_EQ(options.GetOption(L"parent"), c.parent);
    EXPECT_EQ(options.GetOption(L"update_info"), L"Update.xml");
    EXPECT_EQ(options.GetOption(L"update_path"), c.updatePath) << parameters;
    EXPECT_EQ(options.HasOption(L"channel"), c.hasChannel);
    EXPECT_EQ(options.GetOption(L"channel"), c.channel);
    EXPECT_FALSE(options.HasOption(L"lp"));
  }
}

}  // namespace
