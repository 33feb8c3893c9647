#include "incremental/increment_install.h"

#include <windows.h>
#include <dbghelp.h>

#include "base/text.h"
#include "incremental/file_ops.h"
#include "incremental/folder_ops.h"
#include "incremental/patch_tool.h"
#include "incremental/updater_folder.h"
#include "install/registration.h"
#include "log/log.h"
#include "shared/global_api.h"

namespace {

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring RunningProgramPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// The folders of one install, all ending with a backslash.
struct InstallFolders {
  std::wstring install, work, base, newVersion, staging, patchSource, baseVersion;
  bool flat = false;
};

class IncrementalInstaller {
 public:
  explicit IncrementalInstaller(PatchPackage& package) : package(package) {}

  int Run() {
    if (!LoadPatchPackage(package)) return kIncrementBadPackage;
    const SetupManifest& manifest = package.manifest;
    folders.install = package.installFolder;
    folders.work = package.workFolder;
    folders.baseVersion = folders.install + manifest.baseVersion + L"\\";
    folders.base = IsFolder(folders.baseVersion) ? folders.baseVersion : folders.install;
    folders.patchSource = folders.work + manifest.installSourcePrefix + L"\\";

    int verified = VerifyBase();
    if (verified != kIncrementInstalled) return verified;

    folders.newVersion = folders.install + manifest.version + L"\\";
    folders.staging = folders.work + manifest.version + L"\\";
    folders.flat = folders.newVersion.compare(0, folders.base.size(), folders.base) == 0;

    if (!ShellCopy(folders.base + L"*", folders.staging)) {
      Log(Error, "copy base files failed");
      return kIncrementCopyBaseFailed;
    }
    std::wstring patchTool = FindPatchTool(folders.base, folders.patchSource);
    if (patchTool.empty()) return kIncrementNoPatchTool;
    switch (PreparePatchTool(patchTool, folders.base)) {
      case PatchToolPrepared::Ready: break;
      case PatchToolPrepared::ZlibCopyFailed: return kIncrementZlibCopyFailed;
      case PatchToolPrepared::RuntimeCopyFailed: return kIncrementRuntimeCopyFailed;
    }
    if (!ApplyAllFileOps(manifest.fileOps, patchTool, folders.base, folders.staging,
                         folders.patchSource)) {
      return kIncrementFileOpFailed;
    }
    DeleteFolderTree(folders.newVersion);
    if (!MovePatchedFiles(folders.staging, folders.newVersion)) {
      Log(Error, "move folder from %S to %S failed: %u", folders.staging.c_str(),
          folders.install.c_str(), static_cast<unsigned>(GetLastError()));
      return kIncrementMoveNewVersionFailed;
    }
    if (folders.flat) {
      MakeSureDirectoryPathExists(zemora::WideToThreadAnsi(folders.baseVersion).c_str());
      MoveFolderContents(folders.install, folders.baseVersion, manifest.version,
                         manifest.baseVersion);
    }
    return PlaceExecutables();
  }

  // On the way out of a failed install: what it created goes.
  void CleanUp(int result) {
    if (result >= kIncrementCopyBaseFailed && result != kIncrementUpdaterReplaced &&
        result != kIncrementUpdaterReplaceFailed) {
      DeleteFolderTree(folders.newVersion);
    }
    package.file.reset();
    if (result != kIncrementUpdaterReplaced && result != kIncrementUpdaterReplaceFailed) {
      DeleteFolderTree(package.workFolder);
    }
  }

 private:
  int VerifyBase() {
    const SetupManifest& manifest = package.manifest;
    for (const FileOp& op : manifest.fileOps) {
      if (op.type != FileOpType::Update) continue;
      std::wstring oldFile = folders.base + (op.oldPath.empty() ? op.path : op.oldPath);
      if (!zemora::EqualsIgnoreCase(CMD5Checksum::GetMD5(oldFile), op.oldChecksum)) {
        Log(Error, "base version file checksum not match: %S", oldFile.c_str());
        return kIncrementBaseMismatch;
      }
      if (zemora::EqualsIgnoreCase(op.path, L"Update.exe") &&
          !zemora::EqualsIgnoreCase(CMD5Checksum::GetMD5(RunningProgramPath()), op.newChecksum)) {
        return PrepareUpdaterFolder(manifest.fileOps, folders.base, folders.work,
                                    folders.patchSource)
                   ? kIncrementUpdaterReplaced
                   : kIncrementUpdaterReplaceFailed;
      }
    }
    return kIncrementInstalled;
  }

  bool CopyUp(const wchar_t* name, const wchar_t* targetName) {
    std::wstring source = folders.newVersion + name;
    std::wstring target = folders.install + targetName;
    if (CopyFileW(source.c_str(), target.c_str(), FALSE)) return true;
    Log(Error, "copy %S to upper folder failed: %d", targetName, static_cast<int>(GetLastError()));
    return false;
  }

  int PlaceExecutables() {
    // Kept aside so that a roll back can put the old main program back; the
    // new version's folder is gone after a roll back.
    std::wstring mainProgram = folders.install + L"zemora.exe";
    std::wstring keptMainProgram = folders.work + L"zemora.exe.previous";
    keptAside = IsFile(mainProgram) && CopyFileW(mainProgram.c_str(), keptMainProgram.c_str(), FALSE);

    if (!CopyUp(L"zemora.exe", L"zemora.exe")) {
      if (!IsFile(mainProgram)) return RollBack();
      if (!CopyUp(L"zemora.exe", L"zemora_new.exe")) return RollBack();
      wroteAlternate = true;
    }
    if (!CopyUp(L"Uninst.exe", L"Uninst.exe")) return RollBack();
    return kIncrementInstalled;
  }

  int RollBack() {
    const SetupManifest& manifest = package.manifest;
    if (folders.flat) {
      MoveFolderContents(folders.baseVersion, folders.install, manifest.version,
                         manifest.baseVersion);
      DeleteFolderTree(folders.baseVersion);
    }
    DeleteFolderTree(folders.newVersion);
    if (keptAside) {
      CopyFileW((folders.work + L"zemora.exe.previous").c_str(),
                (folders.install + L"zemora.exe").c_str(), FALSE);
    }
    if (wroteAlternate) DeleteFileW((folders.install + L"zemora_new.exe").c_str());
    return kIncrementPlaceExecutablesFailed;
  }

  PatchPackage& package;
  InstallFolders folders;
  bool keptAside = false;
  bool wroteAlternate = false;
};

}  // namespace

int InstallPatchPackage(PatchPackage& package) {
  IncrementalInstaller installer(package);
  int result = installer.Run();
  installer.CleanUp(result);
  return result;
}

int DoIncrementInstall(const std::wstring& path, const InstallInfo& info) {
  DWORD start = GetTickCount();
  PatchPackage package(path, CFileOperation::MakeWorkPath(L"Update\\Zemora\\"), info.installDir);
  int result = InstallPatchPackage(package);
  int reported = result == kIncrementInstalled ? 0 : result + 12;
  DWORD elapsed = GetTickCount() - start;
  Log(Error, "DoIncrementInstall result: %d, cost time: %d", reported,
      static_cast<int>(elapsed / 1000));
  if (reported == 0) RegisterInstallation(info, package.manifest.version, package.manifest.channel);
  return reported;
}
