#include "archive/extract_impl.h"

#include <memory>
#include <new>

#include "archive/seven_zip_adapters.h"
#include "archive/seven_zip_handler.h"

namespace {

// How far into the block the 7z signature is looked for.
const UInt64 kMaxSignatureOffset = 1 << 22;

// Opens `archive` on the block and extracts every item through `target`.
HRESULT ExtractAll(IInArchive* archive, const void* data, UINT32 size, I7zExtractCallBack* target) {
  CKSInStream* streamSpec = new (std::nothrow) CKSInStream(data, size);
  if (!streamSpec) return E_OUTOFMEMORY;
  CMyComPtr<IInStream> stream = streamSpec;
  HRESULT status = archive->Open(stream, &kMaxSignatureOffset, nullptr);
  if (status != S_OK) return status;
  UInt32 count = 0;
  status = archive->GetNumberOfItems(&count);
  if (status != S_OK) return status;

  std::unique_ptr<UInt32[]> indices(new (std::nothrow) UInt32[count ? count : 1]);
  CKSExtractCallback* callbackSpec = new (std::nothrow) CKSExtractCallback(target, archive);
  CMyComPtr<IArchiveExtractCallback> callback = callbackSpec;
  if (!indices || !callbackSpec) return E_OUTOFMEMORY;
  for (UInt32 i = 0; i < count; ++i) indices[i] = i;
  status = archive->Extract(indices.get(), count, 0, callback);
  // The library answers success for a damaged item too; its result tells.
  return status == S_OK ? callbackSpec->ItemFailure() : status;
}

}  // namespace

I7zExtract* Create7zExtractor() { return new (std::nothrow) C7zExtractImpl; }

HRESULT C7zExtractImpl::Release() {
  delete this;
  return 0;
}

HRESULT C7zExtractImpl::ExtractToFolder(const void* data, UINT32 size, const wchar_t* folder) {
  CMyComPtr<IInArchive> archive;
  archive.Attach(CreateSevenZipArchive());
  outFolder = folder ? folder : L"";
  if (!outFolder.empty() && outFolder.back() != L'\\' && outFolder.back() != L'/') outFolder += L'\\';
  writeFailed = false;

  HRESULT status = archive ? ExtractAll(archive, data, size, this) : E_FAIL;
  if (status == S_OK && writeFailed) status = E_FAIL;
  itemFile.reset();
  return status;
}
