// Downloads one package the way the update run does (CDownloader::Download
// with its 10 ms pump wait) and prints how long the transfer took and how
// much processor time the waiting thread spent meanwhile.
// Usage: download_probe URL MD5   (ZEMORA_WORK_DIR names the work folder)
#include <windows.h>

#include <cstdio>

#include "app/run_context.h"
#include "update/downloader.h"

namespace {

class QuietRun : public IRunContext {
 public:
  std::wstring GetOption(const std::wstring&) const override { return {}; }
  std::wstring UpdatePath() const override { return {}; }
  bool UpdateInfoGiven() const override { return false; }
  void Notify(int32_t, int32_t) override {}
};

double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Notes the moment the end message reaches the waiting thread, before the
// MD5 check that follows it.
class ProbeDownloader : public CDownloader {
 public:
  using CDownloader::CDownloader;
  void OnPumpMessage(const PumpMessage* message) override {
    if (message->code != ePumpMsg_Progress) {
      endTime = Now();
      endCpu = ThreadCpuSeconds();
    }
    CDownloader::OnPumpMessage(message);
  }
  double endTime = 0;
  double endCpu = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  QuietRun run;
  ProbeDownloader agent(run);
  agent.useFullPackage = 1;
  agent.appFull = {argv[1], argv[2]};
  double startTime = Now();
  double startCpu = ThreadCpuSeconds();
  int32_t verified = agent.Download();
  std::printf("verified=%d download_seconds=%.3f wait_cpu_seconds=%.3f\n", verified,
              agent.endTime - startTime, agent.endCpu - startCpu);
  return verified == 1 ? 0 : 1;
}
