#include "app/options.h"

#include <cstdio>

std::wstring Options::GetOption(const std::wstring& name) const {
  auto found = values.find(name);
  return found == values.end() ? std::wstring() : found->second;
}

bool Options::HasOption(const std::wstring& name) const { return values.count(name) != 0; }

void ParseOptions(int count, const wchar_t* const* arguments, Options& options) {
  const std::wstring kImplicitValue = L"true";
  std::wstring pending;
  bool hasPending = false;
  for (int i = 0; i < count; ++i) {
    std::wstring argument = arguments[i] ? arguments[i] : L"";
    if (!argument.empty() && (argument[0] == L'/' || argument[0] == L'-')) {
      if (hasPending) options.Set(pending, kImplicitValue);
      hasPending = false;
      std::wstring name = argument.substr(1);
      if (!name.empty() && name[0] == L'-') name.erase(0, 1);
      if (name.empty()) continue;
      size_t equals = name.find(L'=');
      if (equals != std::wstring::npos) {
        options.Set(name.substr(0, equals), name.substr(equals + 1));
        continue;
      }
      pending = name;
      hasPending = true;
    } else if (hasPending) {
      options.Set(pending, argument);
      hasPending = false;
    }
  }
  if (hasPending) options.Set(pending, kImplicitValue);
}

bool IsValidParent(const std::wstring& value) {
  unsigned int parent = 0xFFFFFFFFu;
  swscanf(value.c_str(), L"%x", &parent);
  return parent != 0xFFFFFFFFu;
}
