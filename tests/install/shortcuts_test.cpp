#include <gtest/gtest.h>

#include <windows.h>

#include "install/shortcuts.h"
#include "install/url_shortcut.h"
#include "registration_fixture.h"

namespace registration_test {
namespace {

using ShortcutsTest = RegistrationFixture;

const wchar_t kNewIcon[] = L"C:\\Apps\\Zemora\\3.0.1.5\\data\\tovask.ico";

// The shortcut object may not take an icon (Wine's has no link interface);
// where the saved file names one, it must be the new version folder's.
void ExpectFreshShortcut(const std::wstring& path, const char* what) {
  EXPECT_EQ(ShortcutValue(path, L"URL"), kShortcutUrl) << what;
  const std::wstring icon = ShortcutValue(path, L"IconFile");
  if (icon != L"<absent>") {
    EXPECT_EQ(icon, kNewIcon) << what;
  }
}

TEST_F(ShortcutsTest, ReplacesOnlyTheShortcutsTheUserHas) {
  struct Case {
    const char* what;
    bool onDesktop;
    bool inStartMenu;
  } cases[] = {
      {"neither", false, false},
      {"desktop only", true, false},
      {"start menu only", false, true},
      {"both", true, true},
  };
  for (const Case& c : cases) {
    RemoveTree(DesktopShortcut());
    RemoveTree(programs / L"Zemorakit");
    if (c.onDesktop) {
      ASSERT_TRUE(WriteFileBytes(DesktopShortcut(), kOldShortcut));
    }
    if (c.inStartMenu) {
      MakeFolders(programs / L"Zemorakit\\");
      ASSERT_TRUE(WriteFileBytes(ProgramsShortcut(), kOldShortcut));
    }

    EXPECT_EQ(RefreshShortcuts(info, kVersion), 1);

    EXPECT_EQ(FileExists(DesktopShortcut()), c.onDesktop) << c.what;
    if (c.onDesktop) ExpectFreshShortcut(DesktopShortcut(), c.what);
    EXPECT_EQ(FileExists(ProgramsShortcut()), c.inStartMenu) << c.what;
    EXPECT_EQ(FolderExists(programs / L"Zemorakit"), c.inStartMenu) << c.what;
    if (c.inStartMenu) ExpectFreshShortcut(ProgramsShortcut(), c.what);
  }
}

TEST_F(ShortcutsTest, CreatesAnInternetShortcutToTheRomSite) {
  const std::wstring path = desktop / L"site.url";
  EXPECT_EQ(CreateUrlShortcut(path, kNewIcon), 1);
  ExpectFreshShortcut(path, "created");
  EXPECT_EQ(RomSiteShortcutUrl(), kShortcutUrl);
}

// Without the shell folder a bare name would mean the current drive's root.
TEST_F(ShortcutsTest, SkipsAPlaceWhoseFolderIsUnknown) {
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  const std::wstring atRoot = std::wstring(current, 3) + kShortcutName;  // e.g. C:\ + name
  ASSERT_FALSE(FileExists(atRoot)) << "a file of that name would be overwritten";
  ASSERT_TRUE(WriteFileBytes(atRoot, kOldShortcut));
  RefreshShortcutIn(L"", kShortcutName, kNewIcon);
  EXPECT_EQ(ReadFileBytes(atRoot), kOldShortcut);
  DeleteFileW(atRoot.c_str());
}

}  // namespace
}  // namespace registration_test
