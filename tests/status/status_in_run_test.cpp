// The real status channel inside a real update run: the states a client is
// told follow the run's packets.
#include <gtest/gtest.h>

#include "app/fakes.h"
#include "app/updater_app.h"
#include "protocol_client.h"
#include "status/status_channel.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

class RealChannelFactory : public FakeFactory {
 public:
  std::unique_ptr<IStatusChannel> MakeStatusChannel(IStatusHost& host) override {
    return std::make_unique<StatusChannel>(host);
  }
};

int32_t StateOf(StatusPipeClient& client, int32_t code) {
  StatusPacket reply;
  EXPECT_TRUE(client.SendRequest(code));
  EXPECT_EQ(client.ReadPacket(&reply, 5000), ReadResult::Packet);
  EXPECT_EQ(reply.code, code);
  return reply.parameter;
}

int32_t NextStatus(StatusPipeClient& client) {
  StatusPacket packet;
  EXPECT_EQ(client.ReadPacket(&packet, 5000), ReadResult::Packet);
  return packet.code;
}

TEST(StatusChannelInRunTest, StateRequestsFollowTheRun) {
  TempFolder work;
  ScopedEnvironment workDir(L"ZEMORA_WORK_DIR", work.path());
  std::wstring pipe = L"\\\\.\\pipe\\zemora-in-run-" + std::to_wstring(GetCurrentProcessId());
  StatusPipeClient client;
  RealChannelFactory factory;
  auto app = std::make_unique<UpdaterApp>(factory);
  std::wstring lp = L"--lp=" + pipe;
  const wchar_t* arguments[] = {L"--parent=1a2b", lp.c_str()};
  ASSERT_TRUE(CheckOptions(*app, 2, arguments));

  int32_t whileChecking[2] = {}, whileDownloading[2] = {};
  factory.check->script = [&](IRunContext& run) {
    ASSERT_EQ(client.Connect(pipe, 5000), ConnectResult::Connected);
    whileChecking[0] = StateOf(client, 1008);
    whileChecking[1] = StateOf(client, 1009);
    run.Notify(2009, 10);
    EXPECT_EQ(NextStatus(client), 2009);
    whileDownloading[0] = StateOf(client, 1008);
    whileDownloading[1] = StateOf(client, 1009);
  };
  EXPECT_EQ(app->Run(), 0);
  EXPECT_EQ(whileChecking[0], Checking);
  EXPECT_EQ(whileChecking[1], Checking);
  EXPECT_EQ(whileDownloading[0], Checking);
  EXPECT_EQ(whileDownloading[1], Downloading);

  // The run is over but the channel still serves until the teardown.
  EXPECT_EQ(NextStatus(client), 2011);
  EXPECT_EQ(NextStatus(client), 2012);
  EXPECT_EQ(StateOf(client, 1008), NoUpdate);
  EXPECT_EQ(StateOf(client, 1009), NoUpdate);
  app.reset();
  StatusPacket packet;
  EXPECT_EQ(client.ReadPacket(&packet, 5000), ReadResult::Closed);
}

}  // namespace
