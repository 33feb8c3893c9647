#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "install/registration.h"
#include "registration_fixture.h"

namespace registration_test {
namespace {

const std::wstring kProgramPath = L"C:\\Apps\\Zemora\\3.0.1.5\\ApkTool.exe";

std::string RawBytes(const wchar_t* text, size_t bytes) {
  return std::string(reinterpret_cast<const char*>(text), bytes);
}

// What the association keys hold afterwards, in step order.
struct Association {
  std::wstring icon;
  std::wstring command;
  std::wstring apkDefault;
  std::wstring userProgid;
  std::wstring openWith;
  std::wstring userChoice;

  static Association Read() {
    return {ReadRegistryText(HKEY_CLASSES_ROOT, L"ZemoraApkTool\\DefaultIcon", nullptr),
            ReadRegistryText(HKEY_CLASSES_ROOT, L"ZemoraApkTool\\shell\\open\\command", nullptr),
            ReadRegistryText(HKEY_CLASSES_ROOT, L".apk", nullptr),
            ReadRegistryText(HKEY_CURRENT_USER, kUserExtensionKey, L"Progid"),
            ReadRegistryText(HKEY_CURRENT_USER, std::wstring(kUserExtensionKey) +
                             L"\\OpenWithProgids", L"ZemoraApkTool"),
            ReadRegistryText(HKEY_CURRENT_USER, std::wstring(kUserExtensionKey) + L"\\UserChoice",
                             L"Progid")};
  }
  static Association Full() {
    return {kProgramPath + L",0",  L"\"" + kProgramPath + L"\" \"%1\"", L"ZemoraApkTool",
            L"ZemoraApkTool",      L"",                                  L"ZemoraApkTool"};
  }
};

void ExpectAssociation(const Association& actual, const Association& expected,
                       const char* what) {
  EXPECT_EQ(actual.icon, expected.icon) << what;
  EXPECT_EQ(actual.command, expected.command) << what;
  EXPECT_EQ(actual.apkDefault, expected.apkDefault) << what;
  EXPECT_EQ(actual.userProgid, expected.userProgid) << what;
  EXPECT_EQ(actual.openWith, expected.openWith) << what;
  EXPECT_EQ(actual.userChoice, expected.userChoice) << what;
}

using RegistrationTest = RegistrationFixture;

TEST_F(RegistrationTest, WritesTheVersionIntoBothProductKeysAndTheUninstallEntry) {
  EXPECT_EQ(RegisterInstallation(info, kVersion, L""), 1);
  const std::string stored = TextBytes(kVersion);  // REG_SZ, size with the null
  for (const auto& place : {std::make_pair(HKEY_CURRENT_USER, kProductKey),
                            std::make_pair(HKEY_LOCAL_MACHINE, kProductKey)}) {
    RegistryValue value = ReadRegistryValue(place.first, place.second, L"Version");
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.bytes, stored);
  }
  RegistryValue display = ReadRegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion");
  EXPECT_EQ(display.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(display.bytes, stored);
  EXPECT_EQ(Messages(), "");
}

TEST_F(RegistrationTest, TakesTheAssociationOnlyWhereNoOtherProgramHoldsIt) {
  const DWORD one = 1;
  struct Case {
    const char* what;
    std::wstring channel;
    bool apkKey;
    bool defaultValue;
    DWORD type;
    std::string bytes;
    bool written;
  } cases[] = {
      {"ours", L"", true, true, REG_SZ, TextBytes(L"ZemoraApkTool"), true},
      {"ours, expandable", L"official", true, true, REG_EXPAND_SZ, TextBytes(L"ZemoraApkTool"),
       true},
      {"ours, channel Wandoujia", L"Wandoujia", true, true, REG_SZ, TextBytes(L"ZemoraApkTool"),
       false},
      {"ours, channel in small letters", L"wandoujia", true, true, REG_SZ,
       TextBytes(L"ZemoraApkTool"), false},
      {"ours, channel in capitals", L"WANDOUJIA", true, true, REG_SZ,
       TextBytes(L"ZemoraApkTool"), false},
      {"no .apk key", L"", false, false, REG_NONE, "", false},
      {"no default value", L"", true, false, REG_NONE, "", true},
      {"another program", L"", true, true, REG_SZ, TextBytes(L"OtherApp.apk"), false},
      {"another program, expandable", L"", true, true, REG_EXPAND_SZ, TextBytes(L"OtherApp"),
       false},
      {"our name in other letter case", L"", true, true, REG_SZ, TextBytes(L"zemoraapktool"),
       false},
      {"empty text", L"", true, true, REG_SZ, TextBytes(L""), false},
      {"no bytes", L"", true, true, REG_SZ, "", false},
      {"fills the buffer exactly", L"", true, true, REG_SZ,
       TextBytes(std::wstring(259, L'x')), false},
      {"longer than the buffer", L"", true, true, REG_SZ, TextBytes(std::wstring(260, L'x')),
       true},
      {"a number", L"", true, true, REG_DWORD, std::string(reinterpret_cast<const char*>(&one), 4),
       true},
      {"binary", L"", true, true, REG_BINARY, TextBytes(L"OtherApp"), true},
      {"not terminated", L"", true, true, REG_SZ, RawBytes(L"OtherApp", 16), true},
      {"odd size", L"", true, true, REG_SZ, RawBytes(L"OtherApp\0", 17), true},
  };
  for (const Case& c : cases) {
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L".apk");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L"ZemoraApkTool");
    DeleteRegistryTree(HKEY_CURRENT_USER, kUserExtensionKey);
    if (c.apkKey) {
      ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L".apk", L"Content Type", REG_SZ,
                                   TextBytes(L"application/vnd.android.package-archive")));
    }
    if (c.defaultValue) {
      ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L".apk", nullptr, c.type, c.bytes));
    }

    EXPECT_EQ(RegisterInstallation(info, kVersion, c.channel), 1);

    if (c.written) {
      ExpectAssociation(Association::Read(), Association::Full(), c.what);
    } else {
      EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"ZemoraApkTool")) << c.what;
      EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUserExtensionKey)) << c.what;
      EXPECT_EQ(RegistryKeyExists(HKEY_CLASSES_ROOT, L".apk"), c.apkKey) << c.what;
      RegistryValue apkDefault = ReadRegistryValue(HKEY_CLASSES_ROOT, L".apk", nullptr);
      EXPECT_EQ(apkDefault.present, c.defaultValue) << c.what;
      EXPECT_EQ(apkDefault.type, c.type) << c.what;
      EXPECT_EQ(apkDefault.bytes, c.bytes) << c.what;
    }
    // The version is written whatever becomes of the association.
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kProductKey, L"Version"), kVersion) << c.what;
  }
  EXPECT_EQ(Messages(), "");
}

