#include "install/install_dispatch.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "app/status_codes.h"
#include "base/handles.h"
#include "base/process.h"
#include "log/log.h"

namespace {

const uint32_t kProgramSignature = 0x00905A4D;  // "MZ", 0x90, 0x00

int RunFullInstaller(const std::wstring& path) {
  std::wstring commandLine = FullInstallerCommandLine(path);
  unsigned long exitCode = 0, startError = 0;
  if (!RunHiddenAndWait(commandLine, exitCode, startError)) {
    Log(Error, "run install package failed: %d", static_cast<int>(startError));
    return result::kInstallerFailed;
  }
  Log(Error, "zemora install package run return: %d", static_cast<int>(exitCode));
  return exitCode == 0 ? result::kSuccess : result::kInstallerFailed;
}

}  // namespace

std::wstring FullInstallerCommandLine(const std::wstring& path) {
  return L"\"" + path + L"\" /silent ##silence=1&runwhensilent=0";
}

int InstallPackage(const std::wstring& path, const InstallInfo& info,
                   const IncrementalInstall& incremental) {
  if (info.installDir.empty() || !PathFileExistsW(info.installDir.c_str())) {
    Log(Error, "Zemora install path not found");
    return result::kInstallDirMissing;
  }
  if (!PathFileExistsW(path.c_str())) {
    Log(Error, "update package %S not found", path.c_str());
    return result::kPackageMissing;
  }
  return InstallAppPackage(path, info, incremental);
}

int InstallAppPackage(const std::wstring& path, const InstallInfo& info,
                      const IncrementalInstall& incremental) {
  uint8_t head[4] = {};
  {
    zemora::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      Log(Error, "open file %S error: %d", path.c_str(), static_cast<int>(GetLastError()));
      return result::kPackageUnreadable;
    }
    DWORD size = GetFileSize(file.get(), nullptr);
    if (size < 2) {
      Log(Error, "engine file size less than 2: %d", static_cast<int>(size));
      return result::kPackageUnreadable;
    }
    DWORD read = 0;
    ReadFile(file.get(), head, 4, &read, nullptr);
  }
  uint32_t kind = 0;
  std::memcpy(&kind, head, 4);
  if (kind != kProgramSignature) return incremental(path, info);
  return RunFullInstaller(path);
}
