#include "archive/seven_zip_adapters.h"

#include <string.h>

#include <new>

#include "Windows/PropVariant.h"
#include "log/log.h"

CKSInStream::CKSInStream(const void* data, UINT32 size)
    : data(static_cast<const Byte*>(data)), size(size) {}

Z7_COM7F_IMF(CKSInStream::Read(void* buffer, UInt32 requested, UInt32* processed)) {
  if (processed) *processed = 0;
  // At or past the end is an error, not an empty read.
  if (position < 0 || position >= size) return E_FAIL;
  UInt32 count = requested;
  if (static_cast<Int64>(count) > size - position) count = static_cast<UInt32>(size - position);
  memcpy(buffer, data + position, count);
  if (processed) *processed = count;
  position += count;
  return S_OK;
}

Z7_COM7F_IMF(CKSInStream::Seek(Int64 offset, UInt32 origin, UInt64* newPosition)) {
  Int64 target;
  switch (origin) {
    case STREAM_SEEK_SET: target = offset; break;
    case STREAM_SEEK_CUR: target = position + offset; break;
    case STREAM_SEEK_END: target = size + offset; break;
    default: return STG_E_INVALIDFUNCTION;
  }
  if (newPosition) *newPosition = static_cast<UInt64>(target);
  position = target;
  return S_OK;
}

CKSExtractCallback::CKSExtractCallback(I7zExtractCallBack* target, IInArchive* archive)
    : target(target), archive(archive) {}

HRESULT CKSExtractCallback::Fail(HRESULT status) {
  if (itemFailure == S_OK) itemFailure = status;
  return status;
}

Z7_COM7F_IMF(CKSExtractCallback::SetTotal(UInt64)) { return S_OK; }

Z7_COM7F_IMF(CKSExtractCallback::SetCompleted(const UInt64*)) { return S_OK; }

Z7_COM7F_IMF(CKSExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream,
                                           Int32 askExtractMode)) {
  *outStream = nullptr;
  itemIndex = index;
  // Items the library will not write (damaged ones it only tests) get no file.
  if (askExtractMode != NArchive::NExtract::NAskMode::kExtract) return S_OK;

  NWindows::NCOM::CPropVariant path;
  NWindows::NCOM::CPropVariant isFolder;
  if (archive->GetProperty(index, kpidPath, &path) != S_OK || path.vt != VT_BSTR) {
    // Never let its bytes run on into the previous item's file.
    Log(Error, "archive item %u has no path", static_cast<unsigned>(index));
    return Fail(E_FAIL);
  }
  archive->GetProperty(index, kpidIsDir, &isFolder);
  if (target) {
    bool folder = isFolder.vt == VT_BOOL && isFolder.boolVal != VARIANT_FALSE;
    HRESULT status = folder ? target->OnFolder(path.bstrVal) : target->OnItem(path.bstrVal);
    if (status != S_OK) return Fail(status);
    if (folder) return S_OK;
  }
  ISequentialOutStream* stream = new (std::nothrow) CKSOutStream(target);
  if (!stream) return Fail(E_OUTOFMEMORY);
  stream->AddRef();
  *outStream = stream;
  return S_OK;
}

Z7_COM7F_IMF(CKSExtractCallback::PrepareOperation(Int32)) { return S_OK; }

Z7_COM7F_IMF(CKSExtractCallback::SetOperationResult(Int32 result)) {
  if (result == NArchive::NExtract::NOperationResult::kOK) return S_OK;
  Log(Error, "archive item %u is damaged or uses an unsupported method (result %d)",
      static_cast<unsigned>(itemIndex), static_cast<int>(result));
  return Fail(E_FAIL);
}

Z7_COM7F_IMF(CKSOutStream::Write(const void* bytes, UInt32 count, UInt32* processed)) {
  if (!target) {
    if (processed) *processed = count;
    return S_OK;
  }
  return target->OnData(bytes, count, processed);
}