TEST_F(RegistrationTest, PointsEveryAssociationStepIntoTheNewVersionFolder) {
  const std::wstring oldProgram = L"C:\\Apps\\Zemora\\3.0.1.4\\ApkTool.exe";
  ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L".apk", nullptr, REG_SZ,
                               TextBytes(L"ZemoraApkTool")));
  ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L"ZemoraApkTool\\DefaultIcon", nullptr, REG_SZ,
                               TextBytes(oldProgram + L",0")));
  ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L"ZemoraApkTool\\shell\\open\\command",
                               nullptr, REG_SZ,
                               TextBytes(L"\"" + oldProgram + L"\" \"%1\"")));
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, std::wstring(kUserExtensionKey) + L"\\UserChoice",
                               L"Progid", REG_SZ, TextBytes(L"OtherApp")));

  RegisterInstallation(info, kVersion, L"");

  ExpectAssociation(Association::Read(), Association::Full(), "rewritten");
  EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, L"ZemoraApkTool\\DefaultIcon", nullptr),
            L"C:\\Apps\\Zemora\\3.0.1.5\\ApkTool.exe,0");
  EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, L"ZemoraApkTool\\shell\\open\\command", nullptr),
            L"\"C:\\Apps\\Zemora\\3.0.1.5\\ApkTool.exe\" \"%1\"");
  // Every value is REG_SZ with its null counted, also the empty one.
  RegistryValue openWith = ReadRegistryValue(
      HKEY_CURRENT_USER, std::wstring(kUserExtensionKey) + L"\\OpenWithProgids", L"ZemoraApkTool");
  EXPECT_EQ(openWith.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(openWith.bytes, TextBytes(L""));
  EXPECT_EQ(Messages(), "");
}

