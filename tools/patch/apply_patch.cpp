#include "apply_patch.h"

#include <windows.h>

#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <memory>
#include <vector>

#include "base/handles.h"
#include "base/text.h"

using zemora::FormatWide;
using zemora::UniqueFile;
using zemora::UniqueHandle;
using zemora::UniqueMappedView;

namespace {

const size_t kOutputChunk = 4 << 20;

struct DCtxDeleter {
  void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

std::wstring SystemError(const wchar_t* what, const std::wstring& path) {
  return FormatWide(L"%s %s: error %lu", what, path.c_str(), GetLastError());
}

std::wstring ZstdError(size_t code) {
  return L"bad patch: " + zemora::Utf8ToWide(ZSTD_getErrorName(code));
}

// The old file, mapped read-only as one view; an empty file maps nothing.
struct OldFile {
  UniqueFile file;
  UniqueHandle mapping;
  UniqueMappedView view;
  size_t size = 0;

  bool Open(const std::wstring& path, std::wstring& error) {
    file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      error = SystemError(L"cannot open", path);
      return false;
    }
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file.get(), &length)) {
      error = SystemError(L"cannot size", path);
      return false;
    }
    if (static_cast<unsigned long long>(length.QuadPart) > SIZE_MAX / 2) {
      error = L"old file too large for this process: " + path;
      return false;
    }
    size = static_cast<size_t>(length.QuadPart);
    if (size == 0) return true;
    mapping.reset(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) {
      error = SystemError(L"cannot map", path);
      return false;
    }
    view.reset(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view.get()) {
      error = SystemError(L"cannot map a view of", path);
      return false;
    }
    return true;
  }

  void Close() {
    view.reset();
    mapping.reset();
    file.reset();
  }
};

bool WriteAll(HANDLE file, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, bytes, piece, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

// Decodes every frame of `patch` into `output`, writing whole chunks.
bool Decode(ZSTD_DCtx* context, HANDLE patch, HANDLE output, const std::wstring& patchPath,
            const std::wstring& tempPath, std::wstring& error) {
  std::vector<char> input(ZSTD_DStreamInSize());
  std::unique_ptr<char[]> chunk(new char[kOutputChunk]);
  ZSTD_outBuffer out = {chunk.get(), kOutputChunk, 0};
  size_t pending = 0;  // 0 between frames; otherwise a frame is unfinished
  bool sawInput = false;
  // One decoder call; a full chunk goes to the file.
  size_t produced = 0;  // bytes the last call decoded
  auto step = [&](ZSTD_inBuffer& in) {
    size_t start = out.pos;
    pending = ZSTD_decompressStream(context, &out, &in);
    if (ZSTD_isError(pending)) {
      error = ZstdError(pending);
      return false;
    }
    produced = out.pos - start;
    if (out.pos == out.size) {
      if (!WriteAll(output, out.dst, out.pos)) {
        error = SystemError(L"cannot write", tempPath);
        return false;
      }
      out.pos = 0;
    }
    return true;
  };
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(patch, input.data(), static_cast<DWORD>(input.size()), &read, nullptr)) {
      error = SystemError(L"cannot read", patchPath);
      return false;
    }
    if (read == 0) break;
    sawInput = true;
    ZSTD_inBuffer in = {input.data(), read, 0};
    while (in.pos < in.size) {
      if (!step(in)) return false;
    }
  }
  // The decoder may still hold output that did not fit the last chunk.
  while (pending != 0) {
    ZSTD_inBuffer none = {nullptr, 0, 0};
    if (!step(none)) return false;
    if (pending != 0 && produced == 0) break;  // wants input that never came
  }
  if (!sawInput) {
    error = L"bad patch: empty file " + patchPath;
    return false;
  }
  if (pending != 0) {
    error = L"bad patch: truncated " + patchPath;
    return false;
  }
  if (out.pos > 0 && !WriteAll(output, out.dst, out.pos)) {
    error = SystemError(L"cannot write", tempPath);
    return false;
  }
  return true;
}

}  // namespace

bool ApplyPatch(const std::wstring& oldPath, const std::wstring& patchPath,
                const std::wstring& newPath, std::wstring& error) {
  OldFile old;
  if (!old.Open(oldPath, error)) return false;
  UniqueFile patch(CreateFileW(patchPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!patch) {
    error = SystemError(L"cannot open", patchPath);
    return false;
  }

  std::unique_ptr<ZSTD_DCtx, DCtxDeleter> context(ZSTD_createDCtx());
  if (!context) {
    error = L"out of memory";
    return false;
  }
  // Patches use a window as large as the file; the decoder allocates only
  // what the frame asks for, up to the 32-bit maximum.
  size_t status = ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, ZSTD_WINDOWLOG_MAX);
  if (!ZSTD_isError(status)) {
    status = ZSTD_DCtx_loadDictionary_advanced(context.get(), old.view.get(), old.size,
                                               ZSTD_dlm_byRef, ZSTD_dct_rawContent);
  }
  if (ZSTD_isError(status)) {
    error = ZstdError(status);
    return false;
  }

  std::wstring tempPath = newPath + L".tmp";
  UniqueFile output(CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) {
    error = SystemError(L"cannot create", tempPath);
    return false;
  }
  bool ok = Decode(context.get(), patch.get(), output.get(), patchPath, tempPath, error);
  if (ok && !CloseHandle(output.release())) {
    error = SystemError(L"cannot close", tempPath);
    ok = false;
  }
  output.reset();
  context.reset();
  // Let go of the old file first: it may be the very file being replaced.
  old.Close();
  patch.reset();
  if (ok && !MoveFileExW(tempPath.c_str(), newPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = SystemError(L"cannot rename to", newPath);
    ok = false;
  }
  if (!ok) DeleteFileW(tempPath.c_str());
  return ok;
}
