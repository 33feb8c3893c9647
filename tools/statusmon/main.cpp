// statusmon: the reference client of the updater's status pipe, standing in
// for the main application in tests and demonstrations.
#include <cstdio>

#include "monitor.h"

int wmain(int argc, wchar_t** argv) {
  MonitorOptions options;
  std::wstring error;
  if (!ParseMonitorOptions(argc - 1, argv + 1, &options, &error)) {
    std::fprintf(stderr, "statusmon: %s\n\n%s", Utf8(error).c_str(), MonitorUsage());
    return kExitBadOptions;
  }
  if (options.help) {
    std::fputs(MonitorUsage(), stdout);
    return kExitSuccess;
  }
  MonitorOutput output;
  if (!options.transcript.empty() && !output.OpenTranscript(options.transcript)) {
    std::fprintf(stderr, "statusmon: cannot create %s\n", Utf8(options.transcript).c_str());
    return kExitBadOptions;
  }
  return RunMonitor(options, output);
}
