// A fresh folder under the temporary folder, removed with everything in it.
#pragma once

#include <string>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // Ends with a backslash.
  const std::wstring& path() const { return folder; }
  std::wstring operator/(const std::wstring& name) const { return folder + name; }

 private:
  std::wstring folder;
};

// Small file helpers for tests.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Creates every folder of `path` (which may end with a backslash).
void MakeFolders(const std::wstring& path);
// Removes a file or a whole tree; read-only attributes are cleared first.
void RemoveTree(const std::wstring& path);
