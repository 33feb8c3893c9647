#include "app/updater_app.h"

#include <objbase.h>
#include <shlwapi.h>

#include "app/failure_report.h"
#include "app/relaunch.h"
#include "base/service_config.h"
#include "log/log.h"
#include "shared/global_api.h"
#include "status/packet.h"

namespace {
UpdaterApp* currentApp = nullptr;
}

UpdaterApp::UpdaterApp(ICollaboratorFactory& factory)
    : statusChannel(factory.MakeStatusChannel(*this)),
      downloadAgent(factory.MakeUpdateCheck(*this)),
      installInfo(factory.MakeInstallInfo()),
      installer(factory.MakeInstaller()),
      collaborators(factory) {
  comInitialised = SUCCEEDED(CoInitialize(nullptr));
  OpenLog(CFileOperation::MakeWorkPath(L""));
  currentApp = this;
}

UpdaterApp::~UpdaterApp() {
  Finish();
  CloseLog();
  if (comInitialised) CoUninitialize();
  installer.reset();
  downloadAgent.reset();
  statusChannel->Stop();
  statusChannel.reset();
  if (currentApp == this) currentApp = nullptr;
}

UpdaterApp* UpdaterApp::Current() { return currentApp; }

std::wstring UpdaterApp::GetOption(const std::wstring& name) const {
  return options.GetOption(name);
}

void UpdaterApp::SetBothStates(TrackState state) {
  engineState.store(state);
  appState.store(state);
}

int UpdaterApp::Run() {
  statusChannel->StartThread();
  SetBothStates(Checking);

  int check = downloadAgent->CheckUpdate();
  resultCode.store(check);
  if (check != result::kSuccess) return check;

  if (!downloadAgent->EngineAvailable()) Notify(status::kNoEngineUpdate, 0);
  if (!downloadAgent->AppAvailable()) Notify(status::kNoAppUpdate, 0);
  if (!relaunchPending) return result::kSuccess;

  if (statusChannel->IsOpen()) {
    StatusPayload packet = MakeStatusPayload(status::kRelaunching);
    statusChannel->WritePacket(packet.bytes, packet.size);
  }
  Finish();

  std::wstring parameters = BuildRelaunchParameters(
      options.GetOption(L"parent"), updatePath, options.HasOption(L"channel"),
      options.GetOption(L"channel"));
  std::wstring program = CFileOperation::MakeWorkPath(L"Update\\Zemora\\Update.exe");
  unsigned long error = 0;
  if (!collaborators.StartUpdater(program, parameters, &error)) {
    // The parent relies on exit code 21 either way; the log says why it failed.
    Log(Error, "start new updater %S failed: %lu", program.c_str(), error);
  }
  return result::kRelaunchNeeded;
}

void UpdaterApp::Notify(int32_t code, int32_t parameter) {
  switch (code) {
    case status::kQuerying:
      SetBothStates(Checking);
      statusChannel->SendStatus(code);
      break;
    case status::kCheckFailed:
      if (parameter == 0) SetBothStates(CheckFailed);
      statusChannel->SendStatus(code, parameter);
      break;
    case status::kDownloading:
      appState.store(Downloading);
      statusChannel->SendStatus(code, parameter);
      break;
    case status::kDownloadEnded:
      statusChannel->SendStatus(code, parameter);
      if (parameter == 1) {
        InstallApplication();
      } else {
        appState.store(DownloadFailed);
      }
      break;
    case status::kNoEngineUpdate:
      engineState.store(NoUpdate);
      statusChannel->SendStatus(code);
      break;
    case status::kNoAppUpdate:
      appState.store(NoUpdate);
      statusChannel->SendStatus(code);
      break;
    case status::kDiscarded:
      statusChannel->SendStatus(code);
      break;
    default:
      Log(Error, "unknown status code: %d", code);
      break;
  }
}

void UpdaterApp::InstallApplication() {
  if (downloadAgent->UseFullPackage()) {
    Handover();
    return;
  }
  appState.store(Installing);
  statusChannel->SendStatus(status::kInstallStarts, 0);
  int r = installer->InstallPackage(downloadAgent->AppFile(), installInfo);
  if (r != result::kRelaunchNeeded) {
    appState.store(r != 0 ? InstallFailed : Installed);
    statusChannel->SendStatus(status::kInstallEnded, r == 0 ? 1 : 0);
    return;
  }
  if (downloadAgent->WriteUpdateInfoFile(CFileOperation::MakeWorkPath(L"Update\\Update.xml"))) {
    relaunchPending = 1;
    return;
  }
  appState.store(InstallFailed);
  statusChannel->SendStatus(status::kInstallEnded, 0);
}

void UpdaterApp::Handover() {
  std::wstring appFile = downloadAgent->AppFile();
  if (statusChannel->IsOpen()) {
    StatusPayload packet =
        MakeStatusPayload(status::kFullInstallerReady, downloadAgent->VersionCode());
    if (statusChannel->WritePacket(packet.bytes, packet.size)) {
      std::wstring target = CFileOperation::MakeWorkPath(L"ZemoraUpdate.exe");
      if (!CopyFileW(appFile.c_str(), target.c_str(), FALSE)) {
        Log(Error, "copy file from %S to %S failed: %d", appFile.c_str(), target.c_str(),
            static_cast<int>(GetLastError()));
        appState.store(InstallFailed);
        statusChannel->SendStatus(status::kInstallEnded, 0);
      }
      return;
    }
  }
  appState.store(Installing);
  statusChannel->SendStatus(status::kInstallStarts, 0);
  int r;
  if (installInfo.installDir.empty() || !PathFileExistsW(installInfo.installDir.c_str())) {
    Log(Error, "Zemora install path not found");
    r = result::kInstallDirMissing;
  } else if (!PathFileExistsW(appFile.c_str())) {
    Log(Error, "update package %S not found", appFile.c_str());
    r = result::kPackageMissing;
  } else {
    r = installer->InstallAppPackage(appFile, installInfo);
  }
  appState.store(r != 0 ? InstallFailed : Installed);
  statusChannel->SendStatus(status::kInstallEnded, r == 0 ? 1 : 0);
}

void UpdaterApp::Finish() {
  statusChannel->Stop();
  if (mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    mutex = nullptr;
  }
  if (!downloadAgent || !downloadAgent->AppAvailable() || relaunchPending || reportSent) return;
  reportSent = true;
  std::wstring url =
      BuildFailureReportUrl(zemora::StatServiceBase(), resultCode.load(),
                            options.GetOption(L"channel"),
                            CStrOperation::Str2WStr(OsUtils::GetMacAddress()));
  std::string body;
  ZemoraHttpUtils::Get(url, body, nullptr, nullptr, 3, nullptr);
}

bool CheckOptions(UpdaterApp& app, int count, const wchar_t* const* arguments) {
  ParseOptions(count, arguments, app.options);
  if (!app.options.HasOption(L"parent") || !IsValidParent(app.options.GetOption(L"parent"))) {
    app.resultCode.store(result::kBadParent);
    return false;
  }
  app.updateInfoGiven = app.options.HasOption(L"update_info") ? 1 : 0;
  CFileOperation::MakeDocPath(L"");
  if (app.options.HasOption(L"update_path")) {
    app.updatePath = app.options.GetOption(L"update_path");
  } else {
    wchar_t program[260] = {};
    GetModuleFileNameW(nullptr, program, 260);
    std::wstring path = program;
    size_t slash = path.rfind(L'\\');
    app.updatePath = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
  }
  return true;
}
