// Where the application is installed, read once from the registry.
#pragma once

#include <string>

class InstallInfo {
 public:
  // Reads "InstallDir" from HKCU\Software\Varnholt\Zemora and makes sure the
  // machine-wide engine folder exists. Never fails: a missing value leaves
  // installDir empty.
  InstallInfo();
  // For callers that already know the folders (tests, tools).
  InstallInfo(std::wstring installDir, std::wstring engineDir)
      : installDir(std::move(installDir)), engineDir(std::move(engineDir)) {}

  std::wstring installDir;  // empty, or ends with a backslash
  std::wstring engineDir;   // common application data + "Zemora\Engine\"
};