// A volatile key refuses non-volatile children, so a write below it fails.
TEST_F(RegistrationTest, LogsAFailedWriteAndGoesOn) {
  const std::wstring commandKey = L"ZemoraApkTool\\shell\\open\\command";
  const Association none{L"<absent>", L"<absent>", L"<absent>",
                         L"<absent>", L"<absent>", L"<absent>"};
  Association iconOnly = none;
  iconOnly.icon = Association::Full().icon;
  Association machineWide = Association::Full();
  machineWide.openWith = L"<absent>";
  machineWide.userChoice = L"<absent>";
  struct Case {
    const char* what;
    HKEY root;
    std::wstring volatileKey;
    std::string messages;
    std::wstring userVersion;
    std::wstring machineVersion;
    Association association;
  } cases[] = {
      {"user product key", HKEY_CURRENT_USER, L"Software\\Varnholt",
       "update version info in current user registry failed: 1021|", L"<absent>", kVersion,
       Association::Full()},
      {"machine product key", HKEY_LOCAL_MACHINE, L"Software\\Varnholt",
       "update version info in local machine registry failed: 1021|", kVersion, L"<absent>",
       Association::Full()},
      {"program ID", HKEY_CLASSES_ROOT, L"ZemoraApkTool",
       "cannot create registry key HKEY_CLASSES_ROOT\\ZemoraApkTool\\DefaultIcon: 1021|",
       kVersion, kVersion, none},
      {"program ID's shell", HKEY_CLASSES_ROOT, L"ZemoraApkTool\\shell",
       "cannot create registry key HKEY_CLASSES_ROOT\\ZemoraApkTool\\shell\\open\\command: 1021|",
       kVersion, kVersion, iconOnly},
      {"user's extension key", HKEY_CURRENT_USER, kUserExtensionKey,
       "cannot create registry key HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
       "CurrentVersion\\Explorer\\FileExts\\.apk\\OpenWithProgids: 1021|",
       kVersion, kVersion, machineWide},
  };
  for (const Case& c : cases) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      DeleteRegistryTree(root, L"Software\\Varnholt");
    }
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L"ZemoraApkTool");
    DeleteRegistryTree(HKEY_CURRENT_USER, kUserExtensionKey);
    // No default value: the association is written, and .apk shows how far.
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L".apk");
    ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L".apk", L"Content Type", REG_SZ,
                                 TextBytes(L"application/vnd.android.package-archive")));
    if (c.volatileKey == L"ZemoraApkTool\\shell") {
      ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L"ZemoraApkTool", nullptr, REG_SZ,
                                   TextBytes(L"APK file")));
    }
    ASSERT_TRUE(CreateVolatileKey(c.root, c.volatileKey)) << c.what;
    WriteFileBytes(DesktopShortcut(), kOldShortcut);
    WriteFileBytes(logFolder / L"Update.log", "");
    OpenLog(logFolder.path());

    EXPECT_EQ(RegisterInstallation(info, kVersion, L""), 1);

    EXPECT_EQ(Messages(), c.messages) << c.what;
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kProductKey, L"Version"), c.userVersion)
        << c.what;
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kProductKey, L"Version"), c.machineVersion)
        << c.what;
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), kVersion)
        << c.what;
    ExpectAssociation(Association::Read(), c.association, c.what);
    EXPECT_EQ(ShortcutValue(DesktopShortcut(), L"URL"), kShortcutUrl) << c.what;
  }
}

TEST_F(RegistrationTest, WriteRegistryStringReportsTheRegistryStatus) {
  const std::wstring key = L"Software\\Varnholt\\ZemoraTest";
  EXPECT_EQ(WriteRegistryString(HKEY_CURRENT_USER, key, L"Name", L"text"), ERROR_SUCCESS);
  EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, key, L"Name"), L"text");
  ASSERT_TRUE(CreateVolatileKey(HKEY_CURRENT_USER, key + L"\\Volatile"));
  EXPECT_EQ(WriteRegistryString(HKEY_CURRENT_USER, key + L"\\Volatile\\Child", L"Name", L"x"),
            ERROR_CHILD_MUST_BE_VOLATILE);
}

TEST_F(RegistrationTest, RefreshesShortcutsAlsoWhenTheChannelKeepsTheAssociation) {
  ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L".apk", nullptr, REG_SZ,
                               TextBytes(L"ZemoraApkTool")));
  WriteFileBytes(DesktopShortcut(), kOldShortcut);
  RegisterInstallation(info, kVersion, L"wandoujia");
  EXPECT_EQ(ShortcutValue(DesktopShortcut(), L"URL"), kShortcutUrl);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"ZemoraApkTool"));
}

}  // namespace
}  // namespace registration_test
