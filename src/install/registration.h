// What a finished incremental update leaves in the system's view of the
// application: version values, the .apk association and the ROM-website
// shortcuts.
#pragma once

#include <windows.h>

#include <string>

#include "install/install_info.h"

// Writes the version into the product keys (HKCU and HKLM) and the uninstall
// entry, takes the .apk association for the APK tool of the new version
// folder (installDir + version) unless another program holds it or the
// channel asks to leave it alone, refreshes the existing ROM-website
// shortcuts and tells the shell that associations changed. Failures are
// logged and never stop the later steps. COM must be initialised on the
// calling thread. Always returns 1.
int RegisterInstallation(const InstallInfo& info, const std::wstring& version,
                         const std::wstring& channel);

// Creates or opens root\subKey, sets `valueName` to `text` (REG_SZ) and closes
// the key. Returns the registry status, 0 on success.
LONG WriteRegistryString(HKEY root, const std::wstring& subKey, const std::wstring& valueName,
                         const std::wstring& text);
