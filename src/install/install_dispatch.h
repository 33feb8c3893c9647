// The install dispatch: checks that there is an installation to update and a
// package, then runs a full installer or hands an incremental package on.
#pragma once

#include <functional>
#include <string>

#include "app/collaborators.h"
#include "install/install_info.h"

// Applies an incremental package; returns its reported result.
using IncrementalInstall = std::function<int(const std::wstring& path, const InstallInfo& info)>;

// 9 no install folder, 7 no package, else InstallAppPackage's result.
int InstallPackage(const std::wstring& path, const InstallInfo& info,
                   const IncrementalInstall& incremental);
// 13 unreadable or shorter than 2 bytes; a program (first bytes 4D 5A 90 00)
// is run silently: 0 when it exits with 0, else 11; anything else goes to
// `incremental`, whose result is passed through.
int InstallAppPackage(const std::wstring& path, const InstallInfo& info,
                      const IncrementalInstall& incremental);

// The command line of a silent full install. The path is quoted so that a
// folder with a space cannot make Windows run a prefix of it as a program.
std::wstring FullInstallerCommandLine(const std::wstring& path);

class InstallDispatcher : public IPackageInstaller {
 public:
  explicit InstallDispatcher(IncrementalInstall incremental) : incremental(std::move(incremental)) {}
  int InstallPackage(const std::wstring& path, const InstallInfo& info) override {
    return ::InstallPackage(path, info, incremental);
  }
  int InstallAppPackage(const std::wstring& path, const InstallInfo& info) override {
    return ::InstallAppPackage(path, info, incremental);
  }

 private:
  IncrementalInstall incremental;
};
