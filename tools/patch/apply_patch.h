// Rebuilding a file from its old version and a patch: one or more Zstandard
// frames made with the old file as the reference prefix (what
// `zstd --patch-from=OLD NEW -o PATCH` writes).
//
// Limits of a 32-bit process: the old file is mapped whole and the decoder
// keeps a window as large as the new file, so NEW must be under 1 GiB (the
// CLI gives larger files a 2 GiB window, which is refused) and OLD and NEW
// together must fit the address space: about 1.5 GiB on 32-bit Windows, about
// 3 GiB on 64-bit Windows (the tool is large-address aware).
#pragma once

#include <string>

// Writes the new file to NEW.tmp and renames it to `newPath` only when it is
// complete, so a failure never leaves a partial or a new file at `newPath`.
// Returns true on success; otherwise `error` says why.
bool ApplyPatch(const std::wstring& oldPath, const std::wstring& patchPath,
                const std::wstring& newPath, std::wstring& error);
