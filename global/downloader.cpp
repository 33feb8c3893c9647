#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/handles.h"
#include "shared/global_api.h"
#include "winhttp_request.h"

namespace {

const DWORD kDefaultStallSeconds = 60;
// Larger reads gain nothing: WinHTTP refills its own small buffer anyway.
const DWORD kPieceSize = 64 * 1024;
const DWORD kProgressIntervalMs = 250;

// How long a transfer may go without a byte before it fails. Tests shorten
// it through ZEMORA_DOWNLOAD_STALL_SECONDS.
DWORD StallLimitMs() {
  wchar_t text[16];
  DWORD n = GetEnvironmentVariableW(L"ZEMORA_DOWNLOAD_STALL_SECONDS", text, 16);
  if (n == 0 || n >= 16) return kDefaultStallSeconds * 1000;
  DWORD seconds = 0;
  for (DWORD i = 0; i < n; ++i) {
    if (text[i] < L'0' || text[i] > L'9' || seconds > 100000) return kDefaultStallSeconds * 1000;
    seconds = seconds * 10 + (text[i] - L'0');
  }
  return seconds == 0 ? kDefaultStallSeconds * 1000 : seconds * 1000;
}

// Progress amounts are 32-bit: a larger download is counted in coarser units.
struct ProgressScale {
  explicit ProgressScale(long long total) {
    while (total > 0 && (static_cast<unsigned long long>(total) >> shift) > 0xffffffffULL) ++shift;
  }
  uint32_t Units(long long bytes) const {
    return static_cast<uint32_t>(static_cast<unsigned long long>(bytes) >> shift);
  }
  int shift = 0;
};

}  // namespace

struct OstrelDownloader::State {
  bool ownThread = true;
  std::wstring url;
  std::wstring file;
  zemora::UniqueHandle thread;
  volatile LONG cancelled = 0;
};

namespace {

struct Transfer {
  OstrelDownloader* pump;
  std::wstring url;
  std::wstring file;
  volatile LONG* cancelled;
};

bool IsCancelled(const Transfer& t) { return InterlockedCompareExchange(t.cancelled, 0, 0) != 0; }

// Fetches the URL into FILE.tdl and renames it to FILE. Returns the end code.
int32_t RunTransfer(const Transfer& t) {
  if (t.file.empty()) return ePumpMsg_Failed;
  std::wstring partial = t.file + L".tdl";
  HttpGetOptions options;
  options.timeoutMs = StallLimitMs();
  HttpGetRequest request;
  if (request.Open(t.url, options, nullptr) != kHttpOk) return ePumpMsg_Failed;
  DWORD status = request.Status();
  if (status != 200) return ePumpMsg_Failed;
  if (IsCancelled(t)) return ePumpMsg_Cancelled;

  long long total = request.ContentLength();
  ProgressScale scale(total);
  zemora::UniqueFile out(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out) return ePumpMsg_Failed;

  std::vector<char> piece(kPieceSize);
  long long done = 0;
  DWORD lastPost = GetTickCount();
  uint32_t lastPercent = 0;
  t.pump->Post(PumpMessage{ePumpMsg_Progress, total > 0 ? scale.Units(total) : 0, 0});
  int32_t end = ePumpMsg_Done;
  for (;;) {
    DWORD read = 0;
    if (!request.Read(piece.data(), kPieceSize, &read)) {
      end = IsCancelled(t) ? ePumpMsg_Cancelled : ePumpMsg_Failed;
      break;
    }
    if (IsCancelled(t)) {
      end = ePumpMsg_Cancelled;
      break;
    }
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(out.get(), piece.data(), read, &written, nullptr) || written != read) {
      end = ePumpMsg_Failed;
      break;
    }
    done += read;
    if (total >= 0 && done > total) {
      end = ePumpMsg_Failed;  // more bytes than the server announced
      break;
    }
    // Post when the whole percentage moves or a while has passed, not for
    // every piece.
    uint32_t percent = total > 0 ? static_cast<uint32_t>(done * 100 / total) : 0;
    DWORD now = GetTickCount();
    if (percent != lastPercent || now - lastPost >= kProgressIntervalMs) {
      t.pump->Post(PumpMessage{ePumpMsg_Progress, total > 0 ? scale.Units(total) : 0,
                               scale.Units(done)});
      lastPercent = percent;
      lastPost = now;
    }
  }
  if (end == ePumpMsg_Done && total >= 0 && done != total) end = ePumpMsg_Failed;  // cut short
  out.reset();
  if (end == ePumpMsg_Done && !MoveFileExW(partial.c_str(), t.file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    end = ePumpMsg_Failed;
  }
  if (end != ePumpMsg_Done) DeleteFileW(partial.c_str());
  return end;
}

struct ThreadStart {
  Transfer transfer;
};

DWORD WINAPI TransferThread(void* parameter) {
  ThreadStart* start = static_cast<ThreadStart*>(parameter);
  int32_t end = RunTransfer(start->transfer);
  OstrelDownloader* pump = start->transfer.pump;
  delete start;
  pump->Post(PumpMessage{end, 0, 0});
  return 0;
}

}  // namespace

OstrelDownloader::OstrelDownloader(bool ownThread) : state(new State) {
  state->ownThread = ownThread;
}

OstrelDownloader::~OstrelDownloader() {
  Cancel();
  if (state->thread) WaitForSingleObject(state->thread.get(), INFINITE);
  delete state;
}

void OstrelDownloader::SetDownloadInfo(const std::wstring& url, const std::wstring& file,
                                       eDownloadDataType) {
  state->url = url;
  state->file = file;
}

int OstrelDownloader::Start(int, int, int) {
  // Every start ends in exactly one end message, also one that is refused.
  if (state->thread) {
    if (WaitForSingleObject(state->thread.get(), 0) == WAIT_TIMEOUT) {
      Post(PumpMessage{ePumpMsg_Failed, 0, 0});
      return -1;
    }
    state->thread.reset();
  }
  InterlockedExchange(&state->cancelled, 0);
  Transfer transfer{this, state->url, state->file, &state->cancelled};
  if (!state->ownThread) {
    Post(PumpMessage{RunTransfer(transfer), 0, 0});
    return 0;
  }
  ThreadStart* start = new ThreadStart{transfer};
  state->thread.reset(CreateThread(nullptr, 0, TransferThread, start, 0, nullptr));
  if (!state->thread) {
    delete start;
    Post(PumpMessage{ePumpMsg_Failed, 0, 0});
    return -1;
  }
  return 0;
}

void OstrelDownloader::Cancel() { InterlockedExchange(&state->cancelled, 1); }
