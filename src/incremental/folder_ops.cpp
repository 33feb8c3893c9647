#include "incremental/folder_ops.h"

#include <windows.h>

#include <dbghelp.h>
#include <shellapi.h>

#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "log/log.h"

using zemora::UniqueFindHandle;
using zemora::WideToThreadAnsi;

namespace {

// Room for a 259-character path and its closing zero; one more zero ends
// the list.
const size_t kShellPathBuffer = 260;
const FILEOP_FLAGS kShellFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;

struct ShellOutcome {
  bool ok;
  int result;  // SHFileOperationW's result; 0 when it only reported an abort
};

ShellOutcome RunShellFileOperation(UINT operation, const std::wstring& source,
                                   const std::wstring& target) {
  if (source.size() >= kShellPathBuffer || target.size() >= kShellPathBuffer) {
    return {false, ERROR_FILENAME_EXCED_RANGE};
  }
  wchar_t from[kShellPathBuffer + 1] = {};
  wchar_t to[kShellPathBuffer + 1] = {};
  source.copy(from, source.size());
  target.copy(to, target.size());
  SHFILEOPSTRUCTW op = {};
  op.hwnd = nullptr;
  op.wFunc = operation;
  op.pFrom = from;
  op.pTo = to;
  op.fFlags = kShellFlags;
  op.hNameMappings = nullptr;
  op.lpszProgressTitle = nullptr;
  int result = SHFileOperationW(&op);
  return {result == 0 && !op.fAnyOperationsAborted, result};
}

struct Entry {
  std::wstring name;
  DWORD attributes;
};

// Lists `pattern` whole before anything in the folder changes. `error` is 0,
// or the code the listing stopped with; an unopenable listing gives false.
bool ListEntries(const std::wstring& pattern, std::vector<Entry>& entries, DWORD& error) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &data));
  if (!find.valid()) return false;
  error = 0;
  do {
    entries.push_back({data.cFileName, data.dwFileAttributes});
  } while (FindNextFileW(find.get(), &data));
  DWORD last = GetLastError();
  if (last != ERROR_NO_MORE_FILES) error = last;
  return true;
}

bool StartsWithIgnoreCase(const std::wstring& text, const std::wstring& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() &&
         zemora::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

}  // namespace

bool CreateMissingFolders(const std::wstring& path) {
  return MakeSureDirectoryPathExists(WideToThreadAnsi(path).c_str()) != FALSE;
}

unsigned long DeleteFolderTree(const std::wstring& folder) {
  std::wstring base = folder;
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  // "\*.*" on an empty path would list the current drive's root.
  if (base.empty() || (base.size() == 2 && base[1] == L':')) return ERROR_INVALID_PARAMETER;

  std::vector<Entry> entries;
  DWORD listingError = 0;
  if (!ListEntries(base + L"\\*.*", entries, listingError)) return 0;
  for (const Entry& entry : entries) {
    if (entry.name[0] == L'.') continue;
    std::wstring child = base + L"\\" + entry.name;
    if (IsFolder(entry.attributes) && !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      DWORD result = DeleteFolderTree(child);
      if (result != 0) return result;
    } else {
      // A linked folder is removed as a link: what it points to is not ours.
      if (!SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL)) return GetLastError();
      BOOL removed = IsFolder(entry.attributes) ? RemoveDirectoryW(child.c_str())
                                                : DeleteFileW(child.c_str());
      if (!removed) return GetLastError();
    }
  }
  if (listingError != 0) return listingError;
  if (!SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL)) return GetLastError();
  if (!RemoveDirectoryW(base.c_str())) return GetLastError();
  return 0;
}

bool MoveFolderContents(const std::wstring& source, const std::wstring& target,
                        const std::wstring& version, const std::wstring& baseVersion) {
  std::vector<Entry> entries;
  DWORD listingError = 0;
  if (!ListEntries(source + L"*.*", entries, listingError)) return true;
  for (const Entry& entry : entries) {
    if (IsFolder(entry.attributes) &&
        (entry.name[0] == L'.' || StartsWithIgnoreCase(entry.name, version) ||
         StartsWithIgnoreCase(entry.name, baseVersion))) {
      continue;
    }
    std::wstring from = source + entry.name;
    std::wstring to = target + entry.name;
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      Log(Error, "move file %S from %S to %S failed: %d", entry.name.c_str(), source.c_str(),
          target.c_str(), static_cast<int>(GetLastError()));
    }
  }
  return true;
}

bool ShellCopy(const std::wstring& source, const std::wstring& target) {
  CreateMissingFolders(target);
  ShellOutcome outcome = RunShellFileOperation(FO_COPY, source, target);
  if (!outcome.ok) {
    Log(Error, "copy %S to %S failed: %d", source.c_str(), target.c_str(), outcome.result);
    return false;
  }
  return true;
}

bool MovePatchedFiles(const std::wstring& stagingFolder, const std::wstring& newFolder) {
  std::wstring source = stagingFolder + L"*";
  if (!CreateDirectoryW(newFolder.c_str(), nullptr)) {
    Log(Error, "create directory failed: %d", static_cast<int>(GetLastError()));
  }
  ShellOutcome outcome = RunShellFileOperation(FO_MOVE, source, newFolder);
  if (!outcome.ok) {
    Log(Error, "move patched files failed: %d", outcome.result);
    return false;
  }
  DeleteFolderTree(stagingFolder);
  return true;
}
