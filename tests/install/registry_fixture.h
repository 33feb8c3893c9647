// Registry helpers for tests that change real keys: save a tree and put it
// back, read raw values, make keys that refuse non-volatile children.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

struct RegistryValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::string bytes;
};

// Saves root\path with all its values and subkeys on construction; deletes
// whatever is there on destruction and rebuilds the saved tree (or nothing,
// when the key did not exist).
class SavedRegistryKey {
 public:
  SavedRegistryKey(HKEY root, std::wstring path);
  ~SavedRegistryKey();
  SavedRegistryKey(const SavedRegistryKey&) = delete;
  SavedRegistryKey& operator=(const SavedRegistryKey&) = delete;

  struct Tree;

 private:
  HKEY root;
  std::wstring path;
  std::unique_ptr<Tree> saved;  // null: the key did not exist
};

// The bytes of a wide text as the registry stores it, with its null character.
std::string TextBytes(const std::wstring& text);
RegistryValue ReadRegistryValue(HKEY root, const std::wstring& path, const wchar_t* name);
// The value as REG_SZ text without its null, or "<absent>" / "<type N>".
std::wstring ReadRegistryText(HKEY root, const std::wstring& path, const wchar_t* name);
bool SetRegistryValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                      const std::string& bytes);
bool RegistryKeyExists(HKEY root, const std::wstring& path);
void DeleteRegistryTree(HKEY root, const std::wstring& path);
// A volatile key: the registry refuses to create non-volatile keys below it.
bool CreateVolatileKey(HKEY root, const std::wstring& path);

// The text after the dated prefix of each line in a log file, joined by "|".
std::string LogMessages(const std::wstring& logFile);
