#include "archive_test_support.h"

#include "archive/seven_zip_extract.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

std::wstring FixturePath(const std::wstring& name) {
  return ProgramFolder() + ZEMORA_ARCHIVE_FIXTURES + name;
}

std::string ReadFixture(const std::wstring& name) { return ReadFileBytes(FixturePath(name)); }

HRESULT Extract(const std::string& archive, const std::wstring& folder) {
  I7zExtract* extractor = Create7zExtractor();
  if (!extractor) return E_OUTOFMEMORY;
  HRESULT status = extractor->ExtractToFolder(archive.data(), static_cast<UINT32>(archive.size()),
                                              folder.c_str());
  extractor->Release();
  return status;
}

namespace {

void ReadTreeInto(const std::wstring& folder, const std::wstring& prefix,
                  std::map<std::wstring, std::string>& tree) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      tree[prefix + name + L"\\"];
      ReadTreeInto(folder + L"\\" + name, prefix + name + L"\\", tree);
    } else {
      tree[prefix + name] = ReadFileBytes(folder + L"\\" + name);
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

}  // namespace

std::map<std::wstring, std::string> ReadTree(const std::wstring& folder) {
  std::wstring root = folder;
  while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
  std::map<std::wstring, std::string> tree;
  ReadTreeInto(root, L"", tree);
  return tree;
}
