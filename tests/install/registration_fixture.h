// A test fixture for the registration: saves and restores every key it may
// change, points the desktop and the Start menu's programs folder at private
// folders, initialises COM and opens a private log.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>

#include "install/install_info.h"
#include "log/log.h"
#include "registry_fixture.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace registration_test {

const wchar_t kProductKey[] = L"Software\\Varnholt\\Zemora";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zemora";
const wchar_t kUserExtensionKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk";
const wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kShortcutName[] = L"\u7CBE\u54C1ROM.url";
const wchar_t kInstallDir[] = L"C:\\Apps\\Zemora\\";
const wchar_t kVersion[] = L"3.0.1.5";
const wchar_t kShortcutUrl[] = L"http://roms.test/?ref=desktop";
const char kOldShortcut[] =
    "[InternetShortcut]\r\nURL=http://old.example/\r\nIconFile=C:\\old\\tovask.ico\r\n"
    "IconIndex=0\r\n";

class RegistrationFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L".apk");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L"ZemoraApkTool");
    DeleteRegistryTree(HKEY_CURRENT_USER, kUserExtensionKey);
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kShellFoldersKey, L"Desktop", REG_SZ,
                                 TextBytes(WithoutBackslash(desktop.path()))));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kShellFoldersKey, L"Programs", REG_SZ,
                                 TextBytes(WithoutBackslash(programs.path()))));
    WriteFileBytes(logFolder / L"Update.log", "");
    OpenLog(logFolder.path());
  }
  void TearDown() override {
    CloseLog();
    CoUninitialize();
  }

  std::string Messages() {
    CloseLog();
    return LogMessages(logFolder / L"Update.log");
  }
  std::wstring DesktopShortcut() const { return desktop / kShortcutName; }
  std::wstring ProgramsShortcut() const {
    return programs.path() + L"Zemorakit\\" + kShortcutName;
  }
  static std::wstring WithoutBackslash(std::wstring folder) {
    folder.pop_back();
    return folder;
  }

  InstallInfo info{kInstallDir, L"C:\\ProgramData\\Zemora\\Engine\\"};

 private:
  SavedRegistryKey savedUserProduct{HKEY_CURRENT_USER, L"Software\\Varnholt"};
  SavedRegistryKey savedMachineProduct{HKEY_LOCAL_MACHINE, L"Software\\Varnholt"};
  SavedRegistryKey savedUninstall{HKEY_LOCAL_MACHINE, kUninstallKey};
  SavedRegistryKey savedApk{HKEY_CLASSES_ROOT, L".apk"};
  SavedRegistryKey savedProgram{HKEY_CLASSES_ROOT, L"ZemoraApkTool"};
  SavedRegistryKey savedUserExtensions{
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts"};
  SavedRegistryKey savedShellFolders{HKEY_CURRENT_USER, kShellFoldersKey};
  // The shell keeps the folders it resolved here.
  SavedRegistryKey savedResolvedFolders{
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
  ScopedEnvironment romSite{L"ZEMORA_ROM_SITE", L"http://roms.test"};

 protected:
  TempFolder desktop;
  TempFolder programs;
  TempFolder logFolder;
};

// A value of an Internet-shortcut file, which is INI text.
inline std::wstring ShortcutValue(const std::wstring& path, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  GetPrivateProfileStringW(L"InternetShortcut", name, L"<absent>", buffer, 1024, path.c_str());
  return buffer;
}

}  // namespace registration_test
