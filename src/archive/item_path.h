// Checks on the item paths that an archive names, which are untrusted input.
#pragma once

#include <string>

// True when `path` is a plain relative path of names separated by "\" or "/"
// that stays inside the folder it is appended to: not empty, no leading
// separator, no drive letter or other colon, no empty, "." or ".." component
// (nor one of dots and spaces only, which Windows may fold into those), and no
// device name such as "CON" or "COM1".
bool IsSafeItemPath(const std::wstring& path);

// The text before the last "\" or "/" of `path`; empty when there is none.
std::wstring ParentFolder(const std::wstring& path);
