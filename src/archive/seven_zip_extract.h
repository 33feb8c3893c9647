// Unpacking a 7z archive held in memory into a folder on disk. This header is
// all that users of the extractor need; it carries none of 7-Zip's headers.
#pragma once

#include <windows.h>

class I7zExtract {
 public:
  // Writes every item of the archive at `data` (`size` bytes, kept valid by
  // the caller until the call returns) below `folder` (null or empty: the
  // current folder). The 7z signature may start up to 4,194,304 bytes into the
  // block. Answers 0 when all items were written; 1 when the block is not a
  // 7z archive; E_FAIL or the library's code otherwise. Items written before a
  // failure stay on disk. A file in use at an item's path is replaced now or,
  // failing that, at the next restart.
  virtual HRESULT ExtractToFolder(const void* data, UINT32 size, const wchar_t* folder) = 0;
  // Destroys the extractor; answers 0.
  virtual HRESULT Release() = 0;

 protected:
  ~I7zExtract() = default;
};

// A new extractor for one extraction, or null when it can't be created.
I7zExtract* Create7zExtractor();
