#include "monitor.h"

#include "app/status_codes.h"

void RunVerdict::See(const StatusPacket& packet) {
  int32_t code = packet.code;
  // Replies to our own requests say nothing about the run's end.
  if (code == status::kEngineStateRequest || code == status::kAppStateRequest) return;
  statusSeen = true;
  relaunchAnnounced = code == status::kRelaunching;
  // 2018 hands the installer to us: the updater's part ended well.
  bool success = code == status::kNoAppUpdate || code == status::kFullInstallerReady ||
                 (code == status::kInstallEnded && packet.parameter == 1);
  bool failure = code == status::kCheckFailed ||
                 (code == status::kDownloadEnded && packet.parameter != 1) ||
                 (code == status::kInstallEnded && packet.parameter != 1);
  // The last word counts: a relaunched updater may fail what its first copy began.
  if (success) succeeded = true;
  if (failure) succeeded = false;
}

MonitorExit RunVerdict::Exit() const {
  if (succeeded) return kExitSuccess;
  return statusSeen ? kExitFailure : kExitNothingSeen;
}

const char* RunVerdict::Outcome() const {
  switch (Exit()) {
    case kExitSuccess: return "success";
    case kExitFailure: return "failure";
    default: return "nothing seen";
  }
}

namespace {

bool ConnectAndReport(StatusPipeClient& client, const MonitorOptions& options,
                      MonitorOutput& output) {
  std::wstring name = FullPipeName(options.pipe);
  DWORD error = 0;
  if (client.Connect(name, options.waitMs, &error) != ConnectResult::Connected) {
    output.NoServer(name, error);
    return false;
  }
  output.Connected(name);
  return true;
}

}  // namespace

int RunMonitor(const MonitorOptions& options, MonitorOutput& output) {
  StatusPipeClient client;
  if (!ConnectAndReport(client, options, output)) {
    output.End("no server", kExitNoServer);
    return kExitNoServer;
  }
  RunVerdict verdict;
  ULONGLONG nextPoll = GetTickCount64();
  for (;;) {
    DWORD timeout = INFINITE;
    if (options.pollMs > 0) {
      ULONGLONG now = GetTickCount64();
      timeout = now >= nextPoll ? 0 : static_cast<DWORD>(nextPoll - now);
    }
    StatusPacket packet;
    ReadResult read = client.ReadPacket(&packet, timeout);
    if (read == ReadResult::Packet) {
      verdict.See(packet);
      output.Packet(packet);
      continue;
    }
    if (read == ReadResult::Timeout) {
      client.SendRequest(status::kEngineStateRequest);
      client.SendRequest(status::kAppStateRequest);
      nextPoll = GetTickCount64() + options.pollMs;
      continue;
    }
    if (read == ReadResult::BadPacket) {
      output.BadPacket();
      break;
    }
    output.Closed();
    if (!options.follow || !verdict.RelaunchAnnounced()) break;
    if (!ConnectAndReport(client, options, output)) break;
    nextPoll = GetTickCount64();
  }
  MonitorExit exit = verdict.Exit();
  output.End(verdict.Outcome(), exit);
  return exit;
}
