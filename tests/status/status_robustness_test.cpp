// The status channel under load, against clients that misbehave, and its
// teardown.
#include "status_fixture.h"

#include <functional>
#include <thread>
#include <vector>

namespace {

// Both threads write packets at once: requests answered on the status thread
// and status packets from this thread. Every packet must arrive whole.
TEST_F(StatusChannelTest, ManyRequestsWhileStatusPacketsAreSentArriveAsWholePackets) {
  CloseLog();  // a line per request would only slow this down
  host.engineState = 3;
  host.appState = 4;
  Start();
  auto client = Connect();
  Ask(*client, 1008);

  const int kRequests = 100000;
  const int kStatusPackets = 2000;
  const int kBatch = 100;
  std::thread requester([&] {
    std::string batch;
    for (int i = 0; i < kBatch; ++i) batch += RequestBytes(0, i % 2 ? 1009 : 1008);
    for (int sent = 0; sent < kRequests; sent += kBatch) {
      if (!Write(*client, batch)) return;
    }
  });
  std::thread sender([&] {
    for (int i = 0; i < kStatusPackets; ++i) channel->SendStatus(2009, i);
  });

  int replies[2] = {0, 0};
  int nextProgress = 0;
  int unexpected = 0;
  while (replies[0] + replies[1] < kRequests || nextProgress < kStatusPackets) {
    StatusPacket packet;
    ReadResult read = client->ReadPacket(&packet, 30000);
    ASSERT_EQ(read, ReadResult::Packet)
        << "replies " << replies[0] + replies[1] << ", status packets " << nextProgress;
    ASSERT_EQ(packet.size, 9u);
    if (packet.code == 1008 && packet.parameter == 3) {
      ++replies[0];
    } else if (packet.code == 1009 && packet.parameter == 4) {
      ++replies[1];
    } else if (packet.code == 2009 && packet.parameter == nextProgress) {
      ++nextProgress;
    } else {
      ASSERT_LT(++unexpected, 1) << packet.code << " " << packet.parameter;
    }
  }
  requester.join();
  sender.join();
  EXPECT_EQ(replies[0], kRequests / 2);
  EXPECT_EQ(replies[1], kRequests / 2);
  EXPECT_EQ(nextProgress, kStatusPackets);
}

// Each client does something wrong and goes; the server must neither crash
// nor hang, and serve the next client.
TEST_F(StatusChannelTest, MisbehavingClientsDoNotStopTheServer) {
  struct Case {
    const char* name;
    std::function<void(StatusPipeClient&)> act;
  } cases[] = {
      {"garbage bytes",
       [](StatusPipeClient& c) {
         std::string garbage;
         for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 7919) >> 3);
         Write(c, garbage);
       }},
      {"garbage with a plausible size",
       [](StatusPipeClient& c) { Write(c, SizeWord(300) + std::string(100, '\xee')); }},
      {"size word cut off", [](StatusPipeClient& c) { Write(c, SizeWord(9).substr(0, 2)); }},
      {"packet cut off mid-way",
       [](StatusPipeClient& c) { Write(c, RequestBytes(0, 1009, "abcd").substr(0, 7)); }},
      {"disconnect during a large read",
       [](StatusPipeClient& c) { Write(c, SizeWord(5000) + std::string(100, '\0')); }},
      {"requests it never reads the replies of",
       [](StatusPipeClient& c) {
         std::string many;
         for (int i = 0; i < 1000; ++i) many += RequestBytes(0, 1009);
         Write(c, many);
       }},
      {"connect and go", [](StatusPipeClient&) {}},
  };
  Start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      auto client = Connect();
      c.act(*client);
      Sleep(50);
    }
    ExpectNextClientServed();
  }
  EXPECT_EQ(host.storedCode.load(), -1);
  ULONGLONG begin = GetTickCount64();
  channel->Stop();
  EXPECT_LT(GetTickCount64() - begin, 5000u);
}

TEST_F(StatusChannelTest, TeardownWithAClientThatNeverReadsEndsPromptly) {
  Start();
  auto client = Connect();
  std::string many;
  for (int i = 0; i < 2000; ++i) many += RequestBytes(0, 1008);
  ASSERT_TRUE(Write(*client, many));
  for (int i = 0; i < 200; ++i) channel->SendStatus(2009, i);
  ULONGLONG begin = GetTickCount64();
  channel->Stop();
  EXPECT_LT(GetTickCount64() - begin, 5000u);
  EXPECT_FALSE(channel->HoldsAnyHandle());
  EXPECT_EQ(ThreadCount(), baselineThreads);
}

// Whatever the status thread is doing, the teardown ends it in time and
// leaves no handle open: the pipe name is free for the next updater.
TEST_F(StatusChannelTest, TeardownEndsTheThreadAndReleasesEveryHandle) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<StatusPipeClient>()> prepare;
  } cases[] = {
      {"waiting for a client", [] { return std::unique_ptr<StatusPipeClient>(); }},
      {"waiting for a request",
       [this] {
         auto c = Connect();
         Ask(*c, 1008);
         return c;
       }},
      {"in the middle of a request",
       [this] {
         auto c = Connect();
         Write(*c, SizeWord(5000) + "abc");
         return c;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    channel = std::make_unique<StatusChannel>(host);
    Start();
    auto client = c.prepare();
    Sleep(50);
    ULONGLONG begin = GetTickCount64();
    channel->Stop();
    EXPECT_LT(GetTickCount64() - begin, 5000u);
    EXPECT_EQ(ThreadCount(), baselineThreads);
    EXPECT_FALSE(channel->HoldsAnyHandle());
    EXPECT_FALSE(channel->IsOpen());
    channel->Stop();  // a second teardown changes nothing
    EXPECT_FALSE(channel->SendStatus(2003));
    client.reset();
    HANDLE again = CreateNamedPipeW(host.pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                    4096, 4096, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << "pipe name still taken";
    if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
  }
  EXPECT_EQ(host.storedCode.load(), -1);
}

TEST_F(StatusChannelTest, PacketsSentBeforeTheTeardownStayReadable) {
  Start();
  auto client = Connect();
  Ask(*client, 1009);
  ASSERT_TRUE(channel->SendStatus(2011));
  ASSERT_TRUE(channel->SendStatus(2012));
  channel->Stop();
  StatusPacket packet;
  ASSERT_EQ(client->ReadPacket(&packet, 5000), ReadResult::Packet);
  EXPECT_EQ(packet.code, 2011);
  ASSERT_EQ(client->ReadPacket(&packet, 5000), ReadResult::Packet);
  EXPECT_EQ(packet.code, 2012);
  EXPECT_EQ(client->ReadPacket(&packet, 5000), ReadResult::Closed);
}

TEST_F(StatusChannelTest, DestroyingARunningChannelStopsIt) {
  Start();
  auto client = Connect();
  channel.reset();
  EXPECT_EQ(ThreadCount(), baselineThreads);
  StatusPacket packet;
  EXPECT_EQ(client->ReadPacket(&packet, 5000), ReadResult::Closed);
}

}  // namespace
