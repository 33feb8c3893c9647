// What the 7-Zip adapters hand to the extractor while the library unpacks.
#pragma once

#include <windows.h>

class I7zExtractCallBack {
 public:
  // The next item is a file at `path` (relative to the destination): opens its
  // output file. 0 when it is open, E_FAIL otherwise.
  virtual HRESULT OnItem(const wchar_t* path) = 0;
  // The next `count` bytes of the current item; `processed` (may be null)
  // receives how many were written. 0 when all were written, E_FAIL otherwise.
  virtual HRESULT OnData(const void* bytes, UINT32 count, UINT32* processed) = 0;
  // The next item is a folder at `path`: makes sure it exists. 0 or E_FAIL.
  virtual HRESULT OnFolder(const wchar_t* path) = 0;

 protected:
  ~I7zExtractCallBack() = default;
};
