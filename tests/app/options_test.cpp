#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/options.h"

namespace {

struct ParseCase {
  std::vector<std::wstring> arguments;
  std::map<std::wstring, std::wstring> expected;
};

class ParseOptionsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseOptionsTest, GivesTheExpectedMap) {
  const ParseCase& c = GetParam();
  std::vector<const wchar_t*> argv;
  for (const auto& a : c.arguments) argv.push_back(a.c_str());
  Options options;
  ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
  EXPECT_EQ(options.All(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ParseOptionsTest,
    ::testing::Values(
        ParseCase{{L"--parent=1a2b"}, {{L"parent", L"1a2b"}}},
        ParseCase{{L"-parent=1a2b"}, {{L"parent", L"1a2b"}}},
        ParseCase{{L"/parent=1a2b"}, {{L"parent", L"1a2b"}}},
        ParseCase{{L"--parent", L"1a2b"}, {{L"parent", L"1a2b"}}},
        ParseCase{{L"--Parent=1a2b"}, {{L"Parent", L"1a2b"}}},
        ParseCase{{L"--x", L"--parent=1"}, {{L"x", L"true"}, {L"parent", L"1"}}},
        ParseCase{{L"--parent=1", L"--x"}, {{L"x", L"true"}, {L"parent", L"1"}}},
        ParseCase{{L"---x=1"}, {{L"-x", L"1"}}},
        ParseCase{{L"/-x=1"}, {{L"x", L"1"}}},
        ParseCase{{L"--update_path=C:\\a=b\\"}, {{L"update_path", L"C:\\a=b\\"}}},
        ParseCase{{L"word", L"--a=1", L"other"}, {{L"a", L"1"}}},
        ParseCase{{L"--"}, {}},
        ParseCase{{L"-"}, {}},
        ParseCase{{L"--x", L"--"}, {{L"x", L"true"}}},
        ParseCase{{L"--a=1", L"--a=2"}, {{L"a", L"2"}}},
        ParseCase{{L"--a="}, {{L"a", L""}}},
        ParseCase{{L"--a", L""}, {{L"a", L""}}},
        ParseCase{{L"--a", L"-b", L"v"}, {{L"a", L"true"}, {L"b", L"v"}}}));

TEST(ParseOptionsTest, LongValuesAreKeptWhole) {
  std::wstring value(100000, L'z');
  std::wstring argument = L"--channel=" + value;
  const wchar_t* argv[] = {argument.c_str()};
  Options options;
  ParseOptions(1, argv, options);
  EXPECT_EQ(options.GetOption(L"channel"), value);
  EXPECT_TRUE(options.HasOption(L"channel"));
  EXPECT_FALSE(options.HasOption(L"Channel"));
  EXPECT_EQ(options.GetOption(L"missing"), L"");
}

TEST(IsValidParentTest, FollowsTheHexScanRule) {
  struct Case {
    const wchar_t* value;
    bool valid;
  } cases[] = {{L"1a2b", true}, {L"0x1a", true},      {L"1a2bzz", true}, {L"12zz", true},
               {L"0", true},    {L"", false},         {L"zz", false},    {L"ffffffff", false},
               {L"FFFFFFFF", false}, {L"fffffffe", true}};
  for (const auto& c : cases) EXPECT_EQ(IsValidParent(c.value), c.valid) << c.value;
}

}  // namespace
