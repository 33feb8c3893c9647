// Internet-shortcut files pointing at the ROM website.
#pragma once

#include <string>

// The shortcut's target: the ROM website's home page, marked as opened from
// the desktop.
std::wstring RomSiteShortcutUrl();

// Saves an Internet shortcut to RomSiteShortcutUrl() at `shortcutPath`, with
// the icon `iconPath` where the shell's shortcut object takes one. COM must be
// initialised on the calling thread. Returns 0 when the shortcut object cannot
// be made, takes no URL or cannot be saved to a file; else 1 (callers ignore
// it, so the save itself is not checked).
int CreateUrlShortcut(const std::wstring& shortcutPath, const std::wstring& iconPath);
