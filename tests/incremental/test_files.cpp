#include "test_files.h"

#include "support/temp_folder.h"

void Put(const std::wstring& folder, const std::wstring& name, const std::string& bytes) {
  size_t slash = name.rfind(L'\\');
  MakeFolders(folder + (slash == std::wstring::npos ? L"" : name.substr(0, slash + 1)));
  WriteFileBytes(folder + name, bytes);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
