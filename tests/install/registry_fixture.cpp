#include "registry_fixture.h"

#include <shlwapi.h>
#include <winternl.h>

#include "support/temp_folder.h"

struct SavedRegistryKey::Tree {
  std::vector<std::pair<std::wstring, RegistryValue>> values;
  std::vector<std::pair<std::wstring, Tree>> keys;
};

namespace {

using Tree = SavedRegistryKey::Tree;

void ReadTree(HKEY key, Tree& tree) {
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameUnits = 16384;
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueW(key, i, name, &nameUnits, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    std::string bytes(size, '\0');
    nameUnits = 16384;
    RegEnumValueW(key, i, name, &nameUnits, nullptr, &type,
                  reinterpret_cast<BYTE*>(&bytes[0]), &size);
    bytes.resize(size);
    tree.values.push_back({std::wstring(name, nameUnits), RegistryValue{true, type, bytes}});
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameUnits = 256;
    if (RegEnumKeyExW(key, i, name, &nameUnits, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    HKEY child = nullptr;
    tree.keys.push_back({std::wstring(name, nameUnits), Tree{}});
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
      ReadTree(child, tree.keys.back().second);
      RegCloseKey(child);
    }
  }
}

void WriteTree(HKEY root, const std::wstring& path, const Tree& tree) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  for (const auto& value : tree.values) {
    RegSetValueExW(key, value.first.empty() ? nullptr : value.first.c_str(), 0,
                   value.second.type, reinterpret_cast<const BYTE*>(value.second.bytes.data()),
                   static_cast<DWORD>(value.second.bytes.size()));
  }
  for (const auto& child : tree.keys) WriteTree(key, child.first, child.second);
  RegCloseKey(key);
}

}  // namespace

SavedRegistryKey::SavedRegistryKey(HKEY root, std::wstring path) : root(root), path(std::move(path)) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, this->path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    saved = std::make_unique<Tree>();
    ReadTree(key, *saved);
    RegCloseKey(key);
  }
}

SavedRegistryKey::~SavedRegistryKey() {
  DeleteRegistryTree(root, path);
  if (saved) WriteTree(root, path, *saved);
}

std::string TextBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()),
                     (text.size() + 1) * sizeof(wchar_t));
}

RegistryValue ReadRegistryValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  RegistryValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.bytes.resize(size);
    RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(&value.bytes[0]),
                     &size);
    value.bytes.resize(size);
    value.present = true;
  }
  RegCloseKey(key);
  return value;
}

std::wstring ReadRegistryText(HKEY root, const std::wstring& path, const wchar_t* name) {
  RegistryValue value = ReadRegistryValue(root, path, name);
  if (!value.present) return L"<absent>";
  if (value.type != REG_SZ) return L"<type " + std::to_wstring(value.type) + L">";
  std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()),
                    value.bytes.size() / sizeof(wchar_t));
  // Stored sizes include the null character; a text without one shows it.
  if (text.empty() || text.back() != L'\0') return text + L"<unterminated>";
  text.pop_back();
  return text;
}

bool SetRegistryValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                      const std::string& bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  // The native call stores the bytes exactly; RegSetValueExW under Wine adds a
  // missing null to texts, which would hide the unterminated cases.
  using SetValueKey = LONG(WINAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, const void*, ULONG);
  auto setValueKey = reinterpret_cast<SetValueKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey")));
  std::wstring valueName = name ? name : L"";
  UNICODE_STRING unicodeName{static_cast<USHORT>(valueName.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(valueName.size() * sizeof(wchar_t)),
                             &valueName[0]};
  LONG status = setValueKey ? setValueKey(key, &unicodeName, 0, type, bytes.data(),
                                          static_cast<ULONG>(bytes.size()))
                            : -1;
  RegCloseKey(key);
  return status == 0;
}

bool RegistryKeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void DeleteRegistryTree(HKEY root, const std::wstring& path) { SHDeleteKeyW(root, path.c_str()); }

bool CreateVolatileKey(HKEY root, const std::wstring& path) {
  // Only the last key is volatile, so a saved parent tree restores cleanly.
  HKEY parent = nullptr;
  const size_t split = path.rfind(L'\\');
  if (split != std::wstring::npos) {
    if (RegCreateKeyExW(root, path.substr(0, split).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &parent, nullptr) != ERROR_SUCCESS)
      return false;
  }
  const std::wstring name = split == std::wstring::npos ? path : path.substr(split + 1);
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(parent ? parent : root, name.c_str(), 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (parent) RegCloseKey(parent);
  if (status != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string LogMessages(const std::wstring& logFile) {
  const std::string content = ReadFileBytes(logFile);
  std::string out;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find("\r\n", pos);
    if (end == std::string::npos) end = content.size();
    const std::string line = content.substr(pos, end - pos);
    const size_t prefix = sizeof("2026-01-01 00:00:00 [ERRO] ") - 1;
    out += line.size() >= prefix ? line.substr(prefix) : line;
    out += "|";
    pos = end + 2;
  }
  return out;
}
