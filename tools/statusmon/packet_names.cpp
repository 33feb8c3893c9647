#include "packet_names.h"

#include <cstdio>

#include "app/status_codes.h"

const char* TrackStateName(int32_t state) {
  static const char* const names[] = {"Idle",           "Checking",   "CheckFailed",
                                      "NoUpdate",       "Downloading", "DownloadFailed",
                                      "Installing",     "Installed",  "InstallFailed"};
  if (state < 0 || state > 8) return "Unknown";
  return names[state];
}

const char* CodeName(int32_t code) {
  switch (code) {
    case status::kEngineStateRequest: return "EngineState";
    case status::kAppStateRequest: return "AppState";
    case status::kQuerying: return "Querying";
    case status::kCheckFailed: return "CheckFailed";
    case status::kDownloading: return "Downloading";
    case status::kDownloadEnded: return "DownloadEnded";
    case status::kNoEngineUpdate: return "NoEngineUpdate";
    case status::kNoAppUpdate: return "NoAppUpdate";
    case status::kInstallStarts: return "InstallStarts";
    case status::kInstallEnded: return "InstallEnded";
    case status::kDiscarded: return "Discarded";
    case status::kFullInstallerReady: return "FullInstallerReady";
    case status::kRelaunching: return "Relaunching";
  }
  return "Unknown";
}

std::string PacketMeaning(const StatusPacket& packet) {
  char text[160];
  int32_t p = packet.parameter;
  switch (packet.code) {
    case status::kEngineStateRequest:
      std::snprintf(text, sizeof text, "engine state: %s", TrackStateName(p));
      break;
    case status::kAppStateRequest:
      std::snprintf(text, sizeof text, "application state: %s", TrackStateName(p));
      break;
    case status::kQuerying:
      return "querying the update service";
    case status::kCheckFailed:
      return "the update check failed";
    case status::kDownloading:
      std::snprintf(text, sizeof text, "downloading the application package: %d%%", p);
      break;
    case status::kDownloadEnded:
      return p == 1 ? "the application package was downloaded and verified"
                    : "the download of the application package failed";
    case status::kNoEngineUpdate:
      return "no engine update is offered";
    case status::kNoAppUpdate:
      return "no application update is offered";
    case status::kInstallStarts:
      return "the application install starts";
    case status::kInstallEnded:
      return p == 1 ? "the application was installed" : "the application install failed";
    case status::kDiscarded:
      return "the update info says this version is discarded";
    case status::kFullInstallerReady:
      std::snprintf(text, sizeof text,
                    "a full installer of version code %d is ready as ZemoraUpdate.exe "
                    "in the work folder",
                    p);
      break;
    case status::kRelaunching:
      return "the updater ends and starts its new copy";
    default:
      return "unknown code";
  }
  return text;
}
