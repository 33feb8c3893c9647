// The objects that 7-Zip's archive reader calls back during an extraction:
// the archive's bytes in memory, the per-item callback and each item's output.
// Reference counted in the library's manner (count starts at 0).
#pragma once

#include "Common/MyCom.h"
#include "7zip/Archive/IArchive.h"
#include "7zip/IStream.h"

#include "archive/i7z_extract_callback.h"

// Reads the caller's memory block in place.
class CKSInStream final : public IInStream, public CMyUnknownImp {
  Z7_COM_UNKNOWN_IMP_1(IInStream)
  Z7_IFACE_COM7_IMP(ISequentialInStream)
  Z7_IFACE_COM7_IMP(IInStream)

 public:
  CKSInStream(const void* data, UINT32 size);

 private:
  const Byte* data;
  // 64 bits, so that no seek outside the block can wrap back into it.
  Int64 position = 0;
  Int64 size;
};

// Names each item's output for the library and hands its bytes to `target`.
class CKSExtractCallback final : public IArchiveExtractCallback, public CMyUnknownImp {
  Z7_COM_UNKNOWN_IMP_1(IArchiveExtractCallback)
  Z7_IFACE_COM7_IMP(IProgress)
  Z7_IFACE_COM7_IMP(IArchiveExtractCallback)

 public:
  CKSExtractCallback(I7zExtractCallBack* target, IInArchive* archive);
  // The first failure of an item (its output, or its result as the library
  // reported it), or 0.
  HRESULT ItemFailure() const { return itemFailure; }

 private:
  HRESULT Fail(HRESULT status);

  I7zExtractCallBack* target;  // not owned
  IInArchive* archive;         // not owned
  UInt32 itemIndex = 0;        // the item of the last GetStream
  HRESULT itemFailure = S_OK;
};

// Carries one item's bytes to `target` (which may be null: bytes dropped).
class CKSOutStream final : public ISequentialOutStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_1(ISequentialOutStream)

 public:
  explicit CKSOutStream(I7zExtractCallBack* target) : target(target) {}

 private:
  I7zExtractCallBack* target;  // not owned
};
