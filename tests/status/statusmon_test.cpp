// statusmon's loop: how it tells from the packets whether the run
// succeeded, and how it follows a relaunched updater.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "monitor.h"
#include "status_fixture.h"

namespace {

StatusPacket P(int32_t code, int32_t parameter = 0) {
  StatusPacket p;
  p.code = code;
  p.parameter = parameter;
  p.size = 9;
  p.hasParameter = true;
  return p;
}

TEST(RunVerdictTest, ExitCodeFollowsTheDecisivePackets) {
  struct Case {
    std::vector<StatusPacket> packets;
    MonitorExit exit;
  } cases[] = {
      {{}, kExitNothingSeen},
      {{P(1008, 1), P(1009, 1)}, kExitNothingSeen},
      {{P(2003), P(2011), P(2012)}, kExitSuccess},
      {{P(2003), P(2006, 0)}, kExitFailure},
      {{P(2009, 0), P(2010, 0)}, kExitFailure},
      {{P(2010, 1), P(2015, 0), P(2016, 1), P(2011)}, kExitSuccess},
      {{P(2010, 1), P(2015, 0), P(2016, 0), P(2011)}, kExitFailure},
      // After 2018 the installer is ours to run; a failed copy of it says 2016 with 0.
      {{P(2010, 1), P(2018, 200), P(2011)}, kExitSuccess},
      {{P(2010, 1), P(2018, 200), P(2016, 0), P(2011)}, kExitFailure},
      // A relaunched updater has the last word.
      {{P(2010, 1), P(2015, 0), P(2011), P(2019), P(2015, 0), P(2016, 1)}, kExitSuccess},
      {{P(2016, 1), P(2016, 0)}, kExitFailure},
  };
  for (const auto& c : cases) {
    RunVerdict verdict;
    for (const auto& p : c.packets) verdict.See(p);
    EXPECT_EQ(verdict.Exit(), c.exit) << c.packets.size() << " packets";
  }
  RunVerdict relaunch;
  relaunch.See(P(2019));
  EXPECT_TRUE(relaunch.RelaunchAnnounced());
  relaunch.See(P(1008, 6));
  EXPECT_TRUE(relaunch.RelaunchAnnounced()) << "replies do not count";
}

// Sends `code` once a client is connected (a send fails until then).
void SendWhenConnected(StatusChannel& channel, int32_t code) {
  for (int i = 0; i < 500 && !channel.SendStatus(2003); ++i) Sleep(10);
  EXPECT_TRUE(channel.SendStatus(code));
}

TEST(RunMonitorTest, FollowsTheNewUpdaterAfter2019) {
  TempFolder temp;
  FakeStatusHost host;
  host.pipeName = L"\\\\.\\pipe\\zemora-follow-" + std::to_wstring(GetCurrentProcessId());
  MonitorOptions options;
  options.pipe = host.pipeName;
  options.waitMs = 10000;
  options.follow = true;
  int exitCode = -1;
  std::thread monitor([&] {
    MonitorOutput output;
    output.OpenTranscript(temp / L"t.jsonl");
    exitCode = RunMonitor(options, output);
  });
  {
    StatusChannel first(host);
    first.StartThread();
    SendWhenConnected(first, 2019);
  }
  {
    StatusChannel second(host);
    second.StartThread();
    SendWhenConnected(second, 2012);
  }
  monitor.join();
  EXPECT_EQ(exitCode, kExitSuccess);
  std::string transcript = ReadFileBytes(temp / L"t.jsonl");
  size_t first = transcript.find("\"event\":\"connected\"");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(transcript.find("\"event\":\"connected\"", first + 1), std::string::npos);
  EXPECT_NE(transcript.find("\"code\":2012"), std::string::npos);
}

}  // namespace
