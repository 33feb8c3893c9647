#include <windows.h>
#include <shlobj.h>

#include "shared/global_api.h"

namespace {

std::wstring WithTrailingBackslash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

std::wstring WorkFolder() {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetEnvironmentVariableW(L"ZEMORA_WORK_DIR", buffer, MAX_PATH * 4);
  if (n > 0 && n < MAX_PATH * 4) return WithTrailingBackslash(std::wstring(buffer, n));
  wchar_t localAppData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              localAppData))) {
    return L"";
  }
  return WithTrailingBackslash(localAppData) + L"Zemora\\";
}

}  // namespace

std::wstring CFileOperation::MakeWorkPath(const std::wstring& relativePath) {
  return WorkFolder() + relativePath;
}

std::wstring CFileOperation::MakeDocPath(const std::wstring& relativePath) {
  wchar_t documents[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) {
    return relativePath;
  }
  return WithTrailingBackslash(documents) + L"Zemora\\" + relativePath;
}
