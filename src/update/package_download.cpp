// Choosing, fetching and verifying the application package.
#include <windows.h>
#include <dbghelp.h>

#include <cstdint>

#include "app/status_codes.h"
#include "base/text.h"
#include "log/log.h"
#include "update/downloader.h"
#include "update/pump_wait.h"

namespace {

bool IsMd5Text(const std::wstring& text) {
  if (text.size() != 32) return false;
  for (wchar_t c : text) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) {
      return false;
    }
  }
  return true;
}

// A file whose MD5 cannot be computed (missing, unreadable, a folder) never
// matches, whatever the expected text says.
bool Md5Matches(const std::wstring& path, const std::wstring& expected) {
  std::wstring actual = CMD5Checksum::GetMD5(path);
  return IsMd5Text(actual) && zemora::EqualsIgnoreCase(actual, expected);
}

}  // namespace

int32_t CDownloader::Download() {
  const UpdateItem* item = &appFull;
  if (!useFullPackage) {
    if (MatchLocalChecksums()) {
      item = &appIncremental;
    } else {
      useFullPackage = 1;
    }
  }
  std::wstring folder = CFileOperation::MakeWorkPath(L"Update\\");
  MakeSureDirectoryPathExists(zemora::WideToThreadAnsi(folder).c_str());
  std::wstring target = folder + GetFileNameFromUrl(item->url);
  if (Md5Matches(target, item->md5)) {
    appFile = target;
    return 1;
  }
  DeleteFileW(target.c_str());
  DeleteFileW((target + L".tdl").c_str());

  run.Notify(status::kDownloading, 0);
  downloader.AddObserver(this);
  downloader.SetDownloadInfo(item->url, target, eDownloadData_Package);
  downloader.Start(1, 0, 0);
  WaitPumpingMessages(doneEvent.get());

  if (!Md5Matches(target, item->md5)) return 0;
  appFile = target;
  return 1;
}

int32_t CDownloader::MatchLocalChecksums() {
  std::wstring base = run.UpdatePath();
  for (const ChecksumEntry& entry : checksums) {
    if (!Md5Matches(base + entry.path, entry.checksum)) {
      Log(Error, "md5 of file %S not match", entry.path.c_str());
      return 0;
    }
  }
  return 1;
}

void CDownloader::OnPumpMessage(const PumpMessage* message) {
  if (!message) return;
  switch (message->code) {
    case ePumpMsg_Progress:
      if (message->total != 0) {
        uint64_t percent = static_cast<uint64_t>(message->done) * 100 / message->total;
        // A downloader counting past its total must not report more than all.
        run.Notify(status::kDownloading, static_cast<int32_t>(percent > 100 ? 100 : percent));
      }
      break;
    case ePumpMsg_Done:
    case ePumpMsg_Failed:
    case ePumpMsg_Cancelled:
      SetEvent(doneEvent.get());
      break;
    default:
      break;
  }
}

std::wstring CDownloader::GetFileNameFromUrl(const std::wstring& url) {
  std::wstring name = url;
  size_t query = name.find(L'?');
  if (query != std::wstring::npos) name.erase(query);
  // Windows also splits paths at backslashes: a name holding one would
  // place the package outside the download folder.
  size_t slash = name.find_last_of(L"/\\");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  return name;
}
