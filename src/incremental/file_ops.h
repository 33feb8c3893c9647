// Applying the manifest's file operations: one at a time, or the whole list
// by the calling thread and extra workers taking indices from one counter.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "incremental/manifest.h"

// The process-wide counter from which workers take their next operation. It
// starts at -1 and is never reset, so the production worker phase runs once
// per process; tests and benchmarks pass a counter of their own.
extern volatile LONG nextFileOp;

// What every extra worker of one run reads; it outlives the workers.
struct FileOpWorkerArgs {
  const std::vector<FileOp>* fileOps;
  std::wstring patchTool;
  std::wstring baseFolder;
  std::wstring stagingFolder;
  std::wstring patchSourceFolder;
  volatile LONG* counter;
};

// Applies one operation; folders end with a backslash. Update patches base +
// (oldPath or path) with patchSource + path + ".patch" into output + path and
// checks its MD5; New copies from the patch source; Delete and Move act inside
// the output folder.
bool ApplyFileOp(const FileOp& op, const std::wstring& patchTool, const std::wstring& baseFolder,
                 const std::wstring& outputFolder, const std::wstring& patchSourceFolder);

// Runs `"TOOL" -apply "OLD" "PATCH" "NEW"` with a hidden window and waits for
// it; true only when it started and exited with 0.
bool RunPatchTool(const std::wstring& patchTool, const std::wstring& oldFile,
                  const std::wstring& newFile, const std::wstring& patchFile);

// Takes operations from `counter` until the list is exhausted, applying each
// into the staging folder; stops at its first failure and then returns false.
bool RunFileOps(const std::vector<FileOp>& fileOps, const std::wstring& patchTool,
                const std::wstring& baseFolder, const std::wstring& stagingFolder,
                const std::wstring& patchSourceFolder, volatile LONG& counter = nextFileOp);

// Thread entry of an extra worker (`parameter` is a FileOpWorkerArgs): exit
// code 0 on success, -1 on failure.
DWORD WINAPI FileOpThread(void* parameter);

// Applies every operation with SuitableWorkerCount() extra workers and the
// process-wide counter; true when all succeeded.
bool ApplyAllFileOps(const std::vector<FileOp>& fileOps, const std::wstring& patchTool,
                     const std::wstring& baseFolder, const std::wstring& stagingFolder,
                     const std::wstring& patchSourceFolder);
// The same with the number of extra workers and the counter given.
bool ApplyAllFileOps(const std::vector<FileOp>& fileOps, const std::wstring& patchTool,
                     const std::wstring& baseFolder, const std::wstring& stagingFolder,
                     const std::wstring& patchSourceFolder, int extraWorkers,
                     volatile LONG& counter);
