// Small registry helpers shared by the registration steps.
#pragma once

#include <windows.h>

#include <string>

// Creates `path` under `root` where missing (non-volatile, no class, default
// security) or opens it, for reading and writing. Returns the registry status;
// `key` receives the handle on success.
LONG CreateKeyForWriting(HKEY root, const wchar_t* path, HKEY* key);

// Sets `name` (null for the default value) to `text` as REG_SZ, its stored size
// including the terminating null character. Returns the registry status.
LONG SetRegistryText(HKEY key, const wchar_t* name, const std::wstring& text);
