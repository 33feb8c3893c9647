// The incremental install: patch a copy of the installed version and put the
// new version into a folder of its own beside the old one.
#pragma once

#include <string>

#include "incremental/patch_package.h"
#include "install/install_info.h"

// Results of InstallPatchPackage; DoIncrementInstall reports 0 as 0 and adds
// 12 to the others.
enum IncrementResult {
  kIncrementInstalled = 0,
  kIncrementBadPackage = 1,
  kIncrementBaseMismatch = 2,
  kIncrementCopyBaseFailed = 3,
  kIncrementFileOpFailed = 7,
  kIncrementPlaceExecutablesFailed = 8,
  kIncrementUpdaterReplaced = 9,
  kIncrementUpdaterReplaceFailed = 10,
  kIncrementMoveNewVersionFailed = 11,
  kIncrementNoPatchTool = 12,
  kIncrementZlibCopyFailed = 13,
  kIncrementRuntimeCopyFailed = 14,
};

// Installs the package at `path` over `info.installDir`; returns the reported
// result (0, or 13..26; 21 asks for the new updater to be started). Registers
// the new version on success.
int DoIncrementInstall(const std::wstring& path, const InstallInfo& info);

// The procedure itself, on a prepared package record.
int InstallPatchPackage(PatchPackage& package);
