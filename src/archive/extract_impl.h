// The extractor: drives 7-Zip's 7z reader over a memory block and writes the
// items it hands out to disk, replacing files that are in use.
#pragma once

#include <string>

#include "archive/i7z_extract_callback.h"
#include "archive/seven_zip_extract.h"
#include "base/handles.h"

class C7zExtractImpl final : public I7zExtract, public I7zExtractCallBack {
 public:
  C7zExtractImpl() = default;
  C7zExtractImpl(const C7zExtractImpl&) = delete;
  C7zExtractImpl& operator=(const C7zExtractImpl&) = delete;

  HRESULT ExtractToFolder(const void* data, UINT32 size, const wchar_t* folder) override;
  HRESULT Release() override;

  HRESULT OnItem(const wchar_t* path) override;
  HRESULT OnData(const void* bytes, UINT32 count, UINT32* processed) override;
  HRESULT OnFolder(const wchar_t* path) override;

  // Opens `path` for writing into `itemFile`; a file in use there is moved
  // aside, or replaced at the next restart by `path` + "0". A folder standing
  // at `path` is never moved.
  bool OpenItemFile(const std::wstring& path);
  // Creates `path` (and its folders) afresh into `itemFile`.
  bool CreateItemFile(const std::wstring& path);
  // Makes sure `folder` exists, creating its parents and deleting a plain file
  // that stands in its place.
  static bool EnsureFolder(const std::wstring& folder);

 private:
  ~C7zExtractImpl() = default;
  // Closes the current item's file, then checks `path` and stores the full
  // path in `itemPath`; false (logged) for a path leading out of `outFolder`.
  bool BeginItem(const wchar_t* path);

  std::wstring outFolder;  // empty, or ends with "\" or "/"
  std::wstring itemPath;   // outFolder + the current item's path
  zemora::UniqueFile itemFile;
  bool writeFailed = false;  // a failed OnData, whatever the library answers
};
