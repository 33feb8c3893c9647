#include "incremental/file_ops.h"

#include <vector>

#include "base/handles.h"
#include "base/process.h"
#include "base/text.h"
#include "incremental/folder_ops.h"
#include "incremental/worker_count.h"
#include "log/log.h"
#include "shared/global_api.h"

using zemora::EqualsIgnoreCase;
using zemora::FormatWide;
using zemora::UniqueHandle;

volatile LONG nextFileOp = -1;

namespace {

bool ApplyUpdate(const FileOp& op, const std::wstring& patchTool, const std::wstring& baseFolder,
                 const std::wstring& outputFolder, const std::wstring& patchSourceFolder) {
  std::wstring oldFile = baseFolder + (op.oldPath.empty() ? op.path : op.oldPath);
  std::wstring newFile = outputFolder + op.path;
  std::wstring patchFile = patchSourceFolder + op.path + L".patch";
  if (!RunPatchTool(patchTool, oldFile, newFile, patchFile)) {
    Log(Error, "apply patch for %S failed", op.path.c_str());
    return false;
  }
  std::wstring md5 = CMD5Checksum::GetMD5(newFile);
  if (!EqualsIgnoreCase(md5, op.newChecksum)) {
    Log(Error, "patched file md5 not match, %S vs %S", md5.c_str(), op.newChecksum.c_str());
    return false;
  }
  return true;
}

bool ApplyNew(const FileOp& op, const std::wstring& outputFolder,
              const std::wstring& patchSourceFolder) {
  std::wstring source = patchSourceFolder + op.path;
  std::wstring target = outputFolder + op.path;
  CreateMissingFolders(target);
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    Log(Error, "copy file %S to %S failed: %u", source.c_str(), target.c_str(),
        static_cast<unsigned>(GetLastError()));
    return false;
  }
  return true;
}

bool ApplyMove(const FileOp& op, const std::wstring& outputFolder) {
  std::wstring source = outputFolder + op.oldPath;
  std::wstring target = outputFolder + op.path;
  CreateMissingFolders(target);
  if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    Log(Error, "move file %S to %S failed: %u", source.c_str(), target.c_str(),
        static_cast<unsigned>(GetLastError()));
    return false;
  }
  return true;
}

}  // namespace

bool ApplyFileOp(const FileOp& op, const std::wstring& patchTool, const std::wstring& baseFolder,
                 const std::wstring& outputFolder, const std::wstring& patchSourceFolder) {
  switch (op.type) {
    case FileOpType::Update:
      return ApplyUpdate(op, patchTool, baseFolder, outputFolder, patchSourceFolder);
    case FileOpType::New:
      return ApplyNew(op, outputFolder, patchSourceFolder);
    case FileOpType::Delete:
      // A file that is already gone, or locked, is no failure.
      // A read-only file copied from the base must not survive into the new version.
      SetFileAttributesW((outputFolder + op.path).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW((outputFolder + op.path).c_str());
      return true;
    case FileOpType::Move:
      return ApplyMove(op, outputFolder);
  }
  return false;
}

bool RunPatchTool(const std::wstring& patchTool, const std::wstring& oldFile,
                  const std::wstring& newFile, const std::wstring& patchFile) {
  std::wstring commandLine = FormatWide(L"\"%s\" -apply \"%s\" \"%s\" \"%s\"", patchTool.c_str(),
                                        oldFile.c_str(), patchFile.c_str(), newFile.c_str());
  unsigned long exitCode = 0, startError = 0;
  if (!RunHiddenAndWait(commandLine, exitCode, startError)) {
    Log(Error, "cannot run patch.exe: %d", static_cast<int>(startError));
    return false;
  }
  Log(Error, "patch.exe exit with code: %d", static_cast<int>(exitCode));
  return exitCode == 0;
}

bool RunFileOps(const std::vector<FileOp>& fileOps, const std::wstring& patchTool,
                const std::wstring& baseFolder, const std::wstring& stagingFolder,
                const std::wstring& patchSourceFolder, volatile LONG& counter) {
  const LONG count = static_cast<LONG>(fileOps.size());
  for (LONG i = InterlockedIncrement(&counter); i < count; i = InterlockedIncrement(&counter)) {
    if (!ApplyFileOp(fileOps[static_cast<size_t>(i)], patchTool, baseFolder, stagingFolder,
                     patchSourceFolder)) {
      return false;
    }
  }
  return true;
}

DWORD WINAPI FileOpThread(void* parameter) {
  const FileOpWorkerArgs& args = *static_cast<const FileOpWorkerArgs*>(parameter);
  bool ok = RunFileOps(*args.fileOps, args.patchTool, args.baseFolder, args.stagingFolder,
                       args.patchSourceFolder, *args.counter);
  return ok ? 0 : static_cast<DWORD>(-1);
}

bool ApplyAllFileOps(const std::vector<FileOp>& fileOps, const std::wstring& patchTool,
                     const std::wstring& baseFolder, const std::wstring& stagingFolder,
                     const std::wstring& patchSourceFolder) {
  return ApplyAllFileOps(fileOps, patchTool, baseFolder, stagingFolder, patchSourceFolder,
                         SuitableWorkerCount(), nextFileOp);
}

bool ApplyAllFileOps(const std::vector<FileOp>& fileOps, const std::wstring& patchTool,
                     const std::wstring& baseFolder, const std::wstring& stagingFolder,
                     const std::wstring& patchSourceFolder, int extraWorkers,
                     volatile LONG& counter) {
  // One wait covers at most 64 handles; more workers would add little anyway.
  if (extraWorkers > MAXIMUM_WAIT_OBJECTS) extraWorkers = MAXIMUM_WAIT_OBJECTS;
  FileOpWorkerArgs args{&fileOps, patchTool, baseFolder, stagingFolder, patchSourceFolder,
                        &counter};
  std::vector<UniqueHandle> workers;
  for (int i = 0; i < extraWorkers; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, FileOpThread, &args, 0, nullptr);
    if (!thread) {
      // The others take its share from the counter; only started ones are waited for.
      Log(Error, "cannot start file operation worker: %d", static_cast<int>(GetLastError()));
      continue;
    }
    workers.emplace_back(thread);
  }

  bool ok = RunFileOps(fileOps, patchTool, baseFolder, stagingFolder, patchSourceFolder, counter);

  if (!workers.empty()) {
    std::vector<HANDLE> handles;
    for (const UniqueHandle& worker : workers) handles.push_back(worker.get());
    WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE);
  }
  if (ok) {
    for (const UniqueHandle& worker : workers) {
      DWORD exitCode = 0;
      if (!GetExitCodeThread(worker.get(), &exitCode) || exitCode != 0) {
        ok = false;
        break;
      }
    }
  }
  return ok;
}
