#include "incremental/updater_folder.h"

#include <windows.h>

#include "base/text.h"
#include "incremental/file_ops.h"
#include "incremental/folder_ops.h"
#include "incremental/patch_tool.h"
#include "log/log.h"

namespace {

const FileOp* FindOperation(const std::vector<FileOp>& fileOps, const wchar_t* path) {
  for (const FileOp& op : fileOps) {
    if (zemora::EqualsIgnoreCase(op.path, std::wstring(path))) return &op;
  }
  return nullptr;
}

bool CopyFromBase(const std::wstring& baseFolder, const std::wstring& workFolder,
                  const wchar_t* name, const char* failureFormat) {
  if (!CopyFileW((baseFolder + name).c_str(), (workFolder + name).c_str(), FALSE)) {
    Log(Error, failureFormat, static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

}  // namespace

bool PrepareUpdaterFolder(const std::vector<FileOp>& fileOps, const std::wstring& baseFolder,
                          const std::wstring& workFolder, const std::wstring& patchSourceFolder) {
  const FileOp* updater = FindOperation(fileOps, L"Update.exe");
  if (!updater) return false;
  std::wstring patchTool = FindPatchTool(baseFolder, patchSourceFolder);
  if (patchTool.empty()) return false;
  if (!ApplyFileOp(*updater, patchTool, baseFolder, workFolder, patchSourceFolder)) return false;

  // Only an operation whose target is global.dll produces it; one that merely
  // starts from it (old_path) produces some other file.
  if (const FileOp* library = FindOperation(fileOps, L"global.dll")) {
    if (!ApplyFileOp(*library, patchTool, baseFolder, workFolder, patchSourceFolder)) return false;
  } else {
    Log(Error, "cannot find dependent global.dll, use old one");
    if (!CopyFromBase(baseFolder, workFolder, L"global.dll",
                      "copy global.dll to the dir where update.exe is failed: %d")) {
      return false;
    }
  }
  if (!ShellCopy(baseFolder + L"Microsoft.VC90.CRT", workFolder)) {
    Log(Error, "copy vccrt files failed");
    return false;
  }
  if (!CopyFromBase(baseFolder, workFolder, L"zlib1.dll",
                    "copy zlib1.dll to the dir where update.exe is failed: %d")) {
    return false;
  }
  if (!ShellCopy(baseFolder + L"Downloader", workFolder)) {
    Log(Error, "copy Downloader files failed");
    return false;
  }
  return true;
}
