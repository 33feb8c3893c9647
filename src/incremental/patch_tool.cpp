#include "incremental/patch_tool.h"

#include <windows.h>

#include <shlwapi.h>

#include "incremental/folder_ops.h"
#include "log/log.h"

namespace {

bool Exists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

}  // namespace

std::wstring FindPatchTool(const std::wstring& baseFolder, const std::wstring& patchSourceFolder) {
  for (const std::wstring* folder : {&baseFolder, &patchSourceFolder}) {
    std::wstring candidate = *folder + L"patch.exe";
    if (Exists(candidate)) return candidate;
  }
  Log(Error, "cannot find patch.exe");
  return std::wstring();
}

PatchToolPrepared PreparePatchTool(const std::wstring& patchTool, const std::wstring& baseFolder) {
  std::wstring toolFolder = patchTool.substr(0, patchTool.rfind(L'\\') + 1);
  if (!Exists(toolFolder + L"zlib1.dll")) {
    if (!CopyFileW((baseFolder + L"zlib1.dll").c_str(), (toolFolder + L"zlib1.dll").c_str(),
                   FALSE)) {
      Log(Error, "cannot copy zlib1.dll");
      return PatchToolPrepared::ZlibCopyFailed;
    }
  }
  if (!Exists(toolFolder + L"Microsoft.VC90.CRT")) {
    if (!ShellCopy(baseFolder + L"Microsoft.VC90.CRT", toolFolder)) {
      Log(Error, "copy vccrt dir for patch.exe failed");
      return PatchToolPrepared::RuntimeCopyFailed;
    }
  }
  return PatchToolPrepared::Ready;
}
