#include "install/registry_text.h"

LONG CreateKeyForWriting(HKEY root, const wchar_t* path, HKEY* key) {
  *key = nullptr;
  return RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                         nullptr, key, nullptr);
}

LONG SetRegistryText(HKEY key, const wchar_t* name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
