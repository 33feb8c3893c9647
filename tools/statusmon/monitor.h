// The monitoring loop: connect, print every packet, poll the states, and
// tell from the packets how the run went.
#pragma once

#include "monitor_output.h"
#include "options.h"
#include "protocol_client.h"

enum MonitorExit {
  kExitSuccess = 0,
  kExitFailure = 1,
  kExitNothingSeen = 2,
  kExitNoServer = 3,
  kExitBadOptions = 4,
};

// How the run went, from the status packets seen so far.
class RunVerdict {
 public:
  void See(const StatusPacket& packet);
  MonitorExit Exit() const;
  const char* Outcome() const;
  // The last status packet was 2019: a new updater is about to serve the pipe.
  bool RelaunchAnnounced() const { return relaunchAnnounced; }

 private:
  bool statusSeen = false;
  bool succeeded = false;
  bool relaunchAnnounced = false;
};

// Runs until the pipe closes (and, with --follow, no new updater comes);
// returns the exit code.
int RunMonitor(const MonitorOptions& options, MonitorOutput& output);
