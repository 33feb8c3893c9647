// Whole-folder operations of the incremental install: deleting a tree,
// moving a folder's entries, shell copies and the final move of the staging
// folder.
#pragma once

#include <string>

// Creates the missing folders of `path` up to its last backslash (a path
// ending with a backslash is itself created). False when that fails.
bool CreateMissingFolders(const std::wstring& path);

// Deletes `folder` and everything below it, clearing read-only attributes.
// Entries whose names begin with a dot are left, and then so is their folder.
// Returns 0 (also for a folder that does not exist) or the first system error.
// An empty path or a drive root is refused with ERROR_INVALID_PARAMETER.
unsigned long DeleteFolderTree(const std::wstring& folder);

// Moves the entries of `source` into `target`, replacing files; folders named
// after `version` or `baseVersion` (as prefixes, ignoring case) and dot-named
// folders stay. An entry that cannot be moved is logged and left. Always true.
bool MoveFolderContents(const std::wstring& source, const std::wstring& target,
                        const std::wstring& version, const std::wstring& baseVersion);

// Copies `source` (a file, a folder, or a folder followed by "*" for its
// contents) into the folder `target` with the shell, silently, creating
// `target` first. Paths of 260 characters or more fail like any other error.
bool ShellCopy(const std::wstring& source, const std::wstring& target);

// Moves the contents of `stagingFolder` into `newFolder` (created if needed)
// and deletes the staging folder; false when the move failed.
bool MovePatchedFiles(const std::wstring& stagingFolder, const std::wstring& newFolder);
