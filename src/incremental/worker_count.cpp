#include "incremental/worker_count.h"

#include <windows.h>

#include "log/log.h"

namespace {

const unsigned kSampleMilliseconds = 2000;
// The updater's own run and the sampling's wake-up keep an otherwise idle
// machine a few points short of 100 %; without this allowance two
// processors would never give the one extra worker an idle machine deserves.
const double kOwnLoadAllowance = 5.0;

uint64_t ToCount(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class SystemClock : public IProcessorClock {
 public:
  unsigned ProcessorCount() override {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
  }
  bool ReadTimes(uint64_t& idle, uint64_t& timeOfDay) override {
    FILETIME idleTime, kernelTime, userTime, now;
    if (!GetSystemTimes(&idleTime, &kernelTime, &userTime)) return false;
    GetSystemTimeAsFileTime(&now);
    idle = ToCount(idleTime);
    timeOfDay = ToCount(now);
    return true;
  }
  void Pause(unsigned milliseconds) override { Sleep(milliseconds); }
};

}  // namespace

IProcessorClock& SystemProcessorClock() {
  static SystemClock clock;
  return clock;
}

int SuitableWorkerCount() { return SuitableWorkerCount(SystemProcessorClock()); }

int SuitableWorkerCount(IProcessorClock& clock) {
  unsigned processors = clock.ProcessorCount();
  if (processors <= 1) return 0;
  uint64_t idleBefore = 0, timeBefore = 0, idleAfter = 0, timeAfter = 0;
  if (!clock.ReadTimes(idleBefore, timeBefore)) return 0;
  clock.Pause(kSampleMilliseconds);
  if (!clock.ReadTimes(idleAfter, timeAfter)) return 0;
  // A clock set back during the pause, or counters that ran backwards, give
  // no usable share: fall back to the calling thread alone.
  if (timeAfter <= timeBefore || idleAfter < idleBefore) return 0;
  double idlePercent = static_cast<double>(idleAfter - idleBefore) /
                       static_cast<double>(timeAfter - timeBefore) * 100.0 / processors;
  if (idlePercent > 100.0) idlePercent = 100.0;
  double usable = idlePercent + kOwnLoadAllowance > 100.0 ? 100.0 : idlePercent + kOwnLoadAllowance;
  int threads = static_cast<int>((processors - 1) * usable / 100.0);
  Log(Error, "cpu idle ration: %d%%, suitable thread: %d", static_cast<int>(idlePercent), threads);
  return threads;
}
