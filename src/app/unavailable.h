// Stand-ins for collaborators not yet part of this build. Each says in the log
// that its step is unavailable and fails with the step's failure code.
#pragma once

#include "app/collaborators.h"

class UnavailableStatusChannel : public IStatusChannel {
 public:
  explicit UnavailableStatusChannel(IStatusHost& host) : host(host) {}
  void StartThread() override;
  void Stop() override {}
  bool IsOpen() const override { return false; }
  bool SendStatus(int32_t) override { return false; }
  bool SendStatus(int32_t, int32_t) override { return false; }
  bool WritePacket(const void*, uint32_t) override { return false; }

 private:
  IStatusHost& host;
};

class UnavailableUpdateCheck : public IUpdateCheck {
 public:
  explicit UnavailableUpdateCheck(IRunContext& run) : run(run) {}
  int CheckUpdate() override;
  bool EngineAvailable() const override { return false; }
  bool AppAvailable() const override { return false; }
  bool UseFullPackage() const override { return false; }
  int32_t VersionCode() const override { return 0; }
  std::wstring AppFile() const override { return {}; }
  int WriteUpdateInfoFile(const std::wstring&) override { return 0; }

 private:
  IRunContext& run;
};

class UnavailableInstaller : public IPackageInstaller {
 public:
  int InstallPackage(const std::wstring& path, const InstallInfo& info) override;
  int InstallAppPackage(const std::wstring& path, const InstallInfo& info) override;
};
