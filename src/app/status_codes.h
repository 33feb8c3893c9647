// Status codes sent to the parent application and the track states it reads.
#pragma once

#include <cstdint>

enum TrackState : int32_t {
  Idle = 0,
  Checking = 1,
  CheckFailed = 2,
  NoUpdate = 3,
  Downloading = 4,
  DownloadFailed = 5,
  Installing = 6,
  Installed = 7,
  InstallFailed = 8,
};

namespace status {
constexpr int32_t kEngineStateRequest = 1008;
constexpr int32_t kAppStateRequest = 1009;
constexpr int32_t kQuerying = 2003;
constexpr int32_t kCheckFailed = 2006;
constexpr int32_t kDownloading = 2009;
constexpr int32_t kDownloadEnded = 2010;
constexpr int32_t kNoEngineUpdate = 2011;
constexpr int32_t kNoAppUpdate = 2012;
constexpr int32_t kInstallStarts = 2015;
constexpr int32_t kInstallEnded = 2016;
constexpr int32_t kDiscarded = 2017;
constexpr int32_t kFullInstallerReady = 2018;
constexpr int32_t kRelaunching = 2019;
}  // namespace status

// Result codes that cross subsystems.
namespace result {
constexpr int kSuccess = 0;
constexpr int kPipeCreateFailed = 2;
constexpr int kQueryFailed = 3;
constexpr int kUpdateInfoUnusable = 4;
constexpr int kDownloadFailed = 6;
constexpr int kPackageMissing = 7;
constexpr int kInstallDirMissing = 9;
constexpr int kInstallerFailed = 11;
constexpr int kBadParent = 12;
constexpr int kPackageUnreadable = 13;
constexpr int kRelaunchNeeded = 21;
}  // namespace result
