#include "app/unavailable.h"

#include "app/status_codes.h"
#include "log/log.h"

void UnavailableStatusChannel::StartThread() {
  Log(Error, "status channel unavailable in this build");
  host.StoreResultCode(result::kPipeCreateFailed);
}

int UnavailableUpdateCheck::CheckUpdate() {
  Log(Error, "update check unavailable in this build");
  run.Notify(status::kCheckFailed, 0);
  return result::kQueryFailed;
}

int UnavailableInstaller::InstallPackage(const std::wstring&, const InstallInfo&) {
  Log(Error, "package install unavailable in this build");
  return result::kPackageUnreadable;
}

int UnavailableInstaller::InstallAppPackage(const std::wstring& path, const InstallInfo& info) {
  return InstallPackage(path, info);
}
