// The one object of an update run: options, status channel, download agent,
// install location and the two track states the parent can ask for.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/collaborators.h"
#include "app/options.h"
#include "app/run_context.h"
#include "app/status_codes.h"
#include "install/install_info.h"

class UpdaterApp : public IRunContext, public IStatusHost {
 public:
  // Builds the status channel, the download agent and the install location
  // (in that order), initialises COM for this thread and opens the log.
  explicit UpdaterApp(ICollaboratorFactory& collaborators);
  ~UpdaterApp() override;
  UpdaterApp(const UpdaterApp&) = delete;
  UpdaterApp& operator=(const UpdaterApp&) = delete;

  // The update run of this process, or null.
  static UpdaterApp* Current();

  // Runs the update; returns the process exit code (0, 3, 4, 6 or 21).
  int Run();
  // Ends the outward ties: status channel, mutex, statistics report. Safe to
  // call twice.
  void Finish();
  // Hands a full installer to the listening parent, or installs it.
  void Handover();

  // IRunContext
  std::wstring GetOption(const std::wstring& name) const override;
  std::wstring UpdatePath() const override { return updatePath; }
  bool UpdateInfoGiven() const override { return updateInfoGiven != 0; }
  void Notify(int32_t code, int32_t parameter) override;

  // IStatusHost
  std::wstring PipeNameOption() const override { return GetOption(L"lp"); }
  int32_t EngineState() const override { return engineState.load(); }
  int32_t AppState() const override { return appState.load(); }
  void StoreResultCode(int32_t code) override { resultCode.store(code); }

  bool HasOption(const std::wstring& name) const { return options.HasOption(name); }
  int32_t ResultCode() const { return resultCode.load(); }
  bool RelaunchPending() const { return relaunchPending != 0; }
  const InstallInfo& Install() const { return installInfo; }
  void SetMutex(HANDLE handle) { mutex = handle; }

 private:
  friend bool CheckOptions(UpdaterApp& app, int count, const wchar_t* const* arguments);
  void InstallApplication();
  void SetBothStates(TrackState state);

  HANDLE mutex = nullptr;
  Options options;
  std::atomic<int32_t> resultCode{0};
  std::unique_ptr<IStatusChannel> statusChannel;
  std::unique_ptr<IUpdateCheck> downloadAgent;
  InstallInfo installInfo;
  std::unique_ptr<IPackageInstaller> installer;
  ICollaboratorFactory& collaborators;
  std::wstring updatePath;
  std::atomic<int32_t> engineState{Idle};
  std::atomic<int32_t> appState{Idle};
  int32_t relaunchPending = 0;
  int32_t updateInfoGiven = 0;
  bool comInitialised = false;
  bool reportSent = false;
};

// Parses the options into `app`, validates "parent", records "update_info"
// and works out the update path. False (result code 12) when "parent" is
// missing or not hexadecimal.
bool CheckOptions(UpdaterApp& app, int count, const wchar_t* const* arguments);
