#include "install/install_info.h"

#include <windows.h>
#include <dbghelp.h>
#include <shlobj.h>

#include "base/handles.h"
#include "base/text.h"
#include "log/log.h"

InstallInfo::InstallInfo() {
  zemora::UniqueHkey key;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Varnholt\\Zemora", 0, KEY_READ,
                              key.put());
  if (status != ERROR_SUCCESS) {
    Log(Error, "cannot open zemora registry: %d", static_cast<int>(status));
  } else {
    // One unit more than the query may fill, so the text is always terminated.
    wchar_t buffer[261] = {};
    DWORD type = REG_SZ;
    DWORD size = 520;
    status = RegQueryValueExW(key.get(), L"InstallDir", nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer), &size);
    if (status == ERROR_SUCCESS) {
      installDir = buffer;
    } else {
      Log(Error, "query InstallDir in registry failed: %d", static_cast<int>(status));
    }
    key.reset();
  }
  if (!installDir.empty() && installDir.back() != L'\\') installDir += L'\\';

  wchar_t appData[261] = {};
  SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE);
  engineDir = appData;
  if (engineDir.empty() || engineDir.back() != L'\\') engineDir += L'\\';
  engineDir += L"Zemora\\Engine\\";
  MakeSureDirectoryPathExists(zemora::WideToThreadAnsi(engineDir).c_str());
}
