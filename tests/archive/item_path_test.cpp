#include <gtest/gtest.h>

#include "archive/item_path.h"

namespace {

TEST(ItemPathTest, OnlyPlainRelativePathsAreSafe) {
  struct Case {
    const wchar_t* path;
    bool safe;
  };
  const Case cases[] = {
      {L"setup.xml", true},
      {L"config\\setup.xml", true},
      {L"a/b\\c.txt", true},
      {L"..a\\b..\\.hidden", true},
      {L"console.txt", true},
      {L"COM10", true},
      {L"", false},
      {L"..", false},
      {L"..\\..\\x", false},
      {L"a\\..\\..\\x", false},
      {L"a/../x", false},
      {L"a\\.\\x", false},
      {L"... \\x", false},
      {L"a\\.. \\x", false},
      {L"\\x", false},
      {L"/x", false},
      {L"\\\\server\\share\\x", false},
      {L"C:\\x", false},
      {L"C:x", false},
      {L"x:stream", false},
      {L"a\\\\b", false},
      {L"a\\", false},
      {L"CON", false},
      {L"d\\con.txt", false},
      {L"nul .txt", false},
      {L"LPT1", false},
      {L"com9.log", false},
      {L"CONOUT$", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeItemPath(c.path), c.safe) << std::string(c.path, c.path + wcslen(c.path));
  }
}

}  // namespace
