// Test doubles of the update run's collaborators.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/collaborators.h"

struct SentPacket {
  int32_t code;
  int32_t parameter;
  uint32_t size;
  bool operator==(const SentPacket& o) const {
    return code == o.code && parameter == o.parameter && size == o.size;
  }
};

class FakeStatusChannel : public IStatusChannel {
 public:
  void StartThread() override { ++starts; }
  void Stop() override {
    ++stops;
    open = false;
  }
  bool IsOpen() const override { return open; }
  bool SendStatus(int32_t code) override { return Record(code, 0, 5); }
  bool SendStatus(int32_t code, int32_t parameter) override { return Record(code, parameter, 9); }
  bool WritePacket(const void* payload, uint32_t size) override;

  bool open = true;
  bool writesSucceed = true;
  int starts = 0;
  int stops = 0;
  std::vector<SentPacket> sent;

 private:
  bool Record(int32_t code, int32_t parameter, uint32_t size) {
    if (!open) return false;
    sent.push_back({code, parameter, size});
    return writesSucceed;
  }
};

class FakeUpdateCheck : public IUpdateCheck {
 public:
  explicit FakeUpdateCheck(IRunContext& run) : run(run) {}
  int CheckUpdate() override {
    if (script) script(run);
    return checkResult;
  }
  bool EngineAvailable() const override { return engineAvailable; }
  bool AppAvailable() const override { return appAvailable; }
  bool UseFullPackage() const override { return useFullPackage; }
  int32_t VersionCode() const override { return versionCode; }
  std::wstring AppFile() const override { return appFile; }
  int WriteUpdateInfoFile(const std::wstring& path) override {
    writtenTo = path;
    return writeSucceeds ? 1 : 0;
  }

  IRunContext& run;
  std::function<void(IRunContext&)> script;
  int checkResult = 0;
  bool engineAvailable = false;
  bool appAvailable = false;
  bool useFullPackage = false;
  int32_t versionCode = 0;
  std::wstring appFile;
  bool writeSucceeds = true;
  std::wstring writtenTo;
};

class FakeInstaller : public IPackageInstaller {
 public:
  int InstallPackage(const std::wstring& path, const InstallInfo&) override {
    packages.push_back(path);
    return installResult;
  }
  int InstallAppPackage(const std::wstring& path, const InstallInfo&) override {
    appPackages.push_back(path);
    return installResult;
  }
  int installResult = 0;
  std::vector<std::wstring> packages;
  std::vector<std::wstring> appPackages;
};

class FakeFactory : public ICollaboratorFactory {
 public:
  std::unique_ptr<IStatusChannel> MakeStatusChannel(IStatusHost& host) override {
    auto c = std::make_unique<FakeStatusChannel>();
    channel = c.get();
    return c;
  }
  std::unique_ptr<IUpdateCheck> MakeUpdateCheck(IRunContext& run) override {
    auto c = std::make_unique<FakeUpdateCheck>(run);
    check = c.get();
    return c;
  }
  InstallInfo MakeInstallInfo() override { return InstallInfo(installDir, L"C:\\Engine\\"); }
  std::unique_ptr<IPackageInstaller> MakeInstaller() override {
    auto c = std::make_unique<FakeInstaller>();
    installer = c.get();
    return c;
  }
  bool StartUpdater(const std::wstring& program, const std::wstring& parameters,
                    unsigned long* error) override {
    startedProgram = program;
    startedParameters = parameters;
    if (!startSucceeds && error) *error = 2;
    return startSucceeds;
  }

  std::wstring installDir;
  bool startSucceeds = true;
  std::wstring startedProgram;
  std::wstring startedParameters;
  FakeStatusChannel* channel = nullptr;
  FakeUpdateCheck* check = nullptr;
  FakeInstaller* installer = nullptr;
};
