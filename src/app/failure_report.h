// The statistics report sent at the end of a run that dealt with an offered
// application update.
#pragma once

#include <string>

// SERVICE/v2/stat/installer/fail/CODE?versionCode=186&versionName=general
// &channel=CHANNEL&macAddress=MAC, with CODE = resultCode + 3000. Nothing is
// escaped.
std::wstring BuildFailureReportUrl(const std::wstring& statService, int resultCode,
                                   const std::wstring& channel, const std::wstring& macAddress);
