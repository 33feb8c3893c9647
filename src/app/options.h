// The command-line options: "--name=value", "-name value", "/name" and so on.
#pragma once

#include <map>
#include <string>

class Options {
 public:
  // Value of `name`, or an empty text when it was not given. Names are
  // case-sensitive.
  std::wstring GetOption(const std::wstring& name) const;
  bool HasOption(const std::wstring& name) const;
  void Set(const std::wstring& name, const std::wstring& value) { values[name] = value; }
  const std::map<std::wstring, std::wstring>& All() const { return values; }

 private:
  std::map<std::wstring, std::wstring> values;
};

// Fills `options` from `arguments` (the program path already left out). A
// later occurrence of a name replaces an earlier one; an option with no value
// is stored as "true". Always succeeds.
void ParseOptions(int count, const wchar_t* const* arguments, Options& options);

// True when "parent" is a hexadecimal number by the "%x" scan rule.
bool IsValidParent(const std::wstring& value);
