// The statistics report's URL.
#include <gtest/gtest.h>

#include "app/failure_report.h"

namespace {

TEST(FailureReportTest, UrlCarriesCodeVersionChannelAndMac) {
  struct {
    int resultCode;
    const wchar_t* channel;
    const wchar_t* expected;
  } cases[] = {
      {0, L"abc",
       L"http://s:8/v2/stat/installer/fail/3000?versionCode=186&versionName=general"
       L"&channel=abc&macAddress=00-11-22-AA-BB-CC"},
      {6, L"",
       L"http://s:8/v2/stat/installer/fail/3006?versionCode=186&versionName=general"
       L"&channel=&macAddress=00-11-22-AA-BB-CC"},
      {4, L"a b&c",  // nothing is escaped
       L"http://s:8/v2/stat/installer/fail/3004?versionCode=186&versionName=general"
       L"&channel=a b&c&macAddress=00-11-22-AA-BB-CC"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildFailureReportUrl(L"http://s:8", c.resultCode, c.channel, L"00-11-22-AA-BB-CC"),
              c.expected);
  }
}

}  // namespace
