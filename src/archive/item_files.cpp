// The extractor's side on disk: one file per item, folders as they come.
#include <windows.h>
#include <shlwapi.h>
#include <wchar.h>

#include "archive/extract_impl.h"
#include "archive/item_path.h"
#include "log/log.h"

namespace {

bool WriteAll(HANDLE file, const BYTE* bytes, UINT32 count, UINT32* written) {
  *written = 0;
  while (*written < count) {
    DWORD done = 0;
    if (!WriteFile(file, bytes + *written, count - *written, &done, nullptr)) return false;
    *written += done;
  }
  return true;
}

bool CreateFolder(const std::wstring& folder) {
  return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

bool C7zExtractImpl::BeginItem(const wchar_t* path) {
  itemFile.reset();
  if (!IsSafeItemPath(path)) {
    Log(Error, "archive item path is not inside the destination folder, refused: %S", path);
    return false;
  }
  itemPath = outFolder + path;
  return true;
}

HRESULT C7zExtractImpl::OnItem(const wchar_t* path) {
  if (!BeginItem(path)) return E_FAIL;
  return OpenItemFile(itemPath) ? S_OK : E_FAIL;
}

HRESULT C7zExtractImpl::OnFolder(const wchar_t* path) {
  if (!BeginItem(path)) return E_FAIL;
  return EnsureFolder(itemPath) ? S_OK : E_FAIL;
}

HRESULT C7zExtractImpl::OnData(const void* bytes, UINT32 count, UINT32* processed) {
  UINT32 written = 0;
  bool ok = itemFile.valid() && WriteAll(itemFile.get(), static_cast<const BYTE*>(bytes), count, &written);
  // The library advances by what is reported here, so it is always set.
  if (processed) *processed = written;
  if (ok) return S_OK;
  writeFailed = true;
  return E_FAIL;
}

bool C7zExtractImpl::OpenItemFile(const std::wstring& path) {
  if (CreateItemFile(path)) return true;
  DWORD attributes = GetFileAttributesW(path.c_str());
  // Nothing there to replace; and an extracted folder is never moved aside.
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;

  // A file in use: a loaded program can still be moved away, so move it to a
  // temporary name that goes at the next restart.
  std::wstring folder = path;
  PathRemoveFileSpecW(&folder[0]);
  folder.resize(wcslen(folder.c_str()));
  wchar_t tempName[261] = {};
  std::wstring moved;
  if (GetTempFileNameW(folder.c_str(), L"", 0, tempName)) {
    DeleteFileW(tempName);
    moved = tempName;
  } else {
    moved = path + L".tmp";
  }
  if (_wrename(path.c_str(), moved.c_str()) == 0) {
    MoveFileExW(moved.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (CreateItemFile(path)) return true;
  }

  // Neither writable nor movable: write beside it and swap at the restart.
  std::wstring alternate = path + L"0";
  if (!CreateItemFile(alternate)) return false;
  MoveFileExW(alternate.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  return true;
}

bool C7zExtractImpl::CreateItemFile(const std::wstring& path) {
  EnsureFolder(ParentFolder(path));
  itemFile.reset(CreateFileW(path.c_str(), GENERIC_ALL, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  return itemFile.valid();
}

bool C7zExtractImpl::EnsureFolder(const std::wstring& folder) {
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
    if (!DeleteFileW(folder.c_str())) return false;
  }
  if (CreateFolder(folder)) return true;
  std::wstring parent = ParentFolder(folder);
  if (parent.empty() || !EnsureFolder(parent)) return false;
  return CreateFolder(folder);
}
