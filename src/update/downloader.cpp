#include "update/downloader.h"

#include "app/status_codes.h"
#include "base/service_config.h"
#include "base/text.h"
#include "update/updater_version.h"

CDownloader::CDownloader(IRunContext& run)
    : downloader(true), doneEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)), run(run) {}

CDownloader::~CDownloader() { doneEvent.reset(); }

int CDownloader::CheckUpdate() {
  std::wstring updateInfoOption = run.GetOption(L"update_info");
  std::string text;
  if (!updateInfoOption.empty()) {
    text = ReadUpdateInfoFile(CFileOperation::MakeWorkPath(L"Update\\") + updateInfoOption);
  } else {
    std::wstring url = zemora::UpdateServiceBase() + L"/v2/update/ostrel?versionCode=" +
                       std::to_wstring(kUpdaterVersionCode) + L"&versionName=" +
                       zemora::Utf8ToWide(kUpdaterVersionName) + L"&channel=" +
                       run.GetOption(L"channel");
    run.Notify(status::kQuerying, 0);
    std::string body;
    if (ZemoraHttpUtils::Get(url, body, nullptr, nullptr, 3, nullptr) != 0) {
      run.Notify(status::kCheckFailed, 0);
      return result::kQueryFailed;
    }
    updateInfoText = body;
    text = body;
  }

  if (ParseUpdateInfo(text) == 0) {
    run.Notify(status::kCheckFailed, 0);
    return result::kUpdateInfoUnusable;
  }
  if (!appAvailable) return result::kSuccess;

  int32_t downloaded = Download();
  run.Notify(status::kDownloadEnded, downloaded);
  return downloaded == 1 ? result::kSuccess : result::kDownloadFailed;
}
