#include "install/apk_association.h"

#include <windows.h>

#include <cwchar>

#include "base/text.h"
#include "install/registry_text.h"
#include "log/log.h"

namespace {

const wchar_t kProgramId[] = L"ZemoraApkTool";
const DWORD kDefaultValueUnits = 260;

struct AssociationStep {
  HKEY root;
  const wchar_t* key;
  bool setsValue;
  const wchar_t* valueName;  // null: the default value
  std::wstring data;
  const char* createMessage;
  const char* setMessage;  // null: the write's result is not looked at
};

// Creates `path` under `root`, then closes the key held so far: one key handle
// for the whole sequence. A failing close counts against the creation.
bool CreateNextKey(zemora::UniqueHkey& held, HKEY root, const wchar_t* path,
                   const char* message) {
  HKEY next = nullptr;
  LONG status = CreateKeyForWriting(root, path, &next);
  if (status == ERROR_SUCCESS) status = held.reset(next);
  if (status != ERROR_SUCCESS) {
    // The registry reports through its status, not the thread's last error.
    Log(Error, message, static_cast<int>(status));
    return false;
  }
  return true;
}

}  // namespace

bool AssociationMayBeWritten(const std::wstring& channel, zemora::UniqueHkey& apkKey) {
  if (zemora::EqualsIgnoreCase(channel, L"Wandoujia")) return false;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".apk", 0, KEY_READ | KEY_WRITE, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  apkKey.reset(opened);

  wchar_t buffer[kDefaultValueUnits];
  DWORD type = REG_NONE;
  DWORD size = sizeof(buffer);
  if (RegQueryValueExW(apkKey.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS) {
    return true;  // no default value, or one longer than any program ID we know
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return true;
  if (size == 0) return false;
  if (size % sizeof(wchar_t) != 0 || size > sizeof(buffer)) return true;
  const DWORD units = size / sizeof(wchar_t);
  if (buffer[units - 1] != L'\0') return true;
  const std::wstring text(buffer, wcsnlen(buffer, units));
  return text == kProgramId;
}

void WriteApkAssociation(const std::wstring& versionFolder, zemora::UniqueHkey& heldKey) {
  const std::wstring program = versionFolder + L"\\ApkTool.exe";
  const wchar_t* const kUserExtensionKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk";
  const std::wstring openWithKey = std::wstring(kUserExtensionKey) + L"\\OpenWithProgids";
  const std::wstring userChoiceKey = std::wstring(kUserExtensionKey) + L"\\UserChoice";
  const char* const kCommandKeyMessage =
      "cannot create registry key HKEY_CLASSES_ROOT\\ZemoraApkTool\\shell\\open\\command: %d";

  const AssociationStep steps[] = {
      {HKEY_CLASSES_ROOT, L"ZemoraApkTool\\DefaultIcon", true, nullptr, program + L",0",
       "cannot create registry key HKEY_CLASSES_ROOT\\ZemoraApkTool\\DefaultIcon: %d",
       "cannot set HKEY_CLASSES_ROOT\\ZemoraApkTool\\DefaultIcon default value: %d"},
      {HKEY_CLASSES_ROOT, L"ZemoraApkTool\\shell", false, nullptr, L"", kCommandKeyMessage,
       nullptr},
      {HKEY_CLASSES_ROOT, L"ZemoraApkTool\\shell\\open", false, nullptr, L"",
       kCommandKeyMessage, nullptr},
      {HKEY_CLASSES_ROOT, L"ZemoraApkTool\\shell\\open\\command", true, nullptr,
       L"\"" + program + L"\" \"%1\"", kCommandKeyMessage,
       "cannot set HKEY_CLASSES_ROOT\\ZemoraApkTool\\shell\\open\\command default value: %d"},
      {HKEY_CLASSES_ROOT, L".apk", true, nullptr, kProgramId,
       "cannot create registry key HKEY_CLASSES_ROOT\\.apk: %d",
       "cannot set HKEY_CLASSES_ROOT\\.apk default value: %d"},
      {HKEY_CURRENT_USER, kUserExtensionKey, true, L"Progid", kProgramId,
       "cannot create registry key "
       "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk: "
       "%d",
       "cannot set "
       "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk\\"
       "Progid: %d"},
      {HKEY_CURRENT_USER, openWithKey.c_str(), true, kProgramId, L"",
       "cannot create registry key "
       "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk\\"
       "OpenWithProgids: %d",
       "cannot set "
       "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk\\"
       "OpenWithProgids\\ZemoraApkTool: %d"},
      // Windows guards UserChoice against programs, so the write may be refused.
      {HKEY_CURRENT_USER, userChoiceKey.c_str(), true, L"Progid", kProgramId,
       "cannot create registry key "
       "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk\\"
       "UserChoice: %d",
       nullptr},
  };

  for (const AssociationStep& step : steps) {
    if (!CreateNextKey(heldKey, step.root, step.key, step.createMessage)) return;
    if (!step.setsValue) continue;
    const LONG status = SetRegistryText(heldKey.get(), step.valueName, step.data);
    if (status != ERROR_SUCCESS && step.setMessage) {
      Log(Error, step.setMessage, static_cast<int>(status));
      return;
    }
  }
}
