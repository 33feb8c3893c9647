#include "install/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "install/url_shortcut.h"

namespace {

// "精品ROM.url", spelled with escapes so the source encoding cannot alter it.
const wchar_t kShortcutName[] = L"\u7CBE\u54C1ROM.url";

// The shell folder with a trailing backslash, or empty when the shell has none.
std::wstring ShellFolder(int csidl) {
  wchar_t buffer[260] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return std::wstring();
  std::wstring folder(buffer, wcsnlen(buffer, 260));
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

}  // namespace

void RefreshShortcutIn(const std::wstring& folder, const std::wstring& relativePath,
                       const std::wstring& iconPath) {
  // Without the folder the bare name would resolve against the current
  // drive's root, a file that is not the user's shortcut.
  if (folder.empty()) return;
  const std::wstring path = folder + relativePath;
  if (!PathFileExistsW(path.c_str())) return;
  DeleteFileW(path.c_str());
  CreateUrlShortcut(path, iconPath);
}

int RefreshShortcuts(const InstallInfo& info, const std::wstring& version) {
  const std::wstring iconPath = info.installDir + version + L"\\data\\tovask.ico";
  RefreshShortcutIn(ShellFolder(CSIDL_DESKTOPDIRECTORY), kShortcutName, iconPath);
  RefreshShortcutIn(ShellFolder(CSIDL_PROGRAMS), std::wstring(L"Zemorakit\\") + kShortcutName,
                    iconPath);
  return 1;
}
