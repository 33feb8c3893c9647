#include "app/failure_report.h"

#include "base/text.h"

std::wstring BuildFailureReportUrl(const std::wstring& statService, int resultCode,
                                   const std::wstring& channel, const std::wstring& macAddress) {
  std::wstring endpoint = statService + L"/v2/stat/installer/fail";
  std::wstring url = zemora::FormatWide(L"%s/%d", endpoint.c_str(), resultCode + 3000);
  url += L"?versionCode=186&versionName=general";
  url += L"&channel=" + channel;
  url += L"&macAddress=" + macAddress;
  return url;
}
