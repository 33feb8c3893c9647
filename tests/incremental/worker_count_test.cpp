#include "incremental/worker_count.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "log_lines.h"

namespace {

const uint64_t kSecond = 10000000;  // in 100 ns units

// Answers a fixed processor count and two samples; records the pauses.
class FakeClock : public IProcessorClock {
 public:
  FakeClock(unsigned processors, uint64_t idleGrowth, uint64_t timeGrowth)
      : processors(processors), idleGrowth(idleGrowth), timeGrowth(timeGrowth) {}
  unsigned ProcessorCount() override { return processors; }
  bool ReadTimes(uint64_t& idle, uint64_t& timeOfDay) override {
    if (reads == failingRead) return false;
    idle = 5 * kSecond + (reads > 0 ? idleGrowth : 0);
    timeOfDay = 130000000000000000ull + (reads > 0 ? timeGrowth : 0);
    ++reads;
    return true;
  }
  void Pause(unsigned milliseconds) override { pauses.push_back(milliseconds); }

  unsigned processors;
  uint64_t idleGrowth, timeGrowth;
  int failingRead = -1;
  int reads = 0;
  std::vector<unsigned> pauses;
};

TEST(WorkerCountTest, ScalesTheProcessorsBeyondTheFirstByTheIdleShare) {
  struct Case {
    unsigned processors;
    uint64_t idleGrowth;
    int threads;
    const char* message;
  } cases[] = {
      {4, 6 * kSecond, 2, "cpu idle ration: 75%, suitable thread: 2"},
      {2, 4 * kSecond, 1, "cpu idle ration: 100%, suitable thread: 1"},
      {2, 0, 0, "cpu idle ration: 0%, suitable thread: 0"},
      {2, 3 * kSecond, 0, "cpu idle ration: 75%, suitable thread: 0"},
      {8, 8 * kSecond, 3, "cpu idle ration: 50%, suitable thread: 3"},
      // An otherwise idle machine reads a few points short of 100 %.
      {4, 8 * kSecond - 1, 3, "cpu idle ration: 99%, suitable thread: 3"},
      {2, 3800 * kSecond / 1000, 1, "cpu idle ration: 95%, suitable thread: 1"},
      {2, 3780 * kSecond / 1000, 0, "cpu idle ration: 94%, suitable thread: 0"},
      {4, 5 * kSecond, 2, "cpu idle ration: 62%, suitable thread: 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    LogLines log;
    FakeClock clock(c.processors, c.idleGrowth, 2 * kSecond);
    EXPECT_EQ(SuitableWorkerCount(clock), c.threads);
    EXPECT_EQ(clock.pauses, std::vector<unsigned>{2000});
    EXPECT_EQ(log.Messages(), Messages{c.message});
  }
}

TEST(WorkerCountTest, OneProcessorOrUnreadableTimesMeanNoExtraWorkers) {
  struct Case {
    const char* name;
    unsigned processors;
    int failingRead;
    uint64_t timeGrowth;
    size_t pauses;
  } cases[] = {
      {"one processor: no sample at all", 1, -1, 2 * kSecond, 0},
      {"first sample fails", 4, 0, 2 * kSecond, 0},
      {"second sample fails", 4, 1, 2 * kSecond, 1},
      {"time of day stood still", 4, -1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogLines log;
    FakeClock clock(c.processors, 6 * kSecond, c.timeGrowth);
    clock.failingRead = c.failingRead;
    EXPECT_EQ(SuitableWorkerCount(clock), 0);
    EXPECT_EQ(clock.pauses.size(), c.pauses);
    EXPECT_EQ(log.Messages(), Messages{});
  }
}

TEST(WorkerCountTest, MeasuresTheRealMachine) {
  LogLines log;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  DWORD start = GetTickCount();
  int threads = SuitableWorkerCount();
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(threads, 0);
  EXPECT_LE(threads, static_cast<int>(info.dwNumberOfProcessors) - 1);
  if (info.dwNumberOfProcessors > 1) {
    EXPECT_GE(elapsed, 1900u);
    Messages messages = log.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("cpu idle ration: ", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find("%, suitable thread: " + std::to_string(threads)),
              std::string::npos)
        << messages[0];
  }
}

}  // namespace
