// How statusmon tells from the packets whether the run succeeded.
#include <gtest/gtest.h>

#include <vector>

#include "monitor.h"

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
      {{P(2010, 1), P(2018, 200), P(2011)}, kExitFailure},
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

}  // namespace
