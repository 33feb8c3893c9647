// Placing a new updater and the runtime files it loads in the work folder,
// from which it is started again.
#pragma once

#include <string>
#include <vector>

#include "incremental/manifest.h"

// Applies the "Update.exe" operation (and the "global.dll" one, or copies the
// base's global.dll) into `workFolder`, then copies "Microsoft.VC90.CRT",
// "zlib1.dll" and "Downloader" from the base folder there. True when all are
// in place.
bool PrepareUpdaterFolder(const std::vector<FileOp>& fileOps, const std::wstring& baseFolder,
                          const std::wstring& workFolder, const std::wstring& patchSourceFolder);
