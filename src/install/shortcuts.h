// The ROM-website shortcuts on the desktop and in the Start menu.
#pragma once

#include <string>

#include "install/install_info.h"

// Replaces the desktop's and the Start menu's (programs\Zemorakit) shortcut
// to the ROM website by a fresh one whose icon lies in the new version folder.
// Only shortcuts the user still has are replaced; none is created. Returns 1.
int RefreshShortcuts(const InstallInfo& info, const std::wstring& version);

// One place of the refresh: when `folder` (ending with a backslash) +
// `relativePath` exists, deletes it and saves a new shortcut there. An empty
// folder (it could not be found) is skipped.
void RefreshShortcutIn(const std::wstring& folder, const std::wstring& relativePath,
                       const std::wstring& iconPath);
