// Rebuilding a file from its old version and a patch: one or more Zstandard
// frames made with the old file as the reference prefix (what
// `zstd --patch-from=OLD NEW -o PATCH` writes).
#pragma once

#include <string>

// Writes the new file to NEW.tmp and renames it to `newPath` only when it is
// complete, so a failure never leaves a partial or a new file at `newPath`.
// Returns true on success; otherwise `error` says why.
bool ApplyPatch(const std::wstring& oldPath, const std::wstring& patchPath,
                const std::wstring& newPath, std::wstring& error);
