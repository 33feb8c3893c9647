#include "install/registration.h"

#include <shlobj.h>

#include "base/handles.h"
#include "install/apk_association.h"
#include "install/registry_text.h"
#include "install/shortcuts.h"
#include "log/log.h"

namespace {

const wchar_t kProductKey[] = L"Software\\Varnholt\\Zemora";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zemora";
// Flush without waiting, in the value older shells know (newer headers add the
// plain flush bit to it).
const UINT kFlushNoWait = 0x2000;

}  // namespace

LONG WriteRegistryString(HKEY root, const std::wstring& subKey, const std::wstring& valueName,
                         const std::wstring& text) {
  zemora::UniqueHkey key;
  LONG status = CreateKeyForWriting(root, subKey.c_str(), key.put());
  if (status != ERROR_SUCCESS) return status;
  return SetRegistryText(key.get(), valueName.c_str(), text);
}

int RegisterInstallation(const InstallInfo& info, const std::wstring& version,
                         const std::wstring& channel) {
  LONG status = WriteRegistryString(HKEY_CURRENT_USER, kProductKey, L"Version", version);
  if (status != ERROR_SUCCESS) {
    Log(Error, "update version info in current user registry failed: %ld", static_cast<long>(status));
  }
  status = WriteRegistryString(HKEY_LOCAL_MACHINE, kProductKey, L"Version", version);
  if (status != ERROR_SUCCESS) {
    Log(Error, "update version info in local machine registry failed: %ld",
        static_cast<long>(status));
  }
  status = WriteRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", version);
  if (status != ERROR_SUCCESS) {
    Log(Error, "update version info in uninstall registry failed: %ld", static_cast<long>(status));
  }

  // Held from the .apk check through the association writes to the end.
  zemora::UniqueHkey heldKey;
  if (AssociationMayBeWritten(channel, heldKey)) {
    WriteApkAssociation(info.installDir + version, heldKey);
  }
  RefreshShortcuts(info, version);
  SHChangeNotify(SHCNE_ASSOCCHANGED, kFlushNoWait, nullptr, nullptr);
  return 1;
}
