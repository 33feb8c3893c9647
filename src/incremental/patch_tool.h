// Finding patch.exe and giving it the runtime files it loads.
#pragma once

#include <string>

// Base folder + "patch.exe", else patch source folder + "patch.exe" (the copy
// the package carries); empty after logging "cannot find patch.exe".
std::wstring FindPatchTool(const std::wstring& baseFolder, const std::wstring& patchSourceFolder);

enum class PatchToolPrepared { Ready, ZlibCopyFailed, RuntimeCopyFailed };

// Copies "zlib1.dll" and the folder "Microsoft.VC90.CRT" from the base folder
// beside the tool, each only when the tool's folder lacks it.
PatchToolPrepared PreparePatchTool(const std::wstring& patchTool, const std::wstring& baseFolder);
