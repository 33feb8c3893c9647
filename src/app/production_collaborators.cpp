// The shipped wiring of the update run: each subsystem's real implementation.
#include <windows.h>
#include <shellapi.h>

#include "app/collaborators.h"
#include "incremental/increment_install.h"
#include "install/install_dispatch.h"
#include "status/status_channel.h"
#include "update/downloader.h"

namespace {

class ProductionFactory : public ICollaboratorFactory {
 public:
  std::unique_ptr<IStatusChannel> MakeStatusChannel(IStatusHost& host) override {
    return std::make_unique<StatusChannel>(host);
  }
  std::unique_ptr<IUpdateCheck> MakeUpdateCheck(IRunContext& run) override {
    return std::make_unique<CDownloader>(run);
  }
  InstallInfo MakeInstallInfo() override { return InstallInfo(); }
  std::unique_ptr<IPackageInstaller> MakeInstaller() override {
    return std::make_unique<InstallDispatcher>(DoIncrementInstall);
  }
  bool StartUpdater(const std::wstring& program, const std::wstring& parameters,
                    unsigned long* error) override {
    HINSTANCE started = ShellExecuteW(nullptr, L"open", program.c_str(), parameters.c_str(),
                                      nullptr, SW_HIDE);
    if (reinterpret_cast<INT_PTR>(started) > 32) return true;
    if (error) *error = GetLastError();
    return false;
  }
};

}  // namespace

ICollaboratorFactory& ProductionCollaborators() {
  static ProductionFactory factory;
  return factory;
}
