#include "shared/global_api.h"

// Transport not yet part of this build: every download ends as failed.
struct OstrelDownloader::State {
  std::wstring url;
  std::wstring file;
};

OstrelDownloader::OstrelDownloader(bool) : state(new State) {}
OstrelDownloader::~OstrelDownloader() { delete state; }

void OstrelDownloader::SetDownloadInfo(const std::wstring& url, const std::wstring& file,
                                       eDownloadDataType) {
  state->url = url;
  state->file = file;
}

int OstrelDownloader::Start(int, int, int) {
  Post(PumpMessage{10, 0, 0});
  return 0;
}

void OstrelDownloader::Cancel() {}
