#include <gtest/gtest.h>

#include <windows.h>

#include "install/install_info.h"
#include "log/log.h"
#include "registry_fixture.h"
#include "support/temp_folder.h"

namespace {

const wchar_t kProductKey[] = L"Software\\Varnholt\\Zemora";

class InstallInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, kProductKey);
    WriteFileBytes(logFolder / L"Update.log", "");
    OpenLog(logFolder.path());
  }
  void TearDown() override { CloseLog(); }
  std::string Messages() {
    CloseLog();
    return LogMessages(logFolder / L"Update.log");
  }

  SavedRegistryKey saved{HKEY_CURRENT_USER, L"Software\\Varnholt"};
  TempFolder logFolder;
};

TEST_F(InstallInfoTest, ReadsInstallDirWithOneTrailingBackslash) {
  const std::wstring longest(259, L'x');  // with its null, exactly the 520 bytes asked for
  struct Case {
    DWORD type;
    std::wstring stored;
    std::wstring installDir;
  } cases[] = {
      {REG_SZ, L"C:\\Apps\\Zemora", L"C:\\Apps\\Zemora\\"},
      {REG_SZ, L"C:\\Apps\\Zemora\\", L"C:\\Apps\\Zemora\\"},
      {REG_SZ, L"C", L"C\\"},
      {REG_SZ, L"", L""},
      {REG_EXPAND_SZ, L"%SystemDrive%\\Zemora", L"%SystemDrive%\\Zemora\\"},
      {REG_SZ, longest, longest + L"\\"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kProductKey, L"InstallDir", c.type,
                                 TextBytes(c.stored)));
    InstallInfo info;
    EXPECT_EQ(info.installDir, c.installDir) << c.stored;
  }
  EXPECT_EQ(Messages(), "") << "no failure to report";
}

TEST_F(InstallInfoTest, ReportsAnUnreadableInstallDirAndLeavesItEmpty) {
  struct Case {
    const char* what;
    bool createKey;
    std::wstring stored;  // empty: no value
    std::string message;
  } cases[] = {
      {"no key", false, L"", "cannot open zemora registry: 2|"},
      {"no value", true, L"", "query InstallDir in registry failed: 2|"},
      {"longer than the buffer", true, std::wstring(260, L'x'),
       "query InstallDir in registry failed: 234|"},
  };
  for (const Case& c : cases) {
    DeleteRegistryTree(HKEY_CURRENT_USER, kProductKey);
    if (c.createKey) {
      ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kProductKey, L"Other", REG_SZ,
                                   TextBytes(L"x")));
    }
    if (!c.stored.empty()) {
      ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kProductKey, L"InstallDir", REG_SZ,
                                   TextBytes(c.stored)));
    }
    WriteFileBytes(logFolder / L"Update.log", "");
    OpenLog(logFolder.path());
    InstallInfo info;
    EXPECT_EQ(info.installDir, L"") << c.what;
    EXPECT_EQ(Messages(), c.message) << c.what;
  }
}

TEST_F(InstallInfoTest, CreatesTheEngineFolderUnderCommonAppData) {
  const std::wstring expected = L"C:\\ProgramData\\Zemora\\Engine\\";
  RemoveDirectoryW(expected.c_str());  // only when empty: nothing of value is lost
  InstallInfo info;
  EXPECT_EQ(CompareStringOrdinal(info.engineDir.c_str(), -1, expected.c_str(), -1, TRUE),
            CSTR_EQUAL)
      << info.engineDir;
  EXPECT_TRUE(FolderExists(info.engineDir));
}

}  // namespace
